#include "locks/UnlockActions.h"

#include "locks/DevicePath.h"
#include "locks/HandleQuery.h"
#include "locks/OwnerProcess.h"
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

// Between the lookup and now the owner may have closed the handle and opened something else
// under the same value, or ended (its handles with it). No system call acts on a handle only
// if it still names an object, so the check comes right before the action.
bool StillHoldsTheItem(const LockOwnerInfo& owner)
{
    // Acting on this process would end the job that asked, or pull a handle from under it.
    if (!owner.Process || owner.HeldByWindows || owner.ProcessId == ::GetCurrentProcessId() || owner.ObjectName.empty())
        return false;
    // A process can mark itself critical after the lookup.
    if (IsWindowsItself(owner.ProcessId, ReadProcessFacts(owner.Process.Get())))
        return false;
    std::wstring name;
    HandleNameNormalizer normalizer;
    return QueryObjectName(owner.Process.Get(), owner.Handle, kFileTypeIndex, name)
           && SameName(normalizer.ComparableForm(name), owner.ObjectName);
}

} // namespace

bool CloseOwnerHandle(const LockOwnerInfo& owner)
{
    return StillHoldsTheItem(owner) && CloseRemoteHandle(owner.ProcessId, owner.Handle);
}

bool KillOwner(const LockOwnerInfo& owner)
{
    return StillHoldsTheItem(owner) && KillProcess(owner.ProcessId);
}
