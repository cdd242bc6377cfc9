#include "engine/overwrite/EraserFileNTFS.h"

#include <winioctl.h>

namespace {

// An attributes-only handle: reading and writing attributes conflicts with no other open,
// whatever its sharing.
UniqueFile OpenAttributes(const wchar_t* path)
{
    return UniqueFile(::CreateFileW(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
}

constexpr int kReadBackTries = 5;
constexpr DWORD kReadBackPauseMs = 100;

bool SetBasicInfo(HANDLE file, FILE_BASIC_INFO info)
{
    return ::SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof(info)) != FALSE;
}

} // namespace

bool CEraserFileNTFS::IsRequiredFile(HANDLE file) const
{
    FileIdentity identity;
    return !m_requiresFile || (QueryFileIdentity(file, identity) && identity.IsSameFile(m_required));
}

bool CEraserFileNTFS::ClearReadOnly(const wchar_t* path, FileIdentity& named, bool unlessOtherNames)
{
    // The handle is checked to be the required file first, so that a folder on the way swapped
    // for a link leads nothing elsewhere.
    const UniqueFile file = OpenAttributes(path);
    FILE_BASIC_INFO basic;
    if (!file || !IsRequiredFile(file.Get()) || !QueryFileIdentity(file.Get(), named)
        || !::GetFileInformationByHandleEx(file.Get(), FileBasicInfo, &basic, sizeof(basic)))
        return false;
    if ((unlessOtherNames && named.names > 1) || !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return true;
    FILE_BASIC_INFO writable = {}; // zero times stay as they are
    writable.FileAttributes = (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
    if (!SetBasicInfo(file.Get(), writable))
        return false;
    m_attributes = {};
    m_attributes.FileAttributes = basic.FileAttributes;
    m_attributesCleared = true;
    if (!m_requiresFile)
        RequireFile(named);
    m_path = path;
    return true;
}

void CEraserFileNTFS::RestoreAttributes()
{
    if (!m_attributesCleared)
        return;
    if (m_file) {
        m_attributesCleared = !SetBasicInfo(m_file.Get(), m_attributes);
        return;
    }
    const UniqueFile file = OpenAttributes(m_path.c_str());
    m_attributesCleared = !(file && IsRequiredFile(file.Get()) && SetBasicInfo(file.Get(), m_attributes));
}

OpenResult CEraserFileNTFS::Open(const wchar_t* path, OpenSharing sharing)
{
    Close();
    m_path = path;
    m_sharing = sharing;
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

bool CEraserFileNTFS::ZeroOnDeallocation()
{
    DWORD returned = 0;
    m_zeroing = ::DeviceIoControl(m_file.Get(), FSCTL_SET_ZERO_ON_DEALLOCATION, nullptr, 0, nullptr, 0, &returned,
                                  nullptr)
                != FALSE;
    return m_zeroing;
}

bool CEraserFileNTFS::StoredOutOfPlace() const
{
    constexpr DWORD kOutOfPlace = FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_ENCRYPTED;
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    // Where the file system says neither, it is taken to be stored out of place.
    if (!::GetFileInformationByHandleEx(m_file.Get(), FileBasicInfo, &basic, sizeof(basic))
        || !::GetFileInformationByHandleEx(m_file.Get(), FileStandardInfo, &standard, sizeof(standard)))
        return true;
    return (basic.FileAttributes & kOutOfPlace) != 0 || standard.AllocationSize.QuadPart < standard.EndOfFile.QuadPart;
}

bool CEraserFileNTFS::GetSize(ULONGLONG& size)
{
    LARGE_INTEGER value;
    if (!m_file || !::GetFileSizeEx(m_file.Get(), &value))
        return false;
    size = static_cast<ULONGLONG>(value.QuadPart);
    return true;
}

bool CEraserFileNTFS::SetEnd(ULONGLONG end)
{
    FILE_END_OF_FILE_INFO info;
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(end);
    return ::SetFileInformationByHandle(m_file.Get(), FileEndOfFileInfo, &info, sizeof(info)) != FALSE;
}

// Only the end of file moves, never the valid data length: what lies beyond the data reads as
// zeros until a pass writes it.
bool CEraserFileNTFS::ReachClusterEnd(ULONGLONG& end)
{
    FILE_STANDARD_INFO standard;
    if (!::GetFileInformationByHandleEx(m_file.Get(), FileStandardInfo, &standard, sizeof(standard)))
        return false;
    const ULONGLONG size = static_cast<ULONGLONG>(standard.EndOfFile.QuadPart);
    // The first time, or where another process wrote past the end the file was given.
    if (m_extendedTo == 0 || size > m_extendedTo)
        m_dataSize = size;
    // A compressed or sparse file may have fewer clusters than its size.
    const ULONGLONG allocated = static_cast<ULONGLONG>(standard.AllocationSize.QuadPart);
    end = allocated > size ? allocated : size;
    if (end > size && !SetEnd(end))
        return false;
    m_extendedTo = end;
    return true;
}

bool CEraserFileNTFS::RestoreSize()
{
    if (m_extendedTo == 0 || m_extendedTo == m_dataSize)
        return true;
    if (!SetEnd(m_dataSize))
        return false;
    m_extendedTo = m_dataSize;
    return true;
}

bool CEraserFileNTFS::Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin)
{
    LARGE_INTEGER move, position;
    move.QuadPart = distance;
    if (!::SetFilePointerEx(m_file.Get(), move, &position, origin))
        return false;
    m_position = static_cast<ULONGLONG>(position.QuadPart);
    if (newPosition)
        *newPosition = m_position;
    return true;
}

bool CEraserFileNTFS::Write(const void* buffer, DWORD count, DWORD* written)
{
    DWORD done = 0;
    const bool ok = ::WriteFile(m_file.Get(), buffer, count, &done, nullptr) != FALSE;
    Landed(m_position, buffer, done);
    m_position += done;
    if (written)
        *written = done;
    return ok;
}

// Opened again once the first handle, which shared nothing, is closed. Readers may share it: a
// scanner that looks at every file written, once its writer closes it, would otherwise make the
// read-back fail; for a while it is waited for.
bool CEraserFileNTFS::StartReadBack()
{
    FileIdentity identity;
    if (!Identity(identity))
        return false;
    m_file.Reset();
    const DWORD share = m_sharing == kOpenBesideHolders ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    for (int tries = 0; tries < kReadBackTries; ++tries) {
        if (tries > 0)
            ::Sleep(kReadBackPauseMs);
        m_file.Reset(::CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, share, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH, nullptr));
        if (m_file || ::GetLastError() != ERROR_SHARING_VIOLATION)
            break;
    }
    FileIdentity reopened;
    if (!m_file || !QueryFileIdentity(m_file.Get(), reopened) || !reopened.IsSameFile(identity)) {
        m_file.Reset();
        return false;
    }
    if (m_zeroing)
        ZeroOnDeallocation();
    return true;
}

bool CEraserFileNTFS::ReadUncached(ULONGLONG offset, void* buffer, DWORD count, DWORD* read)
{
    return ReadFileAt(m_file.Get(), offset, buffer, count, read);
}

void CEraserFileNTFS::Close()
{
    m_file.Reset();
    m_position = 0;
    m_extendedTo = 0;
    m_dataSize = 0;
    m_zeroing = false;
}
