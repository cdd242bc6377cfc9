#pragma once
// The rules of Windows paths that every layer applies alike: the long form's prefix, drive
// letters and volume roots, and names compared as the file system compares them. Text only:
// nothing here asks the system what a path leads to.

#include <string>

// "\\?\": the form in which the Win32 layer changes no name and sets no length limit;
// "\\?\UNC\" is that form of a share's path.
extern const wchar_t kLongPrefix[];
extern const wchar_t kLongUncPrefix[];

// "C:\d" -> "\\?\C:\d", "\\server\share\d" -> "\\?\UNC\server\share\d", and "C:" -> "\\?\C:", which
// in the long form names the volume itself, not the drive's current folder. A path in the long
// form already, or a relative one, comes back as it is.
std::wstring WithLongPrefix(const std::wstring& path);
// The path as a user writes it: without the prefix ("\\?\UNC\" becomes "\\").
std::wstring PlainPath(const std::wstring& path);

bool IsDriveLetter(wchar_t c);
// Whether the text begins with a drive: "C:", in either case.
bool StartsWithDrive(const std::wstring& path);
// "E:", "e:\" -> "E:\"; empty for anything that is not a drive letter's root.
std::wstring DriveRootOf(const std::wstring& drive);

// A name a file system item can have: no control character, no stream separator, no wildcard
// (a ':' would name a stream of the file, a wildcard would list other items than the one named).
bool IsPlainName(const std::wstring& name);
// A share root "server\share\" from the text behind "\\" (or behind "\\?\UNC\"); what follows
// it goes to tail. False where the text names no share, or a device ("\\.\", "\\?\").
bool SplitShare(const std::wstring& text, std::wstring& share, std::wstring& tail);
// "\\?\C:\" or "\\?\UNC\server\share\" (with or without the final separator, with or without the
// prefix): a volume's root, which is never removed and never looked up.
bool IsVolumeRoot(const std::wstring& folder);

// Names compared as the file system compares them: without regard to case. Negative, 0 or
// positive as `a` sorts before, with or after `b`.
int CompareNames(const std::wstring& a, const std::wstring& b);
bool SameName(const std::wstring& a, const std::wstring& b);
bool StartsWithName(const std::wstring& text, const std::wstring& prefix);
