#include "locks/DevicePath.h"

#include "locks/HandleQuery.h"
#include "locks/INtDll.h"
#include "locks/NtRecords.h"
#include "win32/ScopedHandle.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr size_t kTargetChars = 4096;
const std::wstring kSubstitutePrefix = L"\\??\\";
const std::wstring kRedirectorPrefix = L"\\Device\\LanmanRedirector\\";
const std::wstring kMupPrefix = L"\\Device\\Mup\\";

// The normalised name with the volume as the system names its device; the buffer grows once
// when the name is longer than the first guess.
bool FinalDeviceName(HANDLE item, std::wstring& name)
{
    std::wstring text(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleW(item, &text[0], static_cast<DWORD>(text.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_NT);
        if (length == 0)
            return false;
        if (length < text.size()) {
            name.assign(text.c_str(), length);
            return true;
        }
        text.assign(length, L'\0');
    }
    return false;
}

// The name the system gives the handle's object, as it names the objects behind every other
// handle. Unguarded: a handle just opened here for attributes has no request pending that a
// name query could wait behind.
bool ObjectName(HANDLE item, std::wstring& name)
{
    ObjectRecord record;
    return INtDll::EntryPointsBound && QueryObjectRecord(item, kObjectNameInformation, record)
           && NtRecords::ParseObjectName(record.data.get(), record.size, NtRecords::kNativeLayout, name);
}

} // namespace

bool DevicePathFromTarget(const std::wstring& target, const std::wstring& path, std::wstring& devicePath)
{
    const std::wstring rest = path.size() > 2 ? path.substr(2) : std::wstring();
    if (StartsWithName(target, kSubstitutePrefix)) {
        // A substituted drive: the result is a drive-letter path again, which no handle's
        // object name equals.
        devicePath = target.substr(kSubstitutePrefix.size()) + rest;
        return true;
    }
    std::wstring device = target;
    if (StartsWithName(target, kRedirectorPrefix)) {
        // The redirector keeps the drive letter and a session number before the share.
        wchar_t drive = 0;
        int session = 0;
        wchar_t share[kTargetChars] = {};
        if (::swscanf(target.c_str(), L"\\Device\\LanmanRedirector\\;%lc:%d\\%4095ls", &drive, &session, share) != 3)
            return false;
        device = kRedirectorPrefix + share;
    }
    devicePath = device + rest;
    return true;
}

bool DosPathToDevicePath(const std::wstring& path, std::wstring& devicePath)
{
    const std::wstring drive = path.substr(0, 2);
    wchar_t target[kTargetChars] = {};
    if (::QueryDosDeviceW(drive.c_str(), target, kTargetChars) == 0)
        return false;
    return DevicePathFromTarget(target, path, devicePath);
}

std::wstring ComparableDeviceName(const std::wstring& deviceName)
{
    size_t rest = 0;
    if (StartsWithName(deviceName, kMupPrefix))
        rest = kMupPrefix.size();
    else if (StartsWithName(deviceName, kRedirectorPrefix))
        rest = kRedirectorPrefix.size();
    else
        return deviceName;
    // No server name begins with ";": such components are the redirector's own.
    while (rest < deviceName.size() && deviceName[rest] == L';') {
        const size_t separator = deviceName.find(L'\\', rest);
        rest = separator == std::wstring::npos ? deviceName.size() : separator + 1;
    }
    return kMupPrefix + deviceName.substr(rest);
}

bool QueryItemDeviceName(const std::wstring& path, std::wstring& name)
{
    // With its final separator a link in a folder's place would be resolved by the open; a
    // drive's root keeps its separator, without it the name is the volume's.
    std::wstring itemPath = path;
    while (itemPath.size() > 1 && itemPath.back() == L'\\' && itemPath[itemPath.size() - 2] != L':')
        itemPath.pop_back();
    // Reading attributes takes part in no sharing check: the open succeeds beside any holder.
    const UniqueFile item(::CreateFileW(itemPath.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    // Not every file system can tell the normalised name (some redirectors cannot): then the
    // name it gives the handle, in the form it gives all others.
    return item && (FinalDeviceName(item.Get(), name) || ObjectName(item.Get(), name));
}

std::wstring HandleNameNormalizer::ComparableForm(const std::wstring& objectName)
{
    // \??\ + drive letter + colon
    const size_t prefixLength = kSubstitutePrefix.size() + 2;
    if (objectName.compare(0, kSubstitutePrefix.size(), kSubstitutePrefix) != 0
        || !StartsWithDrive(objectName.substr(kSubstitutePrefix.size())))
        return ComparableDeviceName(objectName);
    const wchar_t letter = static_cast<wchar_t>(objectName[4] & ~0x20); // upper case
    auto known = m_driveDevices.find(letter);
    if (known == m_driveDevices.end()) {
        std::wstring device;
        if (!DosPathToDevicePath(std::wstring(1, letter) + L":", device))
            device.clear();
        known = m_driveDevices.emplace(letter, device).first;
    }
    if (known->second.empty())
        return objectName;
    return ComparableDeviceName(known->second + objectName.substr(prefixLength));
}
