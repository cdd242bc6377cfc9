#pragma once
// What a target is, read from its own entry, and the walk below a folder: both the same for the
// job's worker and for the count beside it.

#include "engine/DirectoryListing.h"
#include "engine/FileIdentity.h"

#include <string>
#include <vector>

// A target as its own entry shows it, never through a path with a final separator: that would
// resolve a link before anything could tell that it is one.
struct TargetItem {
    std::wstring path;     // without a final separator; a drive's root with it
    bool isRoot = false;   // a volume's root, which has no entry of its own
    bool isLink = false;
    bool isFolder = false;
    DirectoryEntry entry;  // attributes, size, reparse tag, and the file id but for a link
    FileIdentity identity; // its names counted; unknown for a link
    // What makes it this item however it is spelled: the item itself (its volume and file
    // index, no name), or for a link and a file with several names, its name in its folder.
    bool named = false;
    FileName name;
    // Whether `name` is the name as its folder lists it (for a file with several names), which
    // the names the walk meets can be told apart from.
    bool listedName = false;
};

// False where the target cannot be read; the path is then still filled in.
bool ReadTarget(const std::wstring& target, TargetItem& item);

// The targets, each item once however it was spelled (another case, a short name, another
// drive letter for the same folder): read before anything is erased, while every spelling
// still leads to its item. One that cannot be read stays, to be reported when it is reached.
std::vector<std::wstring> DistinctTargets(const std::vector<std::wstring>& targets);

// The name a folder's entry gives an item in it.
inline FileName NameIn(const FileIdentity& folder, const std::wstring& name)
{
    return FileName{folder.volume, folder.index, name};
}

// Depth first below a folder, through handles on the folders themselves: a link is an entry
// like a file, never walked into, and a folder swapped for another item after its parent
// listed it is not walked into either. Holds the folders on the current path and nothing else.
class TreeWalk {
public:
    enum class Step {
        Entry,     // an entry of Folder()
        FolderEnd, // Folder() has no more entries, and its handle is closed; the walk then
                   // goes on in its parent
        End,
    };

    // Starts below the folder (with its final separator); false where it cannot be listed as
    // the folder itself.
    bool Start(const std::wstring& folder);
    Step Next(DirectoryEntry& entry);
    // Goes into the folder the last entry names; false where it cannot be listed as the folder
    // its parent listed (a link, or another item put in its place).
    bool Enter(const DirectoryEntry& entry);

    // The folder of the last step, with its final separator.
    const std::wstring& Folder() const { return m_levels.back().folder; }
    const FileIdentity& FolderIdentity() const { return m_levels.back().listing.Identity(); }
    // The item an entry of Folder() names, as listed.
    FileIdentity Listed(const DirectoryEntry& entry) const;

private:
    struct Level {
        std::wstring folder;
        DirectoryListing listing;
    };
    std::vector<Level> m_levels;
    bool m_leaving = false; // the last step ended the current folder
};
