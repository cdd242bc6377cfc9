#include "engine/DirectoryListing.h"

#include "engine/RecordChain.h"

#include <algorithm>

namespace {

// A batch of entries per query; each holds one at the least.
constexpr size_t kBatchBytes = 64 * 1024;

} // namespace

bool IsLink(DWORD attributes, DWORD reparseTag)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag));
}

bool ListedNameOf(const std::wstring& path, std::wstring& name)
{
    const std::wstring given = path.substr(path.find_last_of(L'\\') + 1);
    WIN32_FIND_DATAW found;
    const UniqueFindHandle find(::FindFirstFileW(path.c_str(), &found));
    for (bool more = find.IsValid(); more; more = ::FindNextFileW(find.Get(), &found) != FALSE) {
        if (SameName(found.cFileName, given) || SameName(found.cAlternateFileName, given)) {
            name = found.cFileName;
            return true;
        }
    }
    return false;
}

bool ParseDirectoryRecords(const void* buffer, size_t size, std::vector<DirectoryEntry>& entries)
{
    return ForEachRecord(buffer, size, offsetof(FILE_ID_BOTH_DIR_INFO, FileName), &FILE_ID_BOTH_DIR_INFO::FileNameLength,
                         [&](const FILE_ID_BOTH_DIR_INFO& record, std::wstring&& name) {
                             if (name == L"." || name == L"..")
                                 return;
                             DirectoryEntry entry;
                             entry.name = std::move(name);
                             entry.attributes = record.FileAttributes;
                             // For a reparse point the field holds its tag instead of the size of
                             // extended attributes.
                             entry.reparseTag = (record.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? record.EaSize : 0;
                             entry.size = static_cast<ULONGLONG>(record.EndOfFile.QuadPart);
                             entry.fileId = static_cast<ULONGLONG>(record.FileId.QuadPart);
                             entry.shortName.assign(record.ShortName,
                                                    std::min<size_t>(record.ShortNameLength / sizeof(wchar_t), 12));
                             entries.push_back(std::move(entry));
                         });
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
        const bool read = m_folder && ::GetFileInformationByHandleEx(m_folder.Get(), query, buffer.data(), kBatchBytes);
        if (!read || !ParseDirectoryRecords(buffer.data(), kBatchBytes, m_batch)) {
            // The end, or a batch that cannot be read: either way the listing is over.
            m_ended = m_folder && !read && ::GetLastError() == ERROR_NO_MORE_FILES;
            m_batch.clear();
            m_folder.Reset();
            return false;
        }
    }
    entry = std::move(m_batch[m_next++]);
    return true;
}
