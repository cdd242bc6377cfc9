#pragma once
// The two ways of freeing a locked item, acting on exactly the owner one lookup found
// (FindHandleOwner), however long ago the user was asked.

#include "locks/HandleOwner.h"

// Closes the owner's handle inside its process and leaves the process running; only when that
// handle, in that very process, still names the item the lookup matched. True only when the
// handle was taken out of the owner and the copy was closed here.
bool CloseOwnerHandle(const LockOwnerInfo& owner);

// Ends exactly the process found. False when it had already ended, is this process, or did
// not end within the wait.
bool KillOwner(const LockOwnerInfo& owner);
