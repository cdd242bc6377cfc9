#include "engine/PassDigest.h"

#include "engine/overwrite/EraserFile.h"
#include "win32/VirtualBuffer.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr DWORD kReadBlock = 1 << 20; // a multiple of the alignment
} // namespace

Sha256::Sha256() = default;

Sha256::~Sha256()
{
    Drop();
}

void Sha256::Drop()
{
    if (m_hash)
        ::BCryptDestroyHash(m_hash);
    m_hash = nullptr;
}

bool Sha256::Start()
{
    Drop();
    if (!m_algorithm && !BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&m_algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        m_algorithm = nullptr;
        return false;
    }
    if (!BCRYPT_SUCCESS(::BCryptCreateHash(m_algorithm, &m_hash, nullptr, 0, nullptr, 0, 0))) {
        m_hash = nullptr;
        return false;
    }
    return true;
}

void Sha256::Add(const void* data, size_t count)
{
    if (m_hash && count > 0)
        ::BCryptHashData(m_hash, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(count), 0);
}

bool Sha256::Finish(BYTE (&digest)[32])
{
    const bool done = m_hash && BCRYPT_SUCCESS(::BCryptFinishHash(m_hash, digest, sizeof(digest), 0));
    Drop();
    return done;
}

bool PassDigest::Start()
{
    m_ranges.clear();
    m_started = m_hash.Start();
    return m_started;
}

void PassDigest::Add(ULONGLONG offset, const void* data, DWORD count)
{
    if (count == 0)
        return;
    if (!m_ranges.empty() && m_ranges.back().offset + m_ranges.back().count == offset)
        m_ranges.back().count += count;
    else
        m_ranges.push_back({offset, count});
    m_hash.Add(data, count);
}

bool ReadFileAt(HANDLE file, ULONGLONG offset, void* buffer, DWORD count, DWORD* read)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    *read = 0;
    return ::ReadFile(file, buffer, count, read, &at) || ::GetLastError() == ERROR_HANDLE_EOF;
}

void CEraserFile::Landed(ULONGLONG offset, const void* data, DWORD count)
{
    if (m_record)
        m_record->Add(offset, data, count);
}

ReadBack CompareReadBack(CEraserFile& file, PassDigest& digest)
{
    BYTE written[32];
    VirtualBuffer block;
    Sha256 read;
    if (!digest.Finish(written) || !block.Allocate(kReadBlock) || !read.Start() || !file.StartReadBack())
        return ReadBack::Unreadable;
    const BYTE* data = static_cast<const BYTE*>(block.Data());
    for (const PassDigest::Range& range : digest.Ranges()) {
        const ULONGLONG end = range.offset + range.count;
        for (ULONGLONG at = range.offset / CEraserFile::kReadBackAlignment * CEraserFile::kReadBackAlignment; at < end;) {
            const ULONGLONG wanted = (end - at + CEraserFile::kReadBackAlignment - 1) / CEraserFile::kReadBackAlignment
                                     * CEraserFile::kReadBackAlignment;
            const DWORD count = static_cast<DWORD>(std::min<ULONGLONG>(wanted, kReadBlock));
            DWORD got = 0;
            if (!file.ReadUncached(at, block.Data(), count, &got))
                return ReadBack::Unreadable;
            const ULONGLONG from = std::max(at, range.offset), to = std::min(end, at + count);
            // The file ends before what the pass wrote does.
            if (at + got < to)
                return ReadBack::Differs;
            read.Add(data + (from - at), static_cast<size_t>(to - from));
            at += count;
        }
    }
    BYTE found[32];
    if (!read.Finish(found))
        return ReadBack::Unreadable;
    return std::memcmp(found, written, sizeof(found)) == 0 ? ReadBack::Matched : ReadBack::Differs;
}
