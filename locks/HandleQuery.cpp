#include "locks/HandleQuery.h"

#include "locks/INtDll.h"
#include "locks/NtRecords.h"

#include <memory>
#include <new>

bool DuplicateForQuery(DWORD processId, ULONG handleValue, QueryHandle& handle)
{
    ReleaseQueryHandle(handle);
    if (processId == ::GetCurrentProcessId()) {
        handle.m_own = HandleFromValue(handleValue);
        return true;
    }
    // Not inheritable: a process started meanwhile must not receive these.
    handle.m_process.Reset(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId));
    if (!handle.m_process)
        return false;
    if (!::DuplicateHandle(handle.m_process.Get(), HandleFromValue(handleValue), ::GetCurrentProcess(),
                           handle.m_copy.Put(), 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        ReleaseQueryHandle(handle);
        return false;
    }
    return true;
}

void ReleaseQueryHandle(QueryHandle& handle)
{
    handle.m_own = nullptr;
    handle.m_copy.Reset();
    handle.m_process.Reset();
}

bool QueryTypeName(DWORD processId, ULONG handleValue, std::wstring& typeName)
{
    if (!INtDll::EntryPointsBound)
        return false;
    QueryHandle handle;
    if (!DuplicateForQuery(processId, handleValue, handle))
        return false;
    ULONG length = 8192;
    INtDll::NtQueryObject(handle.Get(), kObjectTypeInformation, nullptr, 0, &length);
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[length]);
    if (!buffer || INtDll::NtQueryObject(handle.Get(), kObjectTypeInformation, buffer.get(), length, nullptr) != kStatusSuccess)
        return false;
    return NtRecords::ParseTypeName(buffer.get(), length, NtRecords::kNativeLayout, typeName);
}
