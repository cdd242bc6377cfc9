#pragma once
// Finding the process that holds a file or folder open.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <string>

// One owner of a locked path, as one lookup found it: the unlock actions act on exactly this.
// Filled only when an owner was found. Move-only, as it keeps the owner's process open.
struct LockOwnerInfo {
    WCHAR ProcessName[MAX_PATH]; // image name, or "<unknown>"
    DWORD ProcessId;
    DWORD Handle;                // the handle's value inside the owning process
    // Open from the lookup until the action: while it is, the id cannot pass to another process.
    UniqueHandle Process;
    // The name the handle had when it matched (device form), asked again before it is closed.
    std::wstring ObjectName;
};

// path as the engine holds it: "\\?\" prefix allowed, a folder may end with "\". The first
// matching handle in the order of the system's handle table is reported; a handle of this
// process never is (the program must never be offered to close its own handle or to end
// itself). False when no other process holds that very path open, or the lookup could not run.
bool FindHandleOwner(const std::wstring& path, LockOwnerInfo& owner);

// Index of an object type name in the type table (1 to 26); false and 0 for other names.
bool TypeIndexFromName(const std::wstring& typeName, ULONG& index);
constexpr ULONG kFileTypeIndex = 26;

// The name of the object behind a handle of the given process (see DuplicateForQuery). File
// handles are named only when the guarded probe lets the general query go ahead (it may block
// on some files).
bool QueryObjectName(HANDLE process, ULONG handleValue, ULONG typeIndex, std::wstring& name);
