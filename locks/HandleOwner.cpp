#include "locks/HandleOwner.h"

#include "locks/DevicePath.h"
#include "locks/HandleQuery.h"
#include "locks/INtDll.h"
#include "locks/NtRecords.h"
#include "locks/SystemHandleInformation.h"
#include "locks/SystemProcessInformation.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <new>

namespace {

constexpr DWORD kProbeTimeoutMs = 100;
// After TerminateThread the thread may still run for a moment; its state is only given
// back once it has surely stopped.
constexpr DWORD kProbeReapMs = 1000;
constexpr ULONG kProbeBufferSize = 4096;
constexpr ULONG kNameQueryDefaultLength = 8192;

const wchar_t* const kTypeNames[] = {
    L"",          L"",          L"Directory", L"SymbolicLink", L"Token",     L"Process",       L"Thread",
    L"Unknown7",  L"Event",     L"EventPair", L"Mutant",       L"Unknown11", L"Semaphore",     L"Timer",
    L"Profile",   L"WindowStation", L"Desktop", L"Section",    L"Key",       L"Port",          L"WaitablePort",
    L"Unknown21", L"Unknown22", L"Unknown23", L"Unknown24",    L"IoCompletion", L"File",
};
static_assert(std::size(kTypeNames) == kFileTypeIndex + 1, "the type table ends with File");

// Everything the probe thread touches. It allocates nothing, so terminating it cannot leave
// the heap locked.
struct ProbeState {
    HANDLE file;
    IoStatusBlock ioStatus;
    NTSTATUS status;
    alignas(8) BYTE buffer[kProbeBufferSize];
};

DWORD WINAPI ProbeThread(LPVOID parameter)
{
    auto* state = static_cast<ProbeState*>(parameter);
    state->status = INtDll::NtQueryInformationFile(state->file, &state->ioStatus, state->buffer, kProbeBufferSize,
                                                   kFileNameInformation);
    return 0;
}

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

bool ProbeFileName(HANDLE file, std::wstring& name)
{
    std::unique_ptr<ProbeState> state(new (std::nothrow) ProbeState());
    if (!state) {
        name.clear();
        return true;
    }
    state->file = file;
    UniqueHandle thread(::CreateThread(nullptr, 0, ProbeThread, state.get(), 0, nullptr));
    if (!thread || ::WaitForSingleObject(thread.Get(), kProbeTimeoutMs) != WAIT_OBJECT_0) {
        if (thread) {
            ::TerminateThread(thread.Get(), 0);
            if (::WaitForSingleObject(thread.Get(), kProbeReapMs) != WAIT_OBJECT_0)
                state.release(); // still in use by a thread that would not stop: leave it to it
        }
        name.clear();
        return true;
    }
    if (state->status != kStatusSuccess)
        return false;
    std::wstring probed;
    if (!NtRecords::ParseFileNameInformation(state->buffer, kProbeBufferSize, probed))
        return false;
    name = probed;
    return true;
}

bool QueryObjectName(DWORD processId, ULONG handleValue, ULONG typeIndex, std::wstring& name)
{
    if (!INtDll::EntryPointsBound)
        return false;
    QueryHandle handle;
    if (!DuplicateForQuery(processId, handleValue, handle))
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

    ULONG length = kNameQueryDefaultLength;
    INtDll::NtQueryObject(handle.Get(), kObjectNameInformation, nullptr, 0, &length);
    if (length == 0)
        length = kNameQueryDefaultLength;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[length]);
    if (!buffer || INtDll::NtQueryObject(handle.Get(), kObjectNameInformation, buffer.get(), length, nullptr) != kStatusSuccess)
        return result;
    std::wstring objectName;
    if (!NtRecords::ParseObjectName(buffer.get(), length, NtRecords::kNativeLayout, objectName))
        return result;
    name = objectName;
    return true;
}

bool FindHandleOwner(const std::wstring& path, LockOwnerInfo& owner)
{
    SystemHandleInformation handles;
    SystemProcessInformation processes;

    std::wstring dosPath = StartsWithNoCase(path, L"\\\\?\\") ? path.substr(4) : path;
    std::wstring devicePath;
    if (!DosPathToDevicePath(dosPath, devicePath))
        return false;
    while (!devicePath.empty() && devicePath.back() == L'\\')
        devicePath.pop_back();

    handles.SetTypeFilter(L"File");
    if (!handles.TakeSnapshot() || handles.empty())
        return false;
    // Without a process list the owner is still found, only not named.
    processes.TakeSnapshot();

    HandleNameNormalizer normalizer;
    for (const SystemHandleInformation::_SYSTEM_HANDLE& entry : handles) {
        std::wstring typeName;
        ULONG typeIndex = 0;
        if (!QueryTypeName(entry.ProcessId, entry.HandleValue, typeName) || !TypeIndexFromName(typeName, typeIndex))
            continue;
        std::wstring objectName;
        if (!QueryObjectName(entry.ProcessId, entry.HandleValue, typeIndex, objectName))
            continue;
        // Whole, case-sensitive names: a folder never matches a handle on a file inside it.
        if (normalizer.ToDeviceForm(objectName) != devicePath)
            continue;

        // The values acted on later are the very pair whose name was just read.
        owner.ProcessId = entry.ProcessId;
        owner.Handle = entry.HandleValue;
        std::wstring imageName;
        const auto* record = processes.FindProcess(entry.ProcessId);
        CopyName(record && processes.ImageName(record, imageName) ? imageName : L"<unknown>", owner);
        return true;
    }
    return false;
}
