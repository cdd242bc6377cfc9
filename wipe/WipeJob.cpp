#include "wipe/WipeJob.h"

#include "wipe/WipeFolder.h"

#include <cwctype>

ULONGLONG FreeBytesOf(const EraseNotice& notice)
{
    return (static_cast<ULONGLONG>(static_cast<uint32_t>(notice.filePercent)) << 32)
           | static_cast<uint32_t>(notice.totalPercent);
}

std::wstring DriveRootOf(const wchar_t* drive)
{
    if (!drive || !std::iswalpha(drive[0]) || drive[0] > L'z' || drive[1] != L':'
        || (drive[2] != L'\0' && (drive[2] != L'\\' || drive[3] != L'\0')))
        return std::wstring();
    return {static_cast<wchar_t>(std::towupper(drive[0])), L':', L'\\'};
}

bool QueryFreeBytes(const std::wstring& root, ULONGLONG& freeBytes)
{
    ULARGE_INTEGER available, total, free;
    if (!::GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free))
        return false;
    freeBytes = free.QuadPart;
    return true;
}

void RemoveWipeLeftoverAt(const std::wstring& root)
{
    WipeFolder folder;
    if (folder.ClaimLeftover(root) == WipeFolder::Claim::Claimed)
        folder.Remove();
}

void RemoveWipeLeftovers()
{
    // An empty removable drive must not ask for a disk.
    DWORD previousMode = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode);
    const DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        const std::wstring root = {letter, L':', L'\\'};
        const UINT type = (drives >> (letter - L'A')) & 1 ? ::GetDriveTypeW(root.c_str()) : DRIVE_NO_ROOT_DIR;
        if (type == DRIVE_FIXED || type == DRIVE_REMOVABLE)
            RemoveWipeLeftoverAt(root);
    }
    ::SetThreadErrorMode(previousMode, nullptr);
}
