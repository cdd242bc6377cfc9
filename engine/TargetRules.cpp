#include "engine/TargetRules.h"

#include "engine/DirectoryListing.h"
#include "engine/FileIdentity.h"
#include "win32/ScopedHandle.h"

#include <shlobj.h>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr size_t kNoFolder = SIZE_MAX;
constexpr size_t kNotLookedUp = SIZE_MAX - 1;
// No path of 32,767 characters has more names; a walk up that goes on longer goes round in a
// circle of mapped drives.
constexpr size_t kMostNames = 16384;
// Targets in one folder beyond which its listing is read once instead of each entry on its own.
constexpr size_t kListedAbove = 16;

// What Windows starts and pages from, at the root of its drive.
const wchar_t* const kBootNames[] = {L"pagefile.sys", L"hiberfil.sys", L"swapfile.sys", L"bootmgr",
                                     L"BOOTNXT",      L"Boot",         L"System Volume Information"};

bool IsBootName(const std::wstring& name)
{
    for (const wchar_t* boot : kBootNames) {
        if (SameName(name, boot))
            return true;
    }
    return false;
}

template <class Value>
using IdentityMap = std::unordered_map<FileIdentity, Value, FileIdentityHash, SameFile>;

// A name in a folder: what a file or a link is, whatever path led to it. A file with several
// names (hard links) is several such items.
struct EntryKey {
    FileIdentity folder;
    std::wstring name;
    bool operator==(const EntryKey& other) const { return folder.IsSameFile(other.folder) && name == other.name; }
};
struct EntryKeyHash {
    size_t operator()(const EntryKey& key) const
    {
        return FileIdentityHash()(key.folder) ^ std::hash<std::wstring>()(key.name);
    }
};

// The item's path without a final separator; a root keeps its own.
std::wstring ItemPath(const std::wstring& path)
{
    return !IsVolumeRoot(path) && !path.empty() && path.back() == L'\\' ? path.substr(0, path.size() - 1) : path;
}

std::wstring LastName(const std::wstring& path)
{
    return path.substr(path.find_last_of(L'\\') + 1);
}

// The folder that holds the item, a root with its separator; empty for a root.
std::wstring HolderOf(const std::wstring& path)
{
    const std::wstring item = ItemPath(path);
    const size_t cut = item.find_last_of(L'\\');
    if (IsVolumeRoot(item) || cut == std::wstring::npos)
        return std::wstring();
    const std::wstring holder = item.substr(0, cut);
    return IsVolumeRoot(holder) ? holder + L"\\" : holder;
}

// The path as the system names the open item, in the long form; empty where it cannot.
std::wstring FinalPathOf(HANDLE item)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(item, &path[0], static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length); // the length asked for counts the terminating null
    }
}

struct Folder {
    std::wstring path; // the spelling it was opened by
    bool identified = false;
    FileIdentity id;
    std::wstring finalPath; // empty where the system cannot name it
    size_t namedHolder = kNotLookedUp;
    size_t finalHolder = kNotLookedUp;
    bool nameRead = false;
    std::wstring name; // as its holder lists it
};

