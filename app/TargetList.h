#pragma once
// The list of targets the Explorer extension hands over (handover/TargetListFile.h), taken up.

#include <string>
#include <vector>

// Reads the list and deletes it when it is one the extension wrote (in the temporary folder,
// under the extension's name pattern): a list file named by hand stays where it is.
bool TakeTargetList(const std::wstring& file, std::vector<std::wstring>& paths);
