#pragma once
// Bringing another process's handle into this process for one query, and the object queries
// built on it.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <memory>
#include <string>
#include <unordered_map>

// The processes one lookup looks into, each opened once (for duplicating its handles) however
// many of its handles are asked about. A process that cannot be opened is not asked again.
class OwnerProcesses {
public:
    // The process to duplicate from and to query: the pseudo handle of this process for its
    // own id; null when the process cannot be opened.
    HANDLE Open(DWORD processId);
    // Hands the open process over; empty when it was never opened or could not be.
    UniqueHandle Take(DWORD processId);

private:
    std::unordered_map<DWORD, UniqueHandle> m_processes;
};

// A foreign handle made usable here. A handle of this process itself is used as it is and
// is not closed; a duplicate is closed on release.
class QueryHandle {
public:
    QueryHandle() = default;
    HANDLE Get() const { return m_copy ? m_copy.Get() : m_own; }

private:
    friend bool DuplicateForQuery(HANDLE process, ULONG handleValue, QueryHandle& handle);

    HANDLE m_own = nullptr;
    UniqueHandle m_copy;
};

// process: from OwnerProcesses::Open, or an owner process kept open since its lookup. False
// when there is no process or the handle cannot be duplicated.
bool DuplicateForQuery(HANDLE process, ULONG handleValue, QueryHandle& handle);

// One object record (NtQueryObject) of a handle usable here, read whole.
struct ObjectRecord {
    std::unique_ptr<BYTE[]> data;
    ULONG size = 0;
};
bool QueryObjectRecord(HANDLE handle, ULONG infoClass, ObjectRecord& record);

// The object type name of a handle of the given process ("File", "Event", ...).
bool QueryTypeName(HANDLE process, ULONG handleValue, std::wstring& typeName);

// Handle values travel as 32-bit numbers; the system takes them as handles.
inline HANDLE HandleFromValue(ULONG value)
{
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value));
}
