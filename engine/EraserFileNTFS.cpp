#include "engine/EraserFileNTFS.h"

bool CEraserFileNTFS::IsRequiredFile(HANDLE file) const
{
    FileIdentity identity;
    return !m_requiresFile
           || (QueryFileIdentity(file, identity) && identity.volume == m_required.volume && identity.index == m_required.index);
}

OpenResult CEraserFileNTFS::Open(const wchar_t* path, OpenSharing sharing)
{
    Close();
    // Attributes go through a handle on the file itself, and only once it is known to be the
    // one required: a folder on the way swapped for a link must not lead anything elsewhere.
    // Reading and writing attributes conflicts with no other open, whatever its sharing.
    {
        const UniqueFile attributes(::CreateFileW(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
        FILE_BASIC_INFO basic = {};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL; // clears the others; zero times stay as they are
        if (!attributes || !IsRequiredFile(attributes.Get())
            || !::SetFileInformationByHandle(attributes.Get(), FileBasicInfo, &basic, sizeof(basic)))
            return kOpenFailed;
    }
    const DWORD share = sharing == kOpenBesideHolders ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    // Write-through instead of a flush per pass; buffering itself stays on.
    m_file.Reset(::CreateFileW(path, GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!m_file)
        return IsHolderError(::GetLastError()) ? kOpenLocked : kOpenFailed;
    if (!IsRequiredFile(m_file.Get())) {
        m_file.Reset();
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
