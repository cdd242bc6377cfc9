#pragma once
// Texts every window of the program shows alike.

#include <windows.h>

#include <string>

// A path as the windows show it: without the long-path prefix and final separator, and when
// maxLength is not 0 and the path is longer, cut in the middle: its root, "...", its end.
std::wstring ShortenPathForDisplay(int maxLength, const std::wstring& path);

// "37.5 MB", as Explorer says it.
std::wstring ByteSizeText(ULONGLONG bytes);
