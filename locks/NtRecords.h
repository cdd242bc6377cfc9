#pragma once
// Readers for the records the native queries return. They only look at bytes: every count,
// offset and pointer is checked against the buffer, and both the 32-bit and the 64-bit
// layout can be read by either build, so captured or hand-built buffers can be tested
// without the platform.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace NtRecords {

enum class Layout { Bits32, Bits64 };
constexpr Layout kNativeLayout = sizeof(void*) == 8 ? Layout::Bits64 : Layout::Bits32;

// One open handle of some process, from either handle table. Values are kept at their
// full width; entries whose values do not fit are never produced.
struct SystemHandle {
    ULONG ProcessId = 0;
    USHORT ObjectType = 0;  // low byte: the system's type number; high byte: handle flags
    ULONG HandleValue = 0;  // the handle's value inside the owning process
    ULONGLONG ObjectAddress = 0;
    ULONG GrantedAccess = 0;
};

// Handle table (class 16): a 32-bit count, then the fixed-size entries.
bool ParseHandleTable(const void* buffer, size_t size, Layout layout, std::vector<SystemHandle>& entries);

// Extended handle table (class 64): full-width process ids and handle values.
bool ParseExtendedHandleTable(const void* buffer, size_t size, Layout layout,
                              std::vector<SystemHandle>& entries);

// Object type record (object class 2): the type name stored right behind the fixed part.
bool ParseTypeName(const void* buffer, size_t size, Layout layout, std::wstring& name);

// Object name record (object class 1), and the image path record of a process (process
// class 43), which has the same shape: a counted string at the start. A zero length word or
// a null pointer is the empty name; text outside the buffer is a failure.
bool ParseObjectName(const void* buffer, size_t size, Layout layout, std::wstring& name);

} // namespace NtRecords
