#include "engine/FileIdentity.h"

#include "win32/ScopedHandle.h"

bool FileName::operator<(const FileName& other) const
{
    if (volume != other.volume || folder != other.folder)
        return volume != other.volume ? volume < other.volume : folder < other.folder;
    return CompareNames(name, other.name) < 0;
}

bool QueryFileIdentity(HANDLE file, FileIdentity& identity)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file, &info))
        return false;
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.names = info.nNumberOfLinks;
    return true;
}

bool QueryFileIdentity(const wchar_t* path, FileIdentity& identity)
{
    // Reading attributes conflicts with no other open, whatever its sharing.
    UniqueFile file(::CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                  nullptr));
    return file && QueryFileIdentity(file.Get(), identity);
}
