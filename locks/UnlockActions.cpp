#include "locks/UnlockActions.h"

#include "locks/DevicePath.h"
#include "locks/HandleQuery.h"
#include "win32/ScopedHandle.h"

namespace {

constexpr DWORD kFullProcessAccess = 0x1F0FFF;
constexpr DWORD kKillAccess = SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE;
constexpr DWORD kKillWaitMs = 100;

// Opening by id reaches the process found only while the owner's kept handle pins the id.
bool CloseRemoteHandle(DWORD processId, DWORD handleValue)
{
    UniqueHandle process(::OpenProcess(kFullProcessAccess, FALSE, processId));
    if (!process)
        return false;
    // The source is closed even when the duplication fails, so the copy keeps the source's
    // own access: asking for other rights could fail after the handle is already gone.
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(process.Get(), HandleFromValue(handleValue), ::GetCurrentProcess(), &copy, 0, FALSE,
                           DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS))
        return false;
    if (copy == INVALID_HANDLE_VALUE)
        return false;
    return ::CloseHandle(copy) != FALSE;
}

bool KillProcess(DWORD processId)
{
    // Ending ourselves would end the job that asked.
    if (processId == ::GetCurrentProcessId())
        return false;
    UniqueHandle process(::OpenProcess(kKillAccess, FALSE, processId));
    if (!process)
        return false;
    // An ended process stays openable while any handle to it exists; it is not ours to end.
    if (::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0)
        return false;
    ::TerminateProcess(process.Get(), 0);
    // Whether it is gone is told by its own handle, which is signalled when it has ended;
    // asking whether it can still be opened is not (it can, while handles to it exist).
    return ::WaitForSingleObject(process.Get(), kKillWaitMs) == WAIT_OBJECT_0;
}

} // namespace

bool CloseOwnerHandle(const LockOwnerInfo& owner)
{
    if (!owner.Process || owner.ProcessId == ::GetCurrentProcessId() || owner.ObjectName.empty())
        return false;
    // Between the lookup and now the owner may have closed the handle and opened something
    // else under the same value. No system call closes a handle only if it still names an
    // object, so the check comes right before the close.
    std::wstring name;
    HandleNameNormalizer normalizer;
    if (!QueryObjectName(owner.Process.Get(), owner.Handle, kFileTypeIndex, name)
        || normalizer.ToDeviceForm(name) != owner.ObjectName)
        return false;
    return CloseRemoteHandle(owner.ProcessId, owner.Handle);
}

bool KillOwner(const LockOwnerInfo& owner)
{
    return owner.Process && KillProcess(owner.ProcessId);
}
