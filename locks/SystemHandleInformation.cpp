#include "locks/SystemHandleInformation.h"

#include "locks/HandleQuery.h"
#include "locks/INtDll.h"
#include "win32/VirtualBuffer.h"

namespace {

constexpr size_t kProbeSize = 8192;
// Room for the handles opened between learning the size and reading the table.
constexpr size_t kGrowthMargin = 256;

// The first query only learns the table's size; the second reads it.
bool ReadTable(ULONG infoClass, VirtualBuffer& buffer)
{
    if (!buffer.Allocate(kProbeSize))
        return false;
    size_t size = kProbeSize;
    ULONG needed = 0;
    if (INtDll::NtQuerySystemInformation(infoClass, buffer.Data(), kProbeSize, &needed) != kStatusSuccess) {
        if (needed == 0)
            return false;
        size = needed + kGrowthMargin;
        buffer.Free();
    }
    return QuerySystemTable(infoClass, size, buffer);
}

// The extended table carries full-width process ids and handle values. The classic one holds
// them in 16 bits on Windows, so one of its entries may name another process or handle; such
// an entry can still only be reported when the name queried through that very pair matches.
bool ReadHandles(std::vector<NtRecords::SystemHandle>& entries)
{
    VirtualBuffer buffer;
    if (ReadTable(kSystemExtendedHandleInformation, buffer))
        return NtRecords::ParseExtendedHandleTable(buffer.Data(), buffer.Size(), NtRecords::kNativeLayout, entries);
    if (ReadTable(kSystemHandleInformation, buffer))
        return NtRecords::ParseHandleTable(buffer.Data(), buffer.Size(), NtRecords::kNativeLayout, entries);
    return false;
}

} // namespace

bool SkippedOnOldSystems(const NtRecords::SystemHandle& entry, ULONG osMajorVersion)
{
    return osMajorVersion < 5 && entry.ProcessId == 2 && entry.ObjectType == 0x0010;
}

bool SystemHandleInformation::TakeSnapshot()
{
    m_handles.clear();
    if (!INtDll::EntryPointsBound)
        return false;
    std::vector<_SYSTEM_HANDLE> all;
    if (!ReadHandles(all))
        return false;
    for (const _SYSTEM_HANDLE& entry : all) {
        if (SkippedOnOldSystems(entry, INtDll::OsMajorVersion))
            continue;
        std::wstring typeName;
        if (QueryTypeName(entry.ProcessId, entry.HandleValue, typeName) && typeName == m_typeFilter)
            m_handles.push_back(entry);
    }
    return true;
}
