#pragma once
// The two ways of freeing a locked item, acting on exactly the owner one lookup found
// (FindHandleOwner), however long ago the user was asked.

#include "locks/HandleOwner.h"

// Both act only while the owner's handle, in that very process, still names the item the
// lookup matched, and never on a process Windows needs (HeldByWindows, or marked so since).

// Closes the owner's handle inside its process and leaves the process running. True only when
// the handle was taken out of the owner and the copy was closed here.
bool CloseOwnerHandle(const LockOwnerInfo& owner);

// Ends exactly the process found. False when it was refused, had already ended, is this
// process, or did not end within the wait.
bool KillOwner(const LockOwnerInfo& owner);
