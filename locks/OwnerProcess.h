#pragma once
// What an owner's process is, read through the handle that pins it: the very process whose
// handle matched, whatever has ended or started since under the same id.

#include <windows.h>

#include <string>

// What the system answered about one process. Filled by ReadProcessFacts; built by hand in
// tests.
struct ProcessFacts {
    // Whether Windows stops when the process ends (ProcessBreakOnTermination).
    enum class Critical { No, Yes, Unreadable };
    Critical critical = Critical::Unreadable;
    bool sessionRead = false;
    ULONG session = 0;
    std::wstring imagePath; // empty when it could not be read
};

// Through INtDll's process query, so that tests can answer for processes they cannot make.
// process: open with PROCESS_QUERY_INFORMATION.
ProcessFacts ReadProcessFacts(HANDLE process);

// Whether ending the process, or closing a handle inside it, would stop Windows itself: the
// idle and system processes (ids 0 and 4), a process Windows marks critical, and Windows' own
// processes of session 0 (smss, csrss, wininit, services, lsass; a user's program of the same
// name in the user's session is not one of them). What could not be read counts against the
// process; a query the system does not know (it keeps no such mark) does not.
bool IsWindowsItself(DWORD processId, const ProcessFacts& facts);

// The image's file name ("csrss.exe") from its path.
std::wstring ImageFileName(const std::wstring& imagePath);
