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

void CopyName(const std::wstring& name, LockOwnerInfo& owner)
{
    const size_t count = std::min(name.size(), std::size(owner.ProcessName) - 1);
    std::copy_n(name.begin(), count, owner.ProcessName);
    owner.ProcessName[count] = L'\0';
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

    bool result = false;
    if (typeIndex == kFileTypeIndex) {
        // The probe only decides whether the general query may be tried: an empty name means
        // the file's queries may block.
        std::wstring probed;
        result = ProbeFileName(handle.Get(), probed);
        if (result && probed.empty()) {
            name.clear();
            return true;
        }
        if (result)
            name = probed;
    }

    ObjectRecord record;
    std::wstring objectName;
    if (!QueryObjectRecord(handle.Get(), kObjectNameInformation, record)
        || !NtRecords::ParseObjectName(record.data.get(), record.size, NtRecords::kNativeLayout, objectName))
        return result;
    name = objectName;
    return true;
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
    const DWORD self = ::GetCurrentProcessId();
    HandleNameNormalizer normalizer;
    for (const SystemHandleInformation::_SYSTEM_HANDLE& entry : handles) {
        if (entry.ProcessId == self)
            continue;
        std::wstring objectName;
        if (!QueryObjectName(handles.Processes().Open(entry.ProcessId), entry.HandleValue, typeIndex, objectName))
            continue;
        // Whole, case-sensitive names: a folder never matches a handle on a file inside it.
        std::wstring deviceName = normalizer.ToDeviceForm(objectName);
        if (deviceName != devicePath)
            continue;

        // The values acted on later are the very pair whose name was just read, in the process
        // kept open since.
        owner.ProcessId = entry.ProcessId;
        owner.Handle = entry.HandleValue;
        owner.Process = handles.Processes().Take(entry.ProcessId);
        owner.ObjectName = std::move(deviceName);
        std::wstring imageName;
        const auto* record = processes.FindProcess(entry.ProcessId);
        CopyName(record && processes.ImageName(record, imageName) ? imageName : L"<unknown>", owner);
        return true;
    }
    return false;
}
