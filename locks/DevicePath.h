#pragma once
// The system's device form of a path, the form in which the system names the objects behind
// file handles, and the comparison of such names.

#include "win32/PathRules.h"

#include <map>
#include <string>

// The device form of path, given the target that the system reports for its first two
// characters (its drive): local (\Device\HarddiskVolume1), substituted (\??\C:\dir) or
// network (\Device\LanmanRedirector\;Z:0\server\share).
bool DevicePathFromTarget(const std::wstring& target, const std::wstring& path, std::wstring& devicePath);

// The same with the drive's target asked of the system.
bool DosPathToDevicePath(const std::wstring& path, std::wstring& devicePath);

// One object's names as different handles report them, brought into one form: a file on a
// share is \Device\Mup\server\share\... whether it was opened through a mapped drive (the
// redirector puts its own ";LanmanRedirector" and ";Z:0000..." components before the server)
// or by the share's name. Other names are returned unchanged.
std::wstring ComparableDeviceName(const std::wstring& deviceName);

// The device name of the item at path (a "\\?\" form, a folder with or without its final
// separator), asked through a handle on the item itself: a link at its end is not followed,
// and short names and letter case come back as the file system stores them, so that every
// spelling of one item gives one name. In the form the system names handles in when it cannot
// tell the normalised name. False when the item cannot be opened.
bool QueryItemDeviceName(const std::wstring& path, std::wstring& name);

// Some systems name a file handle's object \??\C:\dir\f.txt rather than by its device.
// Brings such names into the device form, asking the system once per drive letter, and
// every name into the comparable form.
class HandleNameNormalizer {
public:
    std::wstring ComparableForm(const std::wstring& objectName);

private:
    // Device form of "X:" per drive letter; empty when the drive has no known target.
    std::map<wchar_t, std::wstring> m_driveDevices;
};
