#include "locks/NtRecords.h"

#include <cstdint>
#include <cstring>

namespace NtRecords {

namespace {

size_t PointerSize(Layout layout)
{
    return layout == Layout::Bits64 ? 8 : 4;
}

// Fixed-width field at offset, if it lies wholly inside the buffer.
template <class T>
bool ReadField(const void* buffer, size_t size, size_t offset, T& value)
{
    if (offset > size || size - offset < sizeof(T))
        return false;
    std::memcpy(&value, static_cast<const BYTE*>(buffer) + offset, sizeof(T));
    return true;
}

bool ReadPointer(const void* buffer, size_t size, size_t offset, Layout layout, ULONGLONG& value)
{
    if (layout == Layout::Bits64)
        return ReadField(buffer, size, offset, value);
    ULONG narrow = 0;
    if (!ReadField(buffer, size, offset, narrow))
        return false;
    value = narrow;
    return true;
}

// UTF-16 text at offset: at most maxChars characters, ending early at a NUL, never past
// the buffer's end.
std::wstring TextAt(const void* buffer, size_t size, size_t offset, size_t maxChars)
{
    std::wstring text;
    if (offset > size)
        return text;
    const size_t available = (size - offset) / sizeof(wchar_t);
    const size_t limit = maxChars < available ? maxChars : available;
    const BYTE* p = static_cast<const BYTE*>(buffer) + offset;
    for (size_t i = 0; i < limit; ++i) {
        wchar_t c;
        std::memcpy(&c, p + i * sizeof(wchar_t), sizeof(c));
        if (c == L'\0')
            break;
        text.push_back(c);
    }
    return text;
}

// The system fills the counted strings of its records with absolute addresses that point
// back into the same buffer; turn such an address into an offset, or fail.
bool OffsetOfAddress(const void* buffer, size_t size, ULONGLONG address, size_t& offset)
{
    const ULONGLONG base = reinterpret_cast<uintptr_t>(buffer);
    if (address < base || address - base >= size)
        return false;
    offset = static_cast<size_t>(address - base);
    return true;
}

enum class CountedText { Text, Null, Invalid };

// A counted string (16-bit length in bytes, 16-bit maximum length, pointer) at offset.
CountedText ReadCountedString(const void* buffer, size_t size, size_t offset, Layout layout, std::wstring& text)
{
    USHORT length = 0;
    ULONGLONG address = 0;
    // The pointer sits at its natural alignment behind the two 16-bit lengths.
    if (!ReadField(buffer, size, offset, length) || !ReadPointer(buffer, size, offset + PointerSize(layout), layout, address))
        return CountedText::Invalid;
    if (address == 0)
        return CountedText::Null;
    size_t textOffset = 0;
    if (!OffsetOfAddress(buffer, size, address, textOffset))
        return CountedText::Invalid;
    text = TextAt(buffer, size, textOffset, length / sizeof(wchar_t));
    return CountedText::Text;
}

bool CountFits(ULONGLONG count, size_t headerSize, size_t entrySize, size_t size)
{
    return size >= headerSize && count <= (size - headerSize) / entrySize;
}

} // namespace

bool ParseHandleTable(const void* buffer, size_t size, Layout layout, std::vector<SystemHandle>& entries)
{
    entries.clear();
    // The entries follow the count at the alignment of the pointer they contain.
    const size_t header = PointerSize(layout);
    const size_t entrySize = layout == Layout::Bits64 ? 24 : 16;
    ULONG count = 0;
    if (!ReadField(buffer, size, 0, count) || !CountFits(count, header, entrySize, size))
        return false;
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = header + i * entrySize;
        SystemHandle e;
        USHORT handleValue = 0;
        ReadField(buffer, size, at, e.ProcessId);
        ReadField(buffer, size, at + 4, e.ObjectType);
        ReadField(buffer, size, at + 6, handleValue);
        ReadPointer(buffer, size, at + 8, layout, e.ObjectAddress);
        ReadField(buffer, size, at + 8 + PointerSize(layout), e.GrantedAccess);
        e.HandleValue = handleValue;
        entries.push_back(e);
    }
    return true;
}

bool ParseExtendedHandleTable(const void* buffer, size_t size, Layout layout, std::vector<SystemHandle>& entries)
{
    entries.clear();
    const size_t ptr = PointerSize(layout);
    const size_t header = 2 * ptr;
    const size_t entrySize = 3 * ptr + 16;
    ULONGLONG count = 0;
    if (!ReadPointer(buffer, size, 0, layout, count) || !CountFits(count, header, entrySize, size))
        return false;
    entries.reserve(static_cast<size_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const size_t at = header + i * entrySize;
        ULONGLONG pid = 0;
        ULONGLONG handleValue = 0;
        USHORT typeIndex = 0;
        ULONG attributes = 0;
        SystemHandle e;
        ReadPointer(buffer, size, at, layout, e.ObjectAddress);
        ReadPointer(buffer, size, at + ptr, layout, pid);
        ReadPointer(buffer, size, at + 2 * ptr, layout, handleValue);
        ReadField(buffer, size, at + 3 * ptr, e.GrantedAccess);
        ReadField(buffer, size, at + 3 * ptr + 6, typeIndex);
        ReadField(buffer, size, at + 3 * ptr + 8, attributes);
        // A value that would not survive narrowing could name another process or handle.
        if (pid > MAXDWORD || handleValue > MAXDWORD)
            continue;
        e.ProcessId = static_cast<ULONG>(pid);
        e.HandleValue = static_cast<ULONG>(handleValue);
        e.ObjectType = static_cast<USHORT>((typeIndex & 0xFF) | ((attributes & 0xFF) << 8));
        entries.push_back(e);
    }
    return true;
}

bool ParseTypeName(const void* buffer, size_t size, Layout layout, std::wstring& name)
{
    USHORT length = 0;
    if (!ReadField(buffer, size, 0, length))
        return false;
    // Size of the fixed part of the type record, behind which the system puts the name.
    const size_t nameOffset = layout == Layout::Bits64 ? 104 : 96;
    if (nameOffset > size)
        return false;
    name = TextAt(buffer, size, nameOffset, length / sizeof(wchar_t));
    return true;
}

bool ParseObjectName(const void* buffer, size_t size, Layout layout, std::wstring& name)
{
    ULONG lengths = 0;
    if (!ReadField(buffer, size, 0, lengths))
        return false;
    if (lengths == 0) {
        name.clear();
        return true;
    }
    std::wstring text;
    switch (ReadCountedString(buffer, size, 0, layout, text)) {
    case CountedText::Text:
        name = text;
        return true;
    case CountedText::Null:
        name.clear();
        return true;
    case CountedText::Invalid:
        break;
    }
    return false;
}

} // namespace NtRecords
