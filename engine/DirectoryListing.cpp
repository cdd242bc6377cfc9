#include "engine/DirectoryListing.h"

#include <cstring>

namespace {

// A batch of entries per query; each holds one at the least.
constexpr size_t kBatchBytes = 64 * 1024;

} // namespace

bool IsLink(DWORD attributes, DWORD reparseTag)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag));
}

bool ReadOwnEntry(const std::wstring& path, DirectoryEntry& entry)
{
    WIN32_FIND_DATAW found;
    const UniqueFindHandle find(
        ::FindFirstFileExW(path.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (!find)
        return false;
    entry.name = found.cFileName;
    entry.attributes = found.dwFileAttributes;
    entry.reparseTag = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? found.dwReserved0 : 0;
    entry.size = (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    entry.fileId = 0;
    return true;
}

bool ParseDirectoryRecords(const void* buffer, size_t size, std::vector<DirectoryEntry>& entries)
{
    const auto* bytes = static_cast<const BYTE*>(buffer);
    const size_t nameOffset = offsetof(FILE_ID_BOTH_DIR_INFO, FileName);
    for (size_t at = 0;;) {
        FILE_ID_BOTH_DIR_INFO record;
        if (at > size || size - at < nameOffset)
            return false;
        std::memcpy(&record, bytes + at, nameOffset);
        if (record.FileNameLength % sizeof(wchar_t) != 0 || size - at - nameOffset < record.FileNameLength)
            return false;
        std::wstring name(record.FileNameLength / sizeof(wchar_t), L'\0');
        if (!name.empty())
            std::memcpy(&name[0], bytes + at + nameOffset, record.FileNameLength);
        if (name != L"." && name != L"..") {
            DirectoryEntry entry;
            entry.name = std::move(name);
            entry.attributes = record.FileAttributes;
            // For a reparse point the field holds its tag instead of the size of extended attributes.
            entry.reparseTag = (record.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? record.EaSize : 0;
            entry.size = static_cast<ULONGLONG>(record.EndOfFile.QuadPart);
            entry.fileId = static_cast<ULONGLONG>(record.FileId.QuadPart);
            entries.push_back(std::move(entry));
        }
        if (record.NextEntryOffset == 0)
            return true;
        at += record.NextEntryOffset;
    }
}

bool DirectoryListing::Open(const std::wstring& folder)
{
    m_folder.Reset(::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!m_folder || !::GetFileInformationByHandleEx(m_folder.Get(), FileAttributeTagInfo, &tag, sizeof(tag))
        || !QueryFileIdentity(m_folder.Get(), m_folderIdentity) || !(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        || IsLink(tag.FileAttributes, tag.ReparseTag)) {
        m_folder.Reset();
        return false;
    }
    return true;
}

bool DirectoryListing::Next(DirectoryEntry& entry)
{
    while (m_next == m_batch.size()) {
        m_batch.clear();
        m_next = 0;
        std::vector<BYTE> buffer(kBatchBytes);
        const FILE_INFO_BY_HANDLE_CLASS query = m_started ? FileIdBothDirectoryInfo : FileIdBothDirectoryRestartInfo;
        m_started = true;
        if (!m_folder || !::GetFileInformationByHandleEx(m_folder.Get(), query, buffer.data(), kBatchBytes)
            || !ParseDirectoryRecords(buffer.data(), kBatchBytes, m_batch)) {
            // The end, or a batch that cannot be read: either way the listing is over.
            m_batch.clear();
            m_folder.Reset();
            return false;
        }
    }
    entry = std::move(m_batch[m_next++]);
    return true;
}
