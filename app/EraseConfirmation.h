#pragma once
// Between what the user named and a job: every item resolved to its exact form, what the target
// rules refuse refused, and the user asked, once for all items and a second time for whole
// drives and the folders Windows and its programs share.

#include <windows.h>

#include <string>
#include <vector>

// The exact targets, each once (an item inside another named item is erased with it), when the
// user agreed; false, with the reason shown, when an item cannot be erased, and when the user
// declined.
bool ConfirmErase(HWND owner, const std::vector<std::wstring>& named, std::vector<std::wstring>& targets);

// The drive's root ("E:\") when the user agreed to wipe its free space; false, with the reason
// shown, when it is no drive that can be read, and when the user declined.
bool ConfirmWipe(HWND owner, const std::wstring& drive, std::wstring& root);
