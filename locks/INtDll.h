#pragma once
// The native entry points of ntdll.dll that lock resolution is built on, and the running
// system's major version. Both are fixed once during static initialisation, before any
// thread of the program starts, and only read afterwards.

#include <windows.h>

// Declared here rather than taken from winternl.h, whose information-class enumerators
// would collide with the snapshot classes named after them.
typedef LONG NTSTATUS;

// Statuses the lock code tells apart; everything else nonzero is a plain failure.
constexpr NTSTATUS kStatusSuccess = 0;
constexpr NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
constexpr NTSTATUS kStatusBufferTooSmall = static_cast<NTSTATUS>(0xC0000023);
constexpr NTSTATUS kStatusBufferOverflow = static_cast<NTSTATUS>(0x80000005);

// Information classes of the native interface.
constexpr ULONG kSystemHandleInformation = 16;
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kObjectNameInformation = 1;
constexpr ULONG kObjectTypeInformation = 2;

class INtDll {
public:
    using NtQuerySystemInformationFn = NTSTATUS(NTAPI*)(ULONG infoClass, PVOID buffer, ULONG length,
                                                        PULONG returnedLength);
    using NtQueryObjectFn = NTSTATUS(NTAPI*)(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length,
                                             PULONG returnedLength);
    using NtQueryInformationProcessFn = NTSTATUS(NTAPI*)(HANDLE process, ULONG infoClass, PVOID buffer,
                                                         ULONG length, PULONG returnedLength);

    // Looks an entry point up by name; null when the module lacks it.
    using Resolver = FARPROC (*)(const char* name);

    static NtQuerySystemInformationFn NtQuerySystemInformation;
    static NtQueryObjectFn NtQueryObject;
    static NtQueryInformationProcessFn NtQueryInformationProcess;

    // True only when all three entry points were found.
    static BOOL EntryPointsBound;
    // Major version of the running system; 0 when it could not be read.
    static ULONG OsMajorVersion;

    static ULONG ReadOsMajorVersion();
    static bool BindEntryPoints();
    // The binding itself, with the lookup passed in: stores all three pointers (null where the
    // resolver has none) and reports whether every one of them was found.
    static bool BindEntryPointsWith(Resolver resolve);
};

// Whether a query failed only because the buffer offered was too small.
bool IsBufferTooSmall(NTSTATUS status);

class VirtualBuffer;

// Fills buffer with one system table (NtQuerySystemInformation), starting with size bytes.
// Tables change between calls, so while the system answers that the table does not fit the
// buffer is grown and the query repeated, a bounded number of times.
bool QuerySystemTable(ULONG infoClass, size_t size, VirtualBuffer& buffer);
