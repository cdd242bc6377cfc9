#include "engine/EraserFileNTFS.h"

bool CEraserFileNTFS::IsRequiredFile(HANDLE file) const
{
    FileIdentity identity;
    return !m_requiresFile || (QueryFileIdentity(file, identity) && identity.IsSameFile(m_required));
}

bool CEraserFileNTFS::ClearReadOnly(const wchar_t* path, FileIdentity& named, bool unlessOtherNames) const
{
    // Reading and writing attributes conflicts with no other open, whatever its sharing; the
    // handle is checked to be the required file first, so that a folder on the way swapped for
    // a link leads nothing elsewhere.
    const UniqueFile file(::CreateFileW(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
    FILE_BASIC_INFO basic;
    if (!file || !IsRequiredFile(file.Get()) || !QueryFileIdentity(file.Get(), named)
        || !::GetFileInformationByHandleEx(file.Get(), FileBasicInfo, &basic, sizeof(basic)))
        return false;
    if ((unlessOtherNames && named.names > 1) || !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return true;
    FILE_BASIC_INFO writable = {}; // zero times stay as they are
    writable.FileAttributes = (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(file.Get(), FileBasicInfo, &writable, sizeof(writable)) != FALSE;
}

OpenResult CEraserFileNTFS::Open(const wchar_t* path, OpenSharing sharing)
{
    Close();
    const DWORD share = sharing == kOpenBesideHolders ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    // Write-through instead of a flush per pass; buffering itself stays on.
    m_file.Reset(::CreateFileW(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, share, nullptr, OPEN_EXISTING,
                               FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!m_file) {
        m_error = ::GetLastError();
        return m_error == ERROR_SHARING_VIOLATION || m_error == ERROR_LOCK_VIOLATION ? kOpenLocked : kOpenFailed;
    }
    if (!IsRequiredFile(m_file.Get())) {
        m_file.Reset();
        m_error = kErrorNotSameObject;
        return kOpenFailed;
    }
    return kOpenOk;
}

bool CEraserFileNTFS::GetSize(ULONGLONG& size)
{
    LARGE_INTEGER value;
    if (!m_file || !::GetFileSizeEx(m_file.Get(), &value))
        return false;
    size = static_cast<ULONGLONG>(value.QuadPart);
    return true;
}

bool CEraserFileNTFS::Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin)
{
    LARGE_INTEGER move, position;
    move.QuadPart = distance;
    if (!::SetFilePointerEx(m_file.Get(), move, &position, origin))
        return false;
    if (newPosition)
        *newPosition = static_cast<ULONGLONG>(position.QuadPart);
    return true;
}

bool CEraserFileNTFS::Write(const void* buffer, DWORD count, DWORD* written)
{
    DWORD done = 0;
    const bool ok = ::WriteFile(m_file.Get(), buffer, count, &done, nullptr) != FALSE;
    if (written)
        *written = done;
    return ok;
}

void CEraserFileNTFS::Close()
{
    m_file.Reset();
}
