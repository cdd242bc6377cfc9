#pragma once
// The entries of one folder, read through a handle on that very folder. A walk that listed a
// folder by its name could be led elsewhere by a link put in its place after it was looked at;
// the handle is taken on the folder itself, never on what a link points to, and is kept while
// its entries are read.

#include "engine/FileIdentity.h"
#include "win32/ScopedHandle.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// A junction or a symbolic link: what it points to lies outside the target and is never walked
// into or written through. An unknown tag counts as a link, to be safe; other reparse points
// (deduplicated or cloud files, for example) are ordinary files and folders.
bool IsLink(DWORD attributes, DWORD reparseTag);

struct DirectoryEntry {
    std::wstring name;
    DWORD attributes = 0;
    DWORD reparseTag = 0; // with FILE_ATTRIBUTE_REPARSE_POINT
    ULONGLONG size = 0;
    ULONGLONG fileId = 0; // 0 where the file system has none
    std::wstring shortName; // the 8.3 name, where the file system gave the item one
};

// The name the item's folder lists it under (its long name, in the case it was made with), for an
// item named by its long or its short name in any case. The system's name pattern would also
// match other entries (a final dot matches a name without an extension): only the entry whose
// name or short name is the one given counts. False where the folder lists no such entry.
bool ListedNameOf(const std::wstring& path, std::wstring& name);

// The records of a FILE_ID_BOTH_DIR_INFO chain, "." and ".." left out. False where a record or
// its name runs outside the buffer.
bool ParseDirectoryRecords(const void* buffer, size_t size, std::vector<DirectoryEntry>& entries);

class DirectoryListing {
public:
    // False where the path is not a folder, or is a link (the folder is then not to be walked).
    bool Open(const std::wstring& folder);
    // The folder that is being listed: its volume's serial number and its file index.
    const FileIdentity& Identity() const { return m_folderIdentity; }
    // The next entry in the file system's order; false after the last, or where a batch of
    // entries could not be read.
    bool Next(DirectoryEntry& entry);
    // Whether Next's false meant that every entry was read, not that the rest could not be.
    bool Ended() const { return m_ended; }

private:
    UniqueFile m_folder;
    FileIdentity m_folderIdentity;
    bool m_started = false;
    std::vector<DirectoryEntry> m_batch;
    size_t m_next = 0;
    bool m_ended = false;
};