// Every folder met, opened once, whether by a target's spelling, by a final path or as a holder
// of other folders.
class Folders {
public:
    size_t At(const std::wstring& path)
    {
        const auto found = m_byPath.find(path);
        if (found != m_byPath.end())
            return found->second;
        Folder folder;
        folder.path = path;
        // Through a link on the way: the folder a spelling leads to is the one whose place counts.
        const UniqueFile opened(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (opened) {
            folder.identified = QueryFileIdentity(opened.Get(), folder.id);
            folder.finalPath = FinalPathOf(opened.Get());
        }
        m_folders.push_back(std::move(folder));
        m_byPath.emplace(path, m_folders.size() - 1);
        return m_folders.size() - 1;
    }

    // Whether both are opened and one folder, whatever their spellings.
    bool Same(size_t a, size_t b) const
    {
        return a != kNoFolder && b != kNoFolder && m_folders[a].identified && m_folders[b].identified
               && m_folders[a].id.IsSameFile(m_folders[b].id);
    }
    const Folder& operator[](size_t folder) const { return m_folders[folder]; }

    // The folder above, by the spelling or by the final path.
    size_t Holder(size_t folder, bool byFinalPath)
    {
        const size_t known = byFinalPath ? m_folders[folder].finalHolder : m_folders[folder].namedHolder;
        if (known != kNotLookedUp)
            return known;
        const std::wstring& from = byFinalPath ? m_folders[folder].finalPath : m_folders[folder].path;
        const std::wstring above = from.empty() ? std::wstring() : HolderOf(from);
        const size_t found = above.empty() ? kNoFolder : At(above); // may move the folders
        (byFinalPath ? m_folders[folder].finalHolder : m_folders[folder].namedHolder) = found;
        return found;
    }

    const std::wstring& Name(size_t folder)
    {
        Folder& entry = m_folders[folder];
        if (!entry.nameRead) {
            entry.nameRead = true;
            if (!IsVolumeRoot(entry.path))
                ListedNameOf(entry.path, entry.name);
        }
        return entry.name;
    }

    // Calls visit(folder, holder) for the folder and each one above it, once along the spelling
    // and once along the final paths (which leave out the links on the way), or only the latter.
    void WalkUp(size_t start, bool finalPathsOnly, const std::function<void(size_t, size_t)>& visit)
    {
        for (const bool byFinalPath : {false, true}) {
            if (finalPathsOnly && !byFinalPath)
                continue;
            size_t folder = start;
            for (size_t steps = 0; folder != kNoFolder && steps < kMostNames; ++steps) {
                const size_t holder = Holder(folder, byFinalPath);
                visit(folder, holder);
                folder = holder;
            }
        }
    }

private:
    std::vector<Folder> m_folders;
    std::unordered_map<std::wstring, size_t> m_byPath;
};

std::wstring LongForm(const std::wstring& path)
{
    std::wstring longPath;
    const bool absolute = LongTargetPath(path, [](const std::wstring&) { return std::wstring(); }, longPath);
    return absolute ? longPath : std::wstring();
}

// The names a folder lists, for looking many of its entries up at once.
std::unordered_set<std::wstring> ListingOf(const std::wstring& folder)
{
    std::unordered_set<std::wstring> names;
    DirectoryListing listing;
    DirectoryEntry entry;
    for (bool more = listing.Open(folder); more && listing.Next(entry);)
        names.insert(std::move(entry.name));
    return names;
}

// The name the item's folder lists it under: its long name, in the case it was made with.
bool ListedName(const std::wstring& item, const std::unordered_set<std::wstring>* listing, std::wstring& name)
{
    name = LastName(item);
    if (listing && listing->count(name))
        return true;
    return ListedNameOf(item, name);
}

struct TargetFacts {
    size_t own = kNoFolder;    // a folder target, opened by its spelling
    size_t holder = kNoFolder; // the folder that holds the target; none for a root
    std::wstring name;         // a file's or link's name, as its holder lists it
    bool named = false;
};

class Placer {
public:
    explicit Placer(const SystemPlaces& system)
    {
        const std::wstring windows = LongForm(system.windows);
        m_windows = windows.empty() ? kNoFolder : m_folders.At(windows);
        if (m_windows == kNoFolder || !m_folders[m_windows].identified)
            return;
        m_folders.WalkUp(m_windows, false, [this](size_t folder, size_t) { Note(folder, m_holdsWindows, true); });
        const std::wstring bootDrive = LongForm(system.bootDrive);
        m_bootDrive = bootDrive.empty() ? kNoFolder : m_folders.At(bootDrive);

        // A folder's own kind before that of a folder it holds.
        std::vector<size_t> shared;
        for (const auto& [path, kind] : system.shared) {
            const std::wstring longPath = LongForm(path);
            shared.push_back(longPath.empty() ? kNoFolder : m_folders.At(longPath));
            if (shared.back() != kNoFolder)
                Note(shared.back(), m_shared, kind);
        }
        for (size_t i = 0; i < shared.size(); ++i) {
            const SharedFolder kind = system.shared[i].second;
            if (shared[i] != kNoFolder)
                m_folders.WalkUp(shared[i], false, [&](size_t folder, size_t) { Note(folder, m_shared, kind); });
        }
    }

    std::vector<TargetPlace> Place(const std::vector<ExactTarget>& targets)
    {
        std::vector<TargetFacts> facts(targets.size());
        std::unordered_map<size_t, size_t> entriesIn;
        for (size_t i = 0; i < targets.size(); ++i) {
            const std::wstring item = ItemPath(targets[i].path);
            if (targets[i].kind == TargetKind::Folder)
                facts[i].own = m_folders.At(item);
            const std::wstring holder = HolderOf(item);
            if (!holder.empty())
                facts[i].holder = m_folders.At(holder);
            if (targets[i].kind != TargetKind::Folder && facts[i].holder != kNoFolder)
                ++entriesIn[facts[i].holder];
        }
        std::unordered_map<size_t, std::unordered_set<std::wstring>> listings;
        for (const auto& [holder, count] : entriesIn) {
            if (count > kListedAbove)
                listings.emplace(holder, ListingOf(m_folders[holder].path));
        }
        for (size_t i = 0; i < targets.size(); ++i) {
            if (targets[i].kind == TargetKind::Folder || facts[i].holder == kNoFolder)
                continue;
            const auto listing = listings.find(facts[i].holder);
            facts[i].named = ListedName(ItemPath(targets[i].path), listing == listings.end() ? nullptr : &listing->second,
                                        facts[i].name);
        }

        std::vector<TargetPlace> places(targets.size());
        for (size_t i = 0; i < targets.size(); ++i) {
            places[i].refusal = RefusalOf(facts[i]);
            const auto shared = facts[i].own == kNoFolder ? m_shared.end() : m_shared.find(m_folders[facts[i].own].id);
            if (places[i].refusal == TargetRefusal::None && shared != m_shared.end())
                places[i].shared = shared->second;
        }
        MarkErasedWithAnother(facts, places);
        return places;
    }

private:
    template <class Value>
    void Note(size_t folder, IdentityMap<Value>& map, Value value)
    {
        if (m_folders[folder].identified)
            map.emplace(m_folders[folder].id, value);
    }

