#include "locks/HandleQuery.h"

#include "locks/INtDll.h"
#include "locks/NtRecords.h"

#include <new>
#include <utility>

namespace {

// Holds nearly every type and name record at the first try.
constexpr ULONG kFirstRecordSize = 8192;

// The handle that duplicates an owner's handles is also the one that tells what the owner is.
constexpr DWORD kOwnerProcessAccess = PROCESS_DUP_HANDLE | PROCESS_QUERY_INFORMATION;

} // namespace

HANDLE OwnerProcesses::Open(DWORD processId)
{
    if (processId == ::GetCurrentProcessId())
        return ::GetCurrentProcess();
    auto known = m_processes.find(processId);
    if (known == m_processes.end()) {
        // Not inheritable: a process started meanwhile must not receive these.
        UniqueHandle process(::OpenProcess(kOwnerProcessAccess, FALSE, processId));
        known = m_processes.emplace(processId, std::move(process)).first;
    }
    return known->second.Get();
}

UniqueHandle OwnerProcesses::Take(DWORD processId)
{
    const auto known = m_processes.find(processId);
    return known == m_processes.end() ? UniqueHandle() : std::move(known->second);
}

bool DuplicateForQuery(HANDLE process, ULONG handleValue, QueryHandle& handle)
{
    handle.m_copy.Reset();
    handle.m_own = nullptr;
    if (!process)
        return false;
    if (process == ::GetCurrentProcess()) {
        handle.m_own = HandleFromValue(handleValue);
        return true;
    }
    return ::DuplicateHandle(process, HandleFromValue(handleValue), ::GetCurrentProcess(), handle.m_copy.Put(), 0,
                             FALSE, DUPLICATE_SAME_ACCESS)
           != FALSE;
}

bool QueryObjectRecord(HANDLE handle, ULONG infoClass, ObjectRecord& record)
{
    // Asked straight into a buffer rather than for the size first: one system call in the
    // common case, and a second only for a record that outgrows the first buffer.
    ULONG size = kFirstRecordSize;
    for (int attempt = 0; attempt < 2; ++attempt) {
        record.data.reset(new (std::nothrow) BYTE[size]);
        record.size = record.data ? size : 0;
        if (!record.data)
            return false;
        ULONG needed = 0;
        const NTSTATUS status = INtDll::NtQueryObject(handle, infoClass, record.data.get(), size, &needed);
        if (status == kStatusSuccess)
            return true;
        if (!IsBufferTooSmall(status) || needed <= size)
            return false;
        size = needed;
    }
    return false;
}

bool QueryTypeName(HANDLE process, ULONG handleValue, std::wstring& typeName)
{
    if (!INtDll::EntryPointsBound)
        return false;
    QueryHandle handle;
    ObjectRecord record;
    return DuplicateForQuery(process, handleValue, handle)
           && QueryObjectRecord(handle.Get(), kObjectTypeInformation, record)
           && NtRecords::ParseTypeName(record.data.get(), record.size, NtRecords::kNativeLayout, typeName);
}
