#pragma once
// The one exact form of an erase target, whatever way it was named: absolute, in the "\\?\" long
// form ("\\?\UNC\" for network paths), with "\" separators, "." and ".." resolved, and every name
// kept exactly as given. The Win32 rules would drop a trailing dot or space from a name, or make
// a device of "NUL.txt": the file erased would then not be the one the user was asked about.

#include "win32/PathRules.h"

#include <windows.h>

#include <functional>
#include <string>

// The folder a relative path starts from, as the system keeps it: asked with "." (the current
// directory), "\" (its root) or a drive such as "C:" (that drive's current directory).
using BaseDirectoryOf = std::function<std::wstring(const std::wstring& prefix)>;

// The long form of `named`, or false where it does not name an item of a file system the way a
// target must: device and namespace paths ("\\.\", "\\?\GLOBALROOT\", "\??\"), a reserved device
// name (CON, NUL.txt, COM1, ...) as its last name, a stream or wildcard character in a name, an
// empty text. A drive root comes back with its separator ("\\?\C:\").
bool LongTargetPath(const std::wstring& named, const BaseDirectoryOf& baseDirectory, std::wstring& longPath);

enum class TargetCheck {
    Exact,          // the target holds what was named
    Missing,        // the path cannot be examined: it does not exist, or is out of reach
    NotAnItem,      // not a file or folder of a file system
};

enum class TargetKind {
    File,
    Folder, // its path ends with "\"
    // A junction, symbolic link or mount point, to a file or a folder: the target is the link
    // alone. Its path never ends with "\", through which the system would reach what it points to.
    Link,
};

struct ExactTarget {
    std::wstring path;
    TargetKind kind = TargetKind::File;
};

// LongTargetPath against the process's current directories, then what the file system says of
// the item's own entry, read by its name without a final separator.
TargetCheck ResolveTarget(const std::wstring& named, ExactTarget& target);