    TargetRefusal RefusalOf(const TargetFacts& facts)
    {
        const bool folder = facts.own != kNoFolder;
        if (m_windows == kNoFolder || !m_folders[m_windows].identified || (folder && !m_folders[facts.own].identified)
            || (!folder && (!facts.named || !m_folders[facts.holder].identified)))
            return TargetRefusal::NotExamined;
        if (folder && m_holdsWindows.count(m_folders[facts.own].id))
            return TargetRefusal::HoldsWindows;
        // A file or link at the drive's root is known by its holder and its listed name.
        bool inside = false;
        bool starts = !folder && m_folders.Same(facts.holder, m_bootDrive) && IsBootName(facts.name);
        m_folders.WalkUp(folder ? facts.own : facts.holder, false, [&](size_t at, size_t holder) {
            inside = inside || m_folders.Same(at, m_windows);
            starts = starts || (m_folders.Same(holder, m_bootDrive) && IsBootName(m_folders.Name(at)));
        });
        return inside ? TargetRefusal::InsideWindows : starts ? TargetRefusal::StartsWindows : TargetRefusal::None;
    }

    // Of one item named twice, the first stays; an item in a named folder goes with the folder.
    void MarkErasedWithAnother(const std::vector<TargetFacts>& facts, std::vector<TargetPlace>& places)
    {
        IdentityMap<size_t> folders;
        for (size_t i = 0; i < facts.size(); ++i) {
            if (places[i].refusal == TargetRefusal::None && facts[i].own != kNoFolder)
                folders.emplace(m_folders[facts[i].own].id, i);
        }
        std::unordered_set<EntryKey, EntryKeyHash> entries;
        for (size_t i = 0; i < facts.size(); ++i) {
            if (places[i].refusal != TargetRefusal::None)
                continue;
            const bool folder = facts[i].own != kNoFolder;
            bool again = folder ? folders[m_folders[facts[i].own].id] != i
                                : !entries.insert({m_folders[facts[i].holder].id, facts[i].name}).second;
            // Along the final paths only: a folder that holds a link to the item does not hold the item.
            size_t above = folder ? m_folders.Holder(facts[i].own, true) : kNoFolder;
            if (above == kNoFolder)
                above = facts[i].holder;
            if (!again && above != kNoFolder) {
                m_folders.WalkUp(above, true, [&](size_t at, size_t) {
                    again = again || (m_folders[at].identified && folders.count(m_folders[at].id));
                });
            }
            places[i].erasedWithAnother = again;
        }
    }

    Folders m_folders;
    size_t m_windows = kNoFolder;
    size_t m_bootDrive = kNoFolder;
    IdentityMap<bool> m_holdsWindows;
    IdentityMap<SharedFolder> m_shared;
};

std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    wchar_t* path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)))
        folder = path;
    ::CoTaskMemFree(path);
    return folder;
}

// The 64-bit programs' folder, which a 32-bit program is not told of as a known folder.
std::wstring NativeProgramFiles()
{
    UniqueRegKey key;
    wchar_t folder[MAX_PATH] = {};
    DWORD bytes = sizeof(folder) - sizeof(wchar_t);
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                        KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS
        || ::RegGetValueW(key.Get(), nullptr, L"ProgramW6432Dir", RRF_RT_REG_SZ, nullptr, folder, &bytes) != ERROR_SUCCESS)
        return std::wstring();
    return folder;
}

} // namespace

SystemPlaces RunningSystemPlaces()
{
    SystemPlaces places;
    wchar_t windows[MAX_PATH];
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length > 3 && length < MAX_PATH) {
        places.windows.assign(windows, length);
        places.bootDrive = places.windows.substr(0, 3);
    }
    const std::pair<std::wstring, SharedFolder> shared[] = {
        {KnownFolder(FOLDERID_ProgramFiles), SharedFolder::ProgramFiles},
        {KnownFolder(FOLDERID_ProgramFilesX86), SharedFolder::ProgramFiles},
        {NativeProgramFiles(), SharedFolder::ProgramFiles},
        {KnownFolder(FOLDERID_ProgramData), SharedFolder::ProgramData},
        {KnownFolder(FOLDERID_UserProfiles), SharedFolder::Users},
        {KnownFolder(FOLDERID_Profile), SharedFolder::OwnProfile},
    };
    for (const auto& folder : shared) {
        if (!folder.first.empty())
            places.shared.push_back(folder);
    }
    return places;
}

std::vector<TargetPlace> PlaceTargets(const std::vector<ExactTarget>& targets, const SystemPlaces& system)
{
    return Placer(system).Place(targets);
}
