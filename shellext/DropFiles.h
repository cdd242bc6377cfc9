#pragma once
// Reads the drop-file list of CF_HDROP data: a DROPFILES header, then the paths at its pFiles
// offset, each ended by a NUL, and an empty path after the last. The data comes from another
// program's data object, so nothing in it is trusted: every offset and every path is checked
// against the block's size before it is read.

#include <cstddef>
#include <vector>

struct DropPath {
    size_t offset; // in bytes from the start of the data
    size_t length; // in characters, without the NUL
};

struct DropFileList {
    bool wide = false;           // paths of wchar_t, else of char in the ANSI code page
    std::vector<DropPath> paths; // in the order of the list
};

// False where the header does not fit, pFiles points outside the block or into the header, or a
// path has no NUL before the block ends. A block that ends right after a path's NUL ends the list.
// Throws only what allocating the list throws.
bool ParseDropFiles(const void* data, size_t size, DropFileList& list);
