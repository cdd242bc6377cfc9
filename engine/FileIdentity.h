#pragma once
// Which file a name belongs to. A file with hard links has several names, possibly in different
// folders: erasing its content through one name erases it for all of them.

#include "win32/PathRules.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

struct FileIdentity {
    DWORD volume = 0;     // volume serial number
    ULONGLONG index = 0;  // file index on that volume
    DWORD names = 1;      // how many names the file has (its hard links)

    bool operator<(const FileIdentity& other) const
    {
        return volume != other.volume ? volume < other.volume : index < other.index;
    }
    bool IsSameFile(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};

// For unordered containers of files: one file, however many names it has.
struct FileIdentityHash {
    size_t operator()(const FileIdentity& id) const
    {
        return std::hash<ULONGLONG>()(id.index ^ (ULONGLONG{id.volume} << 32));
    }
};
struct SameFile {
    bool operator()(const FileIdentity& a, const FileIdentity& b) const { return a.IsSameFile(b); }
};

// One name of a file: the folder that holds it and the name in that folder. Two spellings of a
// path (a short name, another case, another drive letter for the same folder, a share) lead to
// one such name, where the paths themselves would count as two.
struct FileName {
    DWORD volume = 0;
    ULONGLONG folder = 0; // the file index of the folder
    std::wstring name;    // as the folder lists it

    bool operator<(const FileName& other) const;
};

// The system's error for a name that leads to another item than the one found there before
// (ERROR_NOT_SAME_OBJECT, which MinGW's headers lack).
constexpr DWORD kErrorNotSameObject = 1656;

// Of an open handle (any access).
bool QueryFileIdentity(HANDLE file, FileIdentity& identity);
// Of a path, without following a link at its end and without changing anything of the file.
bool QueryFileIdentity(const wchar_t* path, FileIdentity& identity);
