#include "engine/EraserFileNTFS.h"

#include "locks/HandleOwner.h"
#include "locks/UnlockActions.h"

namespace {

HANDLE OpenForOverwrite(const wchar_t* path, DWORD share)
{
    // Write-through instead of a flush per pass; buffering itself stays on.
    return ::CreateFileW(path, GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr);
}

} // namespace

OpenResult CEraserFileNTFS::Open(const wchar_t* path, int unlockMode)
{
    Close();
    if (!::SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL))
        return kOpenFailed;
    m_file.Reset(OpenForOverwrite(path, 0));
    if (m_file)
        return kOpenOk;
    if (::GetLastError() != ERROR_SHARING_VIOLATION)
        return kOpenFailed;

    if (unlockMode != kUnlockCloseHandle && unlockMode != kUnlockKillOwner)
        return unlockMode == kUnlockNone ? kOpenLocked : kOpenFailed;
    LockOwnerInfo owner = {};
    if (!FindHandleOwner(path, owner))
        return kOpenFailed;
    if (unlockMode == kUnlockCloseHandle && !CloseOwnerHandle(owner))
        return kOpenCloseHandleFailed;
    if (unlockMode == kUnlockKillOwner && !KillOwner(owner))
        return kOpenKillFailed;

    // Other handles on the file may remain; they no longer keep it from being overwritten.
    m_file.Reset(OpenForOverwrite(path, FILE_SHARE_READ | FILE_SHARE_WRITE));
    return m_file ? kOpenOk : kOpenFailed;
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
