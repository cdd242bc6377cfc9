#pragma once
// A snapshot of the open handles of all processes whose object type has one given name.

#include "locks/NtRecords.h"

#include <windows.h>

#include <string>
#include <vector>

class SystemHandleInformation {
public:
    using _SYSTEM_HANDLE = NtRecords::SystemHandle;
    using const_iterator = std::vector<_SYSTEM_HANDLE>::const_iterator;

    SystemHandleInformation() = default;

    void SetTypeFilter(const std::wstring& typeName) { m_typeFilter = typeName; }
    bool TakeSnapshot();

    const_iterator begin() const { return m_handles.begin(); }
    const_iterator end() const { return m_handles.end(); }
    bool empty() const { return m_handles.empty(); }

private:
    std::vector<_SYSTEM_HANDLE> m_handles;
    std::wstring m_typeFilter;
};

// Systems before version 5 keep a handle in the system process (id 2) whose queries hang;
// it is recognised by its raw type word alone and never queried.
bool SkippedOnOldSystems(const NtRecords::SystemHandle& entry, ULONG osMajorVersion);
