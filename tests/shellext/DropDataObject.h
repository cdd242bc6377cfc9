#pragma once
// The selection as Explorer hands it to a context-menu handler: a data object that offers a
// CF_HDROP drop-file list in global memory.

#include "com/ComPtr.h"

#include <windows.h>

#include <objidl.h>

#include <string>
#include <vector>

// A DROPFILES header followed by the paths, each with its NUL, and the closing empty path.
// Narrow lists take the paths' characters as they are (tests use ASCII there).
std::vector<unsigned char> DropFilesBlock(const std::vector<std::wstring>& paths, bool wide = true);

// With no block, the object offers no data at all.
CComPtr<IDataObject> MakeDropDataObject(std::vector<unsigned char> block);
CComPtr<IDataObject> MakeDropDataObject(const std::vector<std::wstring>& paths);
