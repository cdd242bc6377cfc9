#include "locks/INtDll.h"

#include "win32/VirtualBuffer.h"

INtDll::NtQuerySystemInformationFn INtDll::NtQuerySystemInformation = nullptr;
INtDll::NtQueryObjectFn INtDll::NtQueryObject = nullptr;
INtDll::NtQueryInformationProcessFn INtDll::NtQueryInformationProcess = nullptr;

// Dynamic initialisers: they run before main and before any thread exists. The pointers
// above are constant-initialised, so binding may write them from here.
ULONG INtDll::OsMajorVersion = INtDll::ReadOsMajorVersion();
BOOL INtDll::EntryPointsBound = INtDll::BindEntryPoints() ? TRUE : FALSE;

ULONG INtDll::ReadOsMajorVersion()
{
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
        // Systems older than the extended record know only the basic one.
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)))
            return 0;
    }
    return info.dwMajorVersion;
}

namespace {

FARPROC FromNtDll(const char* name)
{
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll ? ::GetProcAddress(ntdll, name) : nullptr;
}

template <class Fn>
bool Bind(Fn& slot, INtDll::Resolver resolve, const char* name)
{
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(resolve(name)));
    return slot != nullptr;
}

} // namespace

bool INtDll::BindEntryPoints()
{
    return BindEntryPointsWith(FromNtDll);
}

bool INtDll::BindEntryPointsWith(Resolver resolve)
{
    // Every pointer is stored, also after a miss, so a partial set is never half-old.
    bool all = Bind(NtQuerySystemInformation, resolve, "NtQuerySystemInformation");
    all &= Bind(NtQueryObject, resolve, "NtQueryObject");
    all &= Bind(NtQueryInformationProcess, resolve, "NtQueryInformationProcess");
    return all;
}

bool IsBufferTooSmall(NTSTATUS status)
{
    return status == kStatusInfoLengthMismatch || status == kStatusBufferTooSmall || status == kStatusBufferOverflow;
}

namespace {

// Enough for any real system; a larger answer is taken for a fault, not a table.
constexpr size_t kMaxTableSize = 256u << 20;
constexpr int kMaxTableQueries = 8;

} // namespace

bool QuerySystemTable(ULONG infoClass, size_t size, VirtualBuffer& buffer)
{
    for (int query = 1;; ++query) {
        if (size > kMaxTableSize || (buffer.Size() < size && !buffer.Allocate(size)))
            return false;
        ULONG needed = 0;
        const NTSTATUS status =
            INtDll::NtQuerySystemInformation(infoClass, buffer.Data(), static_cast<ULONG>(buffer.Size()), &needed);
        if (status == kStatusSuccess)
            return true;
        if (!IsBufferTooSmall(status) || query == kMaxTableQueries)
            return false;
        // The table keeps growing while we allocate: leave it room.
        size = (needed > size ? needed : size);
        size += size / 4;
    }
}
