#include "report/ReportSpool.h"

#include <algorithm>
#include <vector>

namespace {

// Appends are gathered up to this much before they go to the file.
constexpr size_t kPendingLimit = 64 * 1024;

bool Rewind(HANDLE file)
{
    LARGE_INTEGER start = {};
    return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != FALSE;
}

} // namespace

bool WriteAll(HANDLE file, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes, chunk, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        size -= written;
    }
    return true;
}

ReportSpool::~ReportSpool()
{
    if (!m_file)
        return;
    // What reached the disk goes before the name does: deleted on close, the clusters would keep it.
    if (m_size > 0 && Rewind(m_file.Get())) {
        const std::vector<char> zeros(kPendingLimit, 0);
        for (ULONGLONG left = m_size; left > 0;) {
            const size_t chunk = static_cast<size_t>(std::min<ULONGLONG>(left, zeros.size()));
            if (!WriteAll(m_file.Get(), zeros.data(), chunk))
                break;
            left -= chunk;
        }
        ::FlushFileBuffers(m_file.Get());
    }
}

bool ReportSpool::Open()
{
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || !::GetTempFileNameW(folder, L"rpt", 0, name))
        return false;
    m_file.Reset(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!m_file)
        ::DeleteFileW(name);
    return m_file.IsValid();
}

bool ReportSpool::Append(const std::string& text)
{
    m_pending += text;
    return m_pending.size() < kPendingLimit ? !m_failed : Flush();
}

bool ReportSpool::Flush()
{
    if (!m_pending.empty() && !m_failed) {
        m_failed = !WriteAll(m_file.Get(), m_pending.data(), m_pending.size());
        if (!m_failed)
            m_size += m_pending.size();
    }
    m_pending.clear();
    return !m_failed;
}

bool ReportSpool::CopyTo(HANDLE out)
{
    if (!m_file || !Flush() || !Rewind(m_file.Get()))
        return false;
    std::vector<char> buffer(kPendingLimit);
    bool copied = true;
    for (ULONGLONG left = m_size; left > 0 && copied;) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<ULONGLONG>(left, buffer.size()));
        copied = ::ReadFile(m_file.Get(), buffer.data(), want, &read, nullptr) && read > 0
                 && WriteAll(out, buffer.data(), read);
        left -= read;
    }
    LARGE_INTEGER end = {};
    return ::SetFilePointerEx(m_file.Get(), end, nullptr, FILE_END) && copied;
}
