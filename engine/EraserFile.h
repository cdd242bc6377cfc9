#pragma once
// The erasing engine's view of one file being overwritten.

#include <windows.h>

// How hard Open may push against a process that holds the file.
enum UnlockMode : int {
    kUnlockNone = 0,
    kUnlockCloseHandle = 1, // close the blocking handle inside its process
    kUnlockKillOwner = 2,   // end the process that holds the file
};

enum OpenResult : int {
    kOpenOk = 0,
    kOpenFailed = 1,
    kOpenLocked = 2,            // sharing violation, no escalation asked for
    kOpenCloseHandleFailed = 3,
    kOpenKillFailed = 4,
};

class CEraserFile {
public:
    virtual ~CEraserFile() = default;
    virtual OpenResult Open(const wchar_t* path, int unlockMode) = 0;
    virtual bool GetSize(ULONGLONG& size) = 0;
    // origin: FILE_BEGIN or FILE_END; newPosition may be null.
    virtual bool Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin) = 0;
    virtual bool Write(const void* buffer, DWORD count, DWORD* written) = 0;
    virtual void Close() = 0;
};
