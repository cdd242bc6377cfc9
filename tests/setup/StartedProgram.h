#pragma once
// Finding a program that another program started, where no handle to it comes back (the shell
// starts what the extension asks for), and reading how it was started.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <string>
#include <vector>

// Ids of the running processes whose executable file has this name.
std::vector<DWORD> ProcessesNamed(const std::wstring& exeName);

class StartedProgram {
public:
    // Waits until a process of this name that is not among `known` runs, and opens it.
    bool Find(const std::wstring& exeName, const std::vector<DWORD>& known, DWORD timeoutMs);

    HANDLE Process() const { return m_process.Get(); }
    DWORD Id() const { return m_id; }
    // The full path of its executable file; empty where it cannot be read.
    std::wstring Image() const;
    // Its command line as the process itself sees it; empty where it cannot be read. Only for a
    // process of this process's architecture, whose records have the same layout.
    std::wstring CommandLine() const;

private:
    UniqueHandle m_process;
    DWORD m_id = 0;
};
