#include "engine/EraserFileNTFS.h"

OpenResult CEraserFileNTFS::Open(const wchar_t* path, OpenSharing sharing)
{
    Close();
    if (!::SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL))
        return kOpenFailed;
    const DWORD share = sharing == kOpenBesideHolders ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    // Write-through instead of a flush per pass; buffering itself stays on.
    m_file.Reset(::CreateFileW(path, GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr));
    if (m_file)
        return kOpenOk;
    return ::GetLastError() == ERROR_SHARING_VIOLATION ? kOpenLocked : kOpenFailed;
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
