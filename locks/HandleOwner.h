#pragma once
// Finding the process that holds a file or folder open.

#include <windows.h>

#include <string>

// One owner of a locked path. Filled only when an owner was found.
struct LockOwnerInfo {
    WCHAR ProcessName[MAX_PATH]; // image name, or "<unknown>"
    DWORD ProcessId;
    DWORD Handle;                // the handle's value inside the owning process
};

// path as the engine holds it: "\\?\" prefix allowed, a folder may end with "\".
// False when no process holds that very path open, or the lookup could not run.
bool FindHandleOwner(const std::wstring& path, LockOwnerInfo& owner);

// Index of an object type name in the type table (1 to 26); false and 0 for other names.
bool TypeIndexFromName(const std::wstring& typeName, ULONG& index);
constexpr ULONG kFileTypeIndex = 26;

// The name of the object behind a handle of any process. File handles are named only when
// the guarded probe lets the general query go ahead (it may block on some files).
bool QueryObjectName(DWORD processId, ULONG handleValue, ULONG typeIndex, std::wstring& name);

// The file-name query on a handle of this process, on a thread of its own that is given
// 100 ms: a query that does not finish yields an empty name and true.
bool ProbeFileName(HANDLE file, std::wstring& name);
