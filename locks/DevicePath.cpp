#include "locks/DevicePath.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr size_t kTargetChars = 4096;
const std::wstring kSubstitutePrefix = L"\\??\\";
const std::wstring kRedirectorPrefix = L"\\Device\\LanmanRedirector\\";

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

} // namespace

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() && ::_wcsnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

bool DevicePathFromTarget(const std::wstring& target, const std::wstring& path, std::wstring& devicePath)
{
    const std::wstring rest = path.size() > 2 ? path.substr(2) : std::wstring();
    if (StartsWithNoCase(target, kSubstitutePrefix)) {
        // A substituted drive: the result is a drive-letter path again, which no handle's
        // object name equals.
        devicePath = target.substr(kSubstitutePrefix.size()) + rest;
        return true;
    }
    std::wstring device = target;
    if (StartsWithNoCase(target, kRedirectorPrefix)) {
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

std::wstring HandleNameNormalizer::ToDeviceForm(const std::wstring& objectName)
{
    // \??\ + drive letter + colon
    const size_t prefixLength = kSubstitutePrefix.size() + 2;
    if (objectName.size() < prefixLength || objectName.compare(0, kSubstitutePrefix.size(), kSubstitutePrefix) != 0
        || !IsDriveLetter(objectName[4]) || objectName[5] != L':')
        return objectName;
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
    return known->second + objectName.substr(prefixLength);
}
