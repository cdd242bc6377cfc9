#pragma once
// A snapshot of the open handles of all processes whose object type has one given name.

#include "locks/HandleQuery.h"
#include "locks/NtRecords.h"

#include <windows.h>

#include <string>
#include <vector>

class SystemHandleInformation {
public:
    using _SYSTEM_HANDLE = NtRecords::SystemHandle;
    using const_iterator = std::vector<_SYSTEM_HANDLE>::const_iterator;

    // tableSize: where reading the table starts, normally the size the previous snapshot
    // needed (TableSize), so that the table is read in one query; 0 for a first probe.
    explicit SystemHandleInformation(size_t tableSize = 0) : m_tableSize(tableSize) {}

    void SetTypeFilter(const std::wstring& typeName) { m_typeFilter = typeName; }
    const std::wstring& TypeFilter() const { return m_typeFilter; }
    bool TakeSnapshot();

    const_iterator begin() const { return m_handles.begin(); }
    const_iterator end() const { return m_handles.end(); }
    bool empty() const { return m_handles.empty(); }

    // Where the next snapshot's read may start: what the last read needed, with room to grow.
    size_t TableSize() const { return m_tableSize; }
    // The processes opened while the snapshot learned the types, for the queries that follow
    // on the kept handles; every snapshot starts them anew.
    OwnerProcesses& Processes() { return m_processes; }

private:
    std::vector<_SYSTEM_HANDLE> m_handles;
    std::wstring m_typeFilter;
    size_t m_tableSize;
    OwnerProcesses m_processes;
};

// Systems before version 5 keep a handle in the system process (id 2) whose queries hang;
// it is recognised by its raw type word alone and never queried.
bool SkippedOnOldSystems(const NtRecords::SystemHandle& entry, ULONG osMajorVersion);

// Whether a handle with this granted access can keep another open of its file or folder from
// succeeding. Only reading, writing, appending, executing (a folder's traverse right, which a
// current directory holds) and deleting take part in the sharing checks, and only reading or
// writing in byte-range locks; a handle with attribute, security or synchronize rights alone
// blocks nothing, so it is never the holder to name.
bool CanBlockAnOpen(ULONG grantedAccess);
