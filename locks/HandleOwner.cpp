#include "locks/HandleOwner.h"

#include "locks/DevicePath.h"
#include "locks/FileNameProbe.h"
#include "locks/HandleQuery.h"
#include "locks/INtDll.h"
#include "locks/NtRecords.h"
#include "locks/OwnerProcess.h"
#include "locks/SystemHandleInformation.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <vector>

namespace {

const wchar_t* const kTypeNames[] = {
    L"",          L"",          L"Directory", L"SymbolicLink", L"Token",     L"Process",       L"Thread",
    L"Unknown7",  L"Event",     L"EventPair", L"Mutant",       L"Unknown11", L"Semaphore",     L"Timer",
    L"Profile",   L"WindowStation", L"Desktop", L"Section",    L"Key",       L"Port",          L"WaitablePort",
    L"Unknown21", L"Unknown22", L"Unknown23", L"Unknown24",    L"IoCompletion", L"File",
};
static_assert(std::size(kTypeNames) == kFileTypeIndex + 1, "the type table ends with File");

// The size the handle table needed at the previous lookup: the next lookup starts there and
// so normally reads the table with one query.
std::atomic<size_t> g_handleTableSize{0};

// Handles duplicated and probed together: enough to wake the probe thread rarely, few enough
// that little is done in vain behind the owner.
constexpr size_t kRunLength = 32;

void CopyName(const std::wstring& name, LockOwnerInfo& owner)
{
    const size_t count = std::min(name.size(), std::size(owner.ProcessName) - 1);
    std::copy_n(name.begin(), count, owner.ProcessName);
    owner.ProcessName[count] = L'\0';
}

// Names handles usable here; an empty name where there is none to tell. File handles go
// through the guarded probe; other objects answer the general query at once.
void NameHandles(const HANDLE* handles, size_t count, ULONG typeIndex, std::wstring* names)
{
    if (typeIndex == kFileTypeIndex) {
        ProbeFileNames(handles, count, names);
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        ObjectRecord record;
        if (!QueryObjectRecord(handles[i], kObjectNameInformation, record)
            || !NtRecords::ParseObjectName(record.data.get(), record.size, NtRecords::kNativeLayout, names[i]))
            names[i].clear();
    }
}

// The item's name as the handles on it are named. Through a handle on the item itself when
// it can be opened; from the path's text otherwise, which knows no other spelling.
bool ItemName(const std::wstring& path, HandleNameNormalizer& normalizer, std::wstring& name)
{
    std::wstring deviceName;
    if (!QueryItemDeviceName(path, deviceName)) {
        const std::wstring dosPath = PlainPath(path);
        if (!DosPathToDevicePath(dosPath, deviceName))
            return false;
        while (!deviceName.empty() && deviceName.back() == L'\\')
            deviceName.pop_back();
    }
    name = normalizer.ComparableForm(deviceName);
    return true;
}

using Entry = SystemHandleInformation::_SYSTEM_HANDLE;

// Names a run of handles in table order, up to the first whose name is the item's: its index,
// or count when there is none. The run is duplicated and probed at once, so that the probe
// thread wakes once per run rather than once per handle.
size_t FirstMatchInRun(const Entry* const* run, size_t count, ULONG typeIndex, OwnerProcesses& processes,
                       HandleNameNormalizer& normalizer, const std::wstring& itemName)
{
    QueryHandle copies[kRunLength];
    HANDLE handles[kRunLength];
    size_t entryOf[kRunLength];
    std::wstring names[kRunLength];
    size_t duplicated = 0;
    for (size_t i = 0; i < count; ++i) {
        if (DuplicateForQuery(processes.Open(run[i]->ProcessId), run[i]->HandleValue, copies[duplicated])) {
            handles[duplicated] = copies[duplicated].Get();
            entryOf[duplicated++] = i;
        }
    }
    NameHandles(handles, duplicated, typeIndex, names);
    for (size_t n = 0; n < duplicated; ++n) {
        // Whole names: a folder never matches a handle on a file inside it.
        if (!names[n].empty() && SameName(normalizer.ComparableForm(names[n]), itemName))
            return entryOf[n];
    }
    return count;
}

} // namespace

bool TypeIndexFromName(const std::wstring& typeName, ULONG& index)
{
    for (ULONG i = 1; i < std::size(kTypeNames); ++i) {
        if (typeName == kTypeNames[i]) {
            index = i;
            return true;
        }
    }
    index = 0;
    return false;
}

bool QueryObjectName(HANDLE process, ULONG handleValue, ULONG typeIndex, std::wstring& name)
{
    if (!INtDll::EntryPointsBound)
        return false;
    QueryHandle handle;
    if (!DuplicateForQuery(process, handleValue, handle))
        return false;
    const HANDLE asked = handle.Get();
    NameHandles(&asked, 1, typeIndex, &name);
    return !name.empty();
}

bool FindHandleOwner(const std::wstring& path, LockOwnerInfo& owner)
{
    HandleNameNormalizer normalizer;
    std::wstring itemName;
    if (!ItemName(path, normalizer, itemName))
        return false;

    SystemHandleInformation handles(g_handleTableSize);
    handles.SetTypeFilter(L"File");
    const bool taken = handles.TakeSnapshot();
    g_handleTableSize = handles.TableSize();
    if (!taken || handles.empty())
        return false;

    // Every kept handle has the filter's type: its naming rule is decided once.
    ULONG typeIndex = 0;
    TypeIndexFromName(handles.TypeFilter(), typeIndex);
    std::vector<const Entry*> candidates;
    for (const Entry& entry : handles) {
        if (entry.ProcessId != ::GetCurrentProcessId() && CanBlockAnOpen(entry.GrantedAccess))
            candidates.push_back(&entry);
    }
    for (size_t first = 0; first < candidates.size(); first += kRunLength) {
        const size_t count = std::min(kRunLength, candidates.size() - first);
        const size_t match =
            FirstMatchInRun(&candidates[first], count, typeIndex, handles.Processes(), normalizer, itemName);
        if (match == count)
            continue;
        // The values acted on later are the very pair whose name was just read, in the process
        // kept open since; what the process is, is read through that handle too.
        const Entry& entry = *candidates[first + match];
        owner.ProcessId = entry.ProcessId;
        owner.Handle = entry.HandleValue;
        owner.Process = handles.Processes().Take(entry.ProcessId);
        owner.ObjectName = itemName;
        const ProcessFacts facts = ReadProcessFacts(owner.Process.Get());
        CopyName(facts.imagePath.empty() ? L"<unknown>" : ImageFileName(facts.imagePath), owner);
        owner.HeldByWindows = IsWindowsItself(entry.ProcessId, facts);
        return true;
    }
    return false;
}
