#pragma once
// Between what the user named and a job: every item resolved to its exact form, what must not
// be erased refused, and the user asked, once for all items and a second time for whole drives.

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

// Whether erasing the target would take the running Windows with it: its folder, a folder above
// it, or the drive it lies on.
bool HoldsRunningWindows(const std::wstring& target);

// The items of `targets` left once those inside another one (or named twice) are dropped.
std::vector<std::wstring> WithoutNestedTargets(const std::vector<std::wstring>& targets);
