#pragma once
// Which file a name belongs to. A file with hard links has several names, possibly in different
// folders: erasing its content through one name erases it for all of them.

#include <windows.h>

#include <cstdint>

struct FileIdentity {
    DWORD volume = 0;     // volume serial number
    ULONGLONG index = 0;  // file index on that volume
    DWORD names = 1;      // how many names the file has (its hard links)

    bool operator<(const FileIdentity& other) const
    {
        return volume != other.volume ? volume < other.volume : index < other.index;
    }
};

// Of an open handle (any access).
bool QueryFileIdentity(HANDLE file, FileIdentity& identity);
// Of a path, without following a link at its end and without changing anything of the file.
bool QueryFileIdentity(const wchar_t* path, FileIdentity& identity);
