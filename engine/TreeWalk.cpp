#include "engine/TreeWalk.h"

#include "engine/TargetPath.h"
#include "win32/ScopedHandle.h"

#include <set>

namespace {

// The folder that holds the named item, as the path leads to it: links on the way are followed,
// as the path itself follows them.
bool HoldingFolder(const std::wstring& item, FileIdentity& folder)
{
    const std::wstring path = item.substr(0, item.find_last_of(L'\\') + 1);
    const UniqueFile handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle && QueryFileIdentity(handle.Get(), folder);
}

} // namespace

bool ReadTarget(const std::wstring& target, TargetItem& item)
{
    const bool separated = !target.empty() && target.back() == L'\\';
    item = TargetItem();
    if (IsVolumeRoot(target)) {
        item.path = separated ? target : target + L"\\";
        item.isRoot = item.isFolder = true;
        item.named = QueryFileIdentity(item.path.c_str(), item.identity);
        item.name = NameIn(item.identity, L"");
        return true;
    }
    item.path = separated ? target.substr(0, target.size() - 1) : target;
    DirectoryEntry& entry = item.entry;
    // By its name alone: a listing's pattern would match other names too (a final dot matches a
    // name without an extension).
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(item.path.c_str(), GetFileExInfoStandard, &data))
        return false;
    entry.name = item.path.substr(item.path.find_last_of(L'\\') + 1);
    entry.attributes = data.dwFileAttributes;
    entry.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    item.isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // The link itself where the system keeps links; where it only imitates them (Wine), the
    // handle is what the link points to, and the attributes above have told already.
    const UniqueFile handle(::CreateFileW(item.path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (handle && (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        && ::GetFileInformationByHandleEx(handle.Get(), FileAttributeTagInfo, &tag, sizeof(tag))
        && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        entry.reparseTag = tag.ReparseTag;
    item.isLink = IsLink(entry.attributes, entry.reparseTag);
    FileIdentity holder;
    if (item.isLink || !handle || !QueryFileIdentity(handle.Get(), item.identity)) {
        item.named = HoldingFolder(item.path, holder);
        item.name = NameIn(holder, entry.name);
        return true;
    }
    entry.fileId = item.identity.index;
    item.named = true;
    item.name = NameIn(item.identity, L"");
    // A file with several names is told by its name: each is an item of its own. The given name
    // may be a short name, or in another case; the name the folder lists is what the walk's
    // names are told apart from.
    if (item.isFolder || item.identity.names <= 1 || !HoldingFolder(item.path, holder))
        return true;
    item.name = NameIn(holder, entry.name);
    DirectoryListing listing;
    DirectoryEntry listed;
    if (!listing.Open(item.path.substr(0, item.path.find_last_of(L'\\') + 1)) || !listing.Identity().IsSameFile(holder))
        return true;
    while (!item.listedName && listing.Next(listed))
        item.listedName = listed.fileId == item.identity.index
                          && (CompareNames(listed.name, entry.name) == 0 || CompareNames(listed.shortName, entry.name) == 0);
    if (item.listedName)
        item.name = NameIn(holder, listed.name);
    return true;
}

std::vector<std::wstring> DistinctTargets(const std::vector<std::wstring>& targets)
{
    std::vector<std::wstring> distinct;
    std::set<FileName> named;
    for (const std::wstring& target : targets) {
        TargetItem item;
        if (!ReadTarget(target, item) || !item.named || named.insert(item.name).second)
            distinct.push_back(target);
    }
    return distinct;
}

bool TreeWalk::Start(const std::wstring& folder)
{
    m_levels.clear();
    m_leaving = false;
    Level top = {folder, DirectoryListing()};
    if (!top.listing.Open(folder))
        return false;
    m_levels.push_back(std::move(top));
    return true;
}

TreeWalk::Step TreeWalk::Next(DirectoryEntry& entry)
{
    if (m_leaving)
        m_levels.pop_back();
    m_leaving = false;
    if (m_levels.empty())
        return Step::End;
    if (m_levels.back().listing.Next(entry))
        return Step::Entry;
    m_leaving = true;
    return Step::FolderEnd;
}

bool TreeWalk::Enter(const DirectoryEntry& entry)
{
    Level sub = {Folder() + entry.name + L"\\", DirectoryListing()};
    if (IsLink(entry.attributes, entry.reparseTag) || !sub.listing.Open(sub.folder)
        || (entry.fileId && !sub.listing.Identity().IsSameFile(Listed(entry))))
        return false;
    m_levels.push_back(std::move(sub));
    return true;
}

FileIdentity TreeWalk::Listed(const DirectoryEntry& entry) const
{
    FileIdentity listed;
    listed.volume = FolderIdentity().volume;
    listed.index = entry.fileId;
    return listed;
}
