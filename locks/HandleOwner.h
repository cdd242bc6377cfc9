#pragma once
// Finding the process that holds a file or folder open.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <string>

// One owner of a locked path, as one lookup found it: the unlock actions act on exactly this.
// Filled only when an owner was found. Move-only, as it keeps the owner's process open.
struct LockOwnerInfo {
    WCHAR ProcessName[MAX_PATH]; // image name read through Process, or "<unknown>"
    DWORD ProcessId;
    DWORD Handle;                // the handle's value inside the owning process
    // Open from the lookup until the action: while it is, the id cannot pass to another process.
    UniqueHandle Process;
    // The item's name when the handle matched (comparable device form), asked again before an
    // action.
    std::wstring ObjectName;
    // The owner is a process Windows needs (IsWindowsItself): neither action is ever taken on it.
    bool HeldByWindows;
};

// path as the engine holds it: "\\?\" prefix allowed, a folder may end with "\"; any spelling
// of the item (letter case, short names, a share's "\\?\UNC\" form) finds the holders of the
// item it names. The first matching handle in the order of the system's handle table is
// reported; a handle of this process never is (the program must never be offered to close its
// own handle or to end itself), nor one whose access keeps no open of the item from succeeding.
// False when no other process holds the item open, or the lookup could not run.
bool FindHandleOwner(const std::wstring& path, LockOwnerInfo& owner);

// Index of an object type name in the type table (1 to 26); false and 0 for other names.
bool TypeIndexFromName(const std::wstring& typeName, ULONG& index);
constexpr ULONG kFileTypeIndex = 26;

// The name of the object behind a handle of the given process (see DuplicateForQuery); for
// file handles asked through the guarded probe, as the query may block on some files. False
// when the handle cannot be reached, or its object tells no name.
bool QueryObjectName(HANDLE process, ULONG handleValue, ULONG typeIndex, std::wstring& name);
