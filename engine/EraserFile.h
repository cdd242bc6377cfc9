#pragma once
// The erasing engine's view of one file being overwritten.

#include <windows.h>

// How Open shares the file with the handles other processes have on it.
enum OpenSharing : int {
    kOpenAlone = 0,          // no other handle may read, write or delete meanwhile
    // Once a holder has been freed: the handles that remain, and share reading and writing, no
    // longer keep the file from being overwritten.
    kOpenBesideHolders = 1,
};

enum OpenResult : int {
    kOpenOk = 0,
    kOpenFailed = 1,
    kOpenLocked = 2, // another process holds the file (a sharing or lock violation)
};

class CEraserFile {
public:
    virtual ~CEraserFile() = default;
    virtual OpenResult Open(const wchar_t* path, OpenSharing sharing) = 0;
    virtual bool GetSize(ULONGLONG& size) = 0;
    // origin: FILE_BEGIN or FILE_END; newPosition may be null.
    virtual bool Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin) = 0;
    virtual bool Write(const void* buffer, DWORD count, DWORD* written) = 0;
    virtual void Close() = 0;
};
