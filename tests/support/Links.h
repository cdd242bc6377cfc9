#pragma once
// Junctions and symbolic links for the tests that make sure links are never followed.

#include <string>

// A link at link to the folder target, shown as a reparse point: a junction where the file
// system has them; under Wine, whose file system has none, a Unix symbolic link, which Wine
// shows the same way. False when neither can be made.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
// A file symbolic link that shows as one (a reparse point); false where none can be made.
bool MakeFileSymlink(const std::wstring& link, const std::wstring& target);

// Removes a tree in which links may remain. Wine removes the folder a Unix link points to when
// asked to remove the link, where that folder is empty: there the tree goes through Unix.
void RemoveTreeWithLinks(const std::wstring& path);

// The whole content of a file, or "<missing>".
std::string ReadWholeFile(const std::wstring& path);
