#pragma once
// The two ways of freeing a locked item, given an owner found by FindHandleOwner just before.

#include <windows.h>

// Closes the handle inside its process and leaves the process running. True only when the
// handle was taken out of the owner and the copy was closed here.
bool CloseRemoteHandle(DWORD processId, DWORD handleValue);

// Ends the process. True when it was running and has ended within the wait.
bool KillProcess(DWORD processId);

struct LockOwnerInfo;
// The two actions on the owner a lookup found, and on nothing else.
bool CloseOwnerHandle(const LockOwnerInfo& owner);
bool KillOwner(const LockOwnerInfo& owner);
