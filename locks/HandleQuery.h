#pragma once
// Bringing another process's handle into this process for one query, and the type query
// built on it.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <string>

// A foreign handle made usable here. A handle of this process itself is used as it is and
// is not closed; a duplicate and the process it came from are closed on release.
class QueryHandle {
public:
    QueryHandle() = default;
    HANDLE Get() const { return m_copy ? m_copy.Get() : m_own; }

private:
    friend bool DuplicateForQuery(DWORD processId, ULONG handleValue, QueryHandle& handle);
    friend void ReleaseQueryHandle(QueryHandle& handle);

    HANDLE m_own = nullptr;
    UniqueHandle m_process;
    UniqueHandle m_copy;
};

// False when the owning process cannot be opened or the handle cannot be duplicated.
bool DuplicateForQuery(DWORD processId, ULONG handleValue, QueryHandle& handle);
// Also done by the QueryHandle's destructor; for callers that are done before their scope is.
void ReleaseQueryHandle(QueryHandle& handle);

// The object type name of a handle of any process ("File", "Event", ...).
bool QueryTypeName(DWORD processId, ULONG handleValue, std::wstring& typeName);

// Handle values travel as 32-bit numbers; the system takes them as handles.
inline HANDLE HandleFromValue(ULONG value)
{
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value));
}
