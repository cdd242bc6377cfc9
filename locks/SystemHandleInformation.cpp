#include "locks/SystemHandleInformation.h"

#include "locks/INtDll.h"
#include "win32/VirtualBuffer.h"

#include <algorithm>
#include <array>

namespace {

constexpr size_t kProbeSize = 8192;
// Room for the handles opened between learning the size and reading the table.
constexpr size_t kGrowthMargin = 256;

// The first query is made with size bytes (at least a small probe); when the table does not
// fit, the size it names decides the next. On success size becomes the size to start the next
// read with: what the table took, with room for it to grow meanwhile.
bool ReadTable(ULONG infoClass, size_t& size, VirtualBuffer& buffer)
{
    const size_t first = std::max(size, kProbeSize);
    if (!buffer.Allocate(first))
        return false;
    ULONG needed = 0;
    if (INtDll::NtQuerySystemInformation(infoClass, buffer.Data(), static_cast<ULONG>(first), &needed) == kStatusSuccess) {
        size = needed != 0 ? needed + needed / 8 : first;
        return true;
    }
    if (needed == 0)
        return false;
    buffer.Free();
    if (!QuerySystemTable(infoClass, needed + kGrowthMargin, buffer))
        return false;
    size = buffer.Size();
    return true;
}

// The extended table carries full-width process ids and handle values. The classic one holds
// them in 16 bits on Windows, so one of its entries may name another process or handle; such
// an entry can still only be reported when the name queried through that very pair matches.
bool ReadHandles(size_t& size, std::vector<NtRecords::SystemHandle>& entries)
{
    VirtualBuffer buffer;
    if (ReadTable(kSystemExtendedHandleInformation, size, buffer))
        return NtRecords::ParseExtendedHandleTable(buffer.Data(), buffer.Size(), NtRecords::kNativeLayout, entries);
    if (ReadTable(kSystemHandleInformation, size, buffer))
        return NtRecords::ParseHandleTable(buffer.Data(), buffer.Size(), NtRecords::kNativeLayout, entries);
    return false;
}

// What one snapshot knows of a type number: nothing yet, or whether its name is the filter.
enum class TypeMatch : unsigned char { Unknown, Kept, Passed };

} // namespace

bool SkippedOnOldSystems(const NtRecords::SystemHandle& entry, ULONG osMajorVersion)
{
    return osMajorVersion < 5 && entry.ProcessId == 2 && entry.ObjectType == 0x0010;
}

bool CanBlockAnOpen(ULONG grantedAccess)
{
    return (grantedAccess & (FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_EXECUTE | DELETE)) != 0;
}

bool SystemHandleInformation::TakeSnapshot()
{
    m_handles.clear();
    m_processes = OwnerProcesses();
    if (!INtDll::EntryPointsBound)
        return false;
    std::vector<_SYSTEM_HANDLE> all;
    if (!ReadHandles(m_tableSize, all))
        return false;

    // The type number in an entry (the low byte of its type word) stands for one type while
    // the system runs; its name is asked once, through the first handle of that number that
    // answers, and trusted for this snapshot only. Handles of this process go first: they need
    // no duplication, and no other process can close them and reuse their values meanwhile.
    std::array<TypeMatch, 256> types{};
    const auto matches = [&](const _SYSTEM_HANDLE& entry) {
        TypeMatch& type = types[entry.ObjectType & 0xFF];
        std::wstring typeName;
        if (type == TypeMatch::Unknown && QueryTypeName(m_processes.Open(entry.ProcessId), entry.HandleValue, typeName))
            type = typeName == m_typeFilter ? TypeMatch::Kept : TypeMatch::Passed;
        return type == TypeMatch::Kept;
    };
    const DWORD self = ::GetCurrentProcessId();
    const auto examined = [](const _SYSTEM_HANDLE& entry) { return !SkippedOnOldSystems(entry, INtDll::OsMajorVersion); };
    for (const _SYSTEM_HANDLE& entry : all) {
        if (entry.ProcessId == self && examined(entry))
            matches(entry);
    }
    for (const _SYSTEM_HANDLE& entry : all) {
        if (examined(entry) && matches(entry))
            m_handles.push_back(entry);
    }
    return true;
}
