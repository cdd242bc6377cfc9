#pragma once
// The list of targets the Explorer extension hands over to the program when more items are
// selected than a command line could hold: a file of the user's temporary folder named as
// GetTempFileNameW names files, "<prefix><hex digits>.tmp", holding UTF-16 text with a
// byte-order mark, one path per line. The extension writes it, the program reads and deletes it.

#include <cstddef>
#include <string>
#include <vector>

// The prefix the extension asks GetTempFileNameW for.
extern const wchar_t kTargetListPrefix[];

// The list's text: every path whole, each on a line of its own. Paths hold no line breaks.
std::wstring FormatTargetList(const std::vector<std::wstring>& paths);

// The paths of a list's bytes, empty lines left out: UTF-16 as the extension writes it, or UTF-8
// (with or without its byte-order mark) as a list made by hand or by a script is. False where the
// bytes are neither.
bool ParseTargetList(const void* data, size_t size, std::vector<std::wstring>& paths);

// Whether a file name (without its folder) is one the extension gives its lists.
bool IsTargetListName(const std::wstring& name);
