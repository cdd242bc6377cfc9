#include "wipe/FillFile.h"

#include <algorithm>
#include <cstring>

namespace {
// Large enough that the disk, not the calls, sets the pace; a multiple of any sector size.
constexpr size_t kBlockSize = 1 << 20;
// Unbuffered writes start on a sector; no disk in use has sectors larger than this.
constexpr ULONGLONG kLargestSector = 4096;
} // namespace

bool IsOutOfRoom(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || error == kErrorQuotaExceeded;
}

OpenResult FillFile::Open(const wchar_t* path, OpenSharing)
{
    Close();
    if (!m_block.Data() && !m_block.Allocate(kBlockSize))
        return kOpenFailed;
    m_file.Reset(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH, nullptr));
    m_staged = 0;
    m_position = 0;
    m_size = 0;
    m_full = false;
    m_limit = 0;
    m_refusal = 0;
    return m_file ? kOpenOk : kOpenFailed;
}

bool FillFile::Reserve(ULONGLONG size)
{
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(m_file.Get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(m_file.Get()))
        return false;
    m_size = size;
    return Seek(0, nullptr, FILE_BEGIN);
}

bool FillFile::GetSize(ULONGLONG& size)
{
    size = m_size;
    return m_file.IsValid();
}

bool FillFile::Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin)
{
    if (distance != 0 || origin != FILE_BEGIN || !Flush())
        return false;
    const LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(m_file.Get(), start, nullptr, FILE_BEGIN))
        return false;
    m_position = 0;
    if (newPosition)
        *newPosition = 0;
    return true;
}

bool FillFile::Write(const void* buffer, DWORD count, DWORD* written)
{
    const BYTE* data = static_cast<const BYTE*>(buffer);
    for (DWORD left = count; left > 0;) {
        const size_t part = std::min<size_t>(left, kBlockSize - m_staged);
        std::memcpy(static_cast<BYTE*>(m_block.Data()) + m_staged, data, part);
        m_staged += part;
        data += part;
        left -= static_cast<DWORD>(part);
        if (m_staged == kBlockSize && !Flush())
            return false;
    }
    if (written)
        *written = count;
    return true;
}

bool FillFile::Flush()
{
    if (m_staged == 0)
        return true;
    const ULONGLONG start = m_position;
    // Past the point where the room ran out nothing can land; the pass goes on as if it had.
    const ULONGLONG room = m_full ? (m_limit > start ? m_limit - start : 0) : m_staged;
    const DWORD count = static_cast<DWORD>(std::min<ULONGLONG>(room, m_staged));
    m_position += m_staged;
    m_staged = 0;
    if (count == 0)
        return true;
    DWORD done = 0;
    if (::WriteFile(m_file.Get(), m_block.Data(), count, &done, nullptr)) {
        Landed(start, m_block.Data(), count);
        return true;
    }
    const DWORD error = ::GetLastError();
    if (!IsOutOfRoom(error))
        return false;
    m_full = true;
    m_limit = start + done / kLargestSector * kLargestSector;
    Landed(start, m_block.Data(), static_cast<DWORD>(m_limit - start));
    m_refusal = error;
    return true;
}

bool FillFile::ReadUncached(ULONGLONG offset, void* buffer, DWORD count, DWORD* read)
{
    *read = 0;
    // What the room that ran out kept from the file is not part of it.
    const ULONGLONG end = Reached();
    if (offset >= end)
        return true;
    if (!ReadFileAt(m_file.Get(), offset, buffer, count, read))
        return false;
    *read = static_cast<DWORD>(std::min<ULONGLONG>(*read, end - offset));
    return true;
}

void FillFile::Close()
{
    if (m_file)
        Flush();
    m_file.Reset();
}
