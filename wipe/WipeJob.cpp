#include "wipe/WipeJob.h"

#include <cwctype>

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
