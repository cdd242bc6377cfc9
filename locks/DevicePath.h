#pragma once
// Turning a drive-letter path into the system's device form, the form in which the system
// names the objects behind file handles.

#include <map>
#include <string>

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix);

// The device form of path, given the target that the system reports for its first two
// characters (its drive): local (\Device\HarddiskVolume1), substituted (\??\C:\dir) or
// network (\Device\LanmanRedirector\;Z:0\server\share).
bool DevicePathFromTarget(const std::wstring& target, const std::wstring& path, std::wstring& devicePath);

// The same with the drive's target asked of the system.
bool DosPathToDevicePath(const std::wstring& path, std::wstring& devicePath);

// Some systems name a file handle's object \??\C:\dir\f.txt rather than by its device.
// Brings such names into the device form, asking the system once per drive letter;
// names in any other form are returned unchanged.
class HandleNameNormalizer {
public:
    std::wstring ToDeviceForm(const std::wstring& objectName);

private:
    // Device form of "X:" per drive letter; empty when the drive has no known target.
    std::map<wchar_t, std::wstring> m_driveDevices;
};
