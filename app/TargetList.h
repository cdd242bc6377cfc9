#pragma once
// The list of targets the Explorer extension hands over when more are selected than a command
// line could hold: a file in the user's temporary folder, UTF-16 with an optional byte-order
// mark, one path per line.

#include <cstddef>
#include <string>
#include <vector>

// The paths of a list's bytes, empty lines left out. False where the bytes are no such text.
bool ParseTargetList(const void* data, size_t size, std::vector<std::wstring>& paths);

// Reads the list and deletes it when it is one the extension wrote (in the temporary folder,
// under the extension's name pattern): a list file named by hand stays where it is.
bool TakeTargetList(const std::wstring& file, std::vector<std::wstring>& paths);
