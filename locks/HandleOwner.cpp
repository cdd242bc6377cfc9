#include "locks/HandleOwner.h"

#include "locks/DevicePath.h"
#include "locks/FileNameProbe.h"
#include "locks/HandleQuery.h"
#include "locks/INtDll.h"
#include "locks/NtRecords.h"
#include "locks/SystemHandleInformation.h"
#include "locks/SystemProcessInformation.h"

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

// The sizes the two tables needed at the previous lookup: the next lookup starts there and
// so normally reads each table with one query.
std::atomic<size_t> g_handleTableSize{0};
std::atomic<size_t> g_processListSize{0};

// Handles duplicated and probed together: enough to wake the probe thread rarely, few enough
// that little is done in vain behind the owner.
constexpr size_t kRunLength = 32;

void CopyName(const std::wstring& name, LockOwnerInfo& owner)
{
    const size_t count = std::min(name.size(), std::size(owner.ProcessName) - 1);
    std::copy_n(name.begin(), count, owner.ProcessName);
    owner.ProcessName[count] = L'\0';
}

// The general name query on a handle usable here, once the probe had its say: an empty name
// from it means the file's queries may block, and the general query is not tried at all.
bool NameBehindProbe(HANDLE handle, const ProbedName& probed, std::wstring& name)
{
    if (probed.answered && probed.name.empty()) {
        name.clear();
        return true;
    }
    if (probed.answered)
        name = probed.name;
    ObjectRecord record;
    std::wstring objectName;
    if (!QueryObjectRecord(handle, kObjectNameInformation, record)
        || !NtRecords::ParseObjectName(record.data.get(), record.size, NtRecords::kNativeLayout, objectName))
        return probed.answered;
    name = objectName;
    return true;
}

using Entry = SystemHandleInformation::_SYSTEM_HANDLE;

// Names a run of handles in table order, up to the first whose name is devicePath: its index,
// or count when there is none. The run is duplicated and probed at once, so that the probe
// thread wakes once per run rather than once per handle.
size_t FirstMatchInRun(const Entry* const* run, size_t count, ULONG typeIndex, OwnerProcesses& processes,
                       HandleNameNormalizer& normalizer, const std::wstring& devicePath)
{
    QueryHandle copies[kRunLength];
    bool duplicated[kRunLength] = {};
    HANDLE files[kRunLength];
    ProbedName probed[kRunLength];
    size_t probes = 0;
    for (size_t i = 0; i < count; ++i) {
        duplicated[i] = DuplicateForQuery(processes.Open(run[i]->ProcessId), run[i]->HandleValue, copies[i]);
        if (duplicated[i])
            files[probes++] = copies[i].Get();
    }
    if (typeIndex == kFileTypeIndex)
        ProbeFileNames(files, probes, probed);

    for (size_t i = 0, probe = 0; i < count; ++i) {
        std::wstring objectName;
        // Whole, case-sensitive names: a folder never matches a handle on a file inside it.
        if (duplicated[i] && NameBehindProbe(copies[i].Get(), probed[probe++], objectName)
            && normalizer.ToDeviceForm(objectName) == devicePath)
            return i;
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
    // Other types are not probed: their general query decides alone.
    ProbedName probed;
    if (typeIndex == kFileTypeIndex) {
        const HANDLE file = handle.Get();
        ProbeFileNames(&file, 1, &probed);
    }
    return NameBehindProbe(handle.Get(), probed, name);
}

bool FindHandleOwner(const std::wstring& path, LockOwnerInfo& owner)
{
    std::wstring dosPath = StartsWithNoCase(path, L"\\\\?\\") ? path.substr(4) : path;
    std::wstring devicePath;
    if (!DosPathToDevicePath(dosPath, devicePath))
        return false;
    while (!devicePath.empty() && devicePath.back() == L'\\')
        devicePath.pop_back();

    SystemHandleInformation handles(g_handleTableSize);
    handles.SetTypeFilter(L"File");
    const bool taken = handles.TakeSnapshot();
    g_handleTableSize = handles.TableSize();
    if (!taken || handles.empty())
        return false;
    // Without a process list the owner is still found, only not named.
    SystemProcessInformation processes(g_processListSize);
    processes.TakeSnapshot();
    g_processListSize = processes.BufferSize();

    // Every kept handle has the filter's type: its naming rule is decided once.
    ULONG typeIndex = 0;
    TypeIndexFromName(handles.TypeFilter(), typeIndex);
    std::vector<const Entry*> candidates;
    for (const Entry& entry : handles) {
        if (entry.ProcessId != ::GetCurrentProcessId())
            candidates.push_back(&entry);
    }
    HandleNameNormalizer normalizer;
    for (size_t first = 0; first < candidates.size(); first += kRunLength) {
        const size_t count = std::min(kRunLength, candidates.size() - first);
        const size_t match =
            FirstMatchInRun(&candidates[first], count, typeIndex, handles.Processes(), normalizer, devicePath);
        if (match == count)
            continue;
        // The values acted on later are the very pair whose name was just read, in the process
        // kept open since.
        const Entry& entry = *candidates[first + match];
        owner.ProcessId = entry.ProcessId;
        owner.Handle = entry.HandleValue;
        owner.Process = handles.Processes().Take(entry.ProcessId);
        owner.ObjectName = devicePath;
        std::wstring imageName;
        const auto* record = processes.FindProcess(entry.ProcessId);
        CopyName(record && processes.ImageName(record, imageName) ? imageName : L"<unknown>", owner);
        return true;
    }
    return false;
}
