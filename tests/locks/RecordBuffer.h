#pragma once
// Builds buffers in the system's record formats, in either layout, for the record readers.

#include "locks/NtRecords.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class RecordBuffer {
public:
    RecordBuffer(NtRecords::Layout layout, size_t size) : m_layout(layout), m_bytes(size) {}

    NtRecords::Layout Layout() const { return m_layout; }
    size_t PointerSize() const { return m_layout == NtRecords::Layout::Bits64 ? 8 : 4; }
    const void* Data() const { return m_bytes.data(); }
    size_t Size() const { return m_bytes.size(); }

    template <class T>
    void Put(size_t offset, T value)
    {
        std::memcpy(&m_bytes.at(offset + sizeof(T) - 1) - (sizeof(T) - 1), &value, sizeof(T));
    }

    void PutPointer(size_t offset, unsigned long long value)
    {
        if (m_layout == NtRecords::Layout::Bits64)
            Put<unsigned long long>(offset, value);
        else
            Put<uint32_t>(offset, static_cast<uint32_t>(value));
    }

    // An address inside this buffer, the way the system points its strings into its buffers.
    void PutPointerTo(size_t offset, size_t target)
    {
        PutPointer(offset, reinterpret_cast<uintptr_t>(m_bytes.data()) + target);
    }

    // NUL-terminated UTF-16 text.
    void PutText(size_t offset, const std::wstring& text)
    {
        for (size_t i = 0; i <= text.size(); ++i)
            Put<wchar_t>(offset + 2 * i, i < text.size() ? text[i] : L'\0');
    }

    // Counted string at offset whose text is stored at textOffset.
    void PutCountedString(size_t offset, const std::wstring& text, size_t textOffset)
    {
        Put<uint16_t>(offset, static_cast<uint16_t>(2 * text.size()));
        Put<uint16_t>(offset + 2, static_cast<uint16_t>(2 * text.size() + 2));
        PutPointerTo(offset + PointerSize(), textOffset);
        PutText(textOffset, text);
    }

private:
    NtRecords::Layout m_layout;
    std::vector<unsigned char> m_bytes;
};
