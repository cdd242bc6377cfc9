#pragma once
// Runs LockHolder.exe, the tests' second process that holds files and folders open.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <string>
#include <vector>

// A path as one argument of a command line, split by the run-time's rules: the backslashes
// before the closing quote doubled, so that "E:\" stays itself.
inline std::wstring Quoted(const std::wstring& path)
{
    const size_t last = path.find_last_not_of(L'\\');
    const size_t trailing = path.size() - (last == std::wstring::npos ? 0 : last + 1);
    return L"\"" + path + std::wstring(trailing, L'\\') + L"\"";
}

class HolderProcess {
public:
    HolderProcess() = default;
    ~HolderProcess() { Stop(); }
    HolderProcess(const HolderProcess&) = delete;
    HolderProcess& operator=(const HolderProcess&) = delete;

    // Starts the holder with these arguments and waits until it holds everything it was told.
    bool Start(const std::wstring& arguments);
    DWORD Pid() const { return m_pid; }
    HANDLE Process() const { return m_process.Get(); }
    // Handle values the holder reported, in the order of its arguments.
    const std::vector<DWORD>& Handles() const { return m_handles; }
    bool IsRunning() const;
    // Whether the holder still has this handle open.
    bool HandleIsOpen(DWORD value);
    // Closes its input, so that it ends, and waits for it.
    void Stop();

private:
    bool ReadLine(std::string& line);

    UniqueHandle m_process;
    UniqueHandle m_input;
    UniqueHandle m_output;
    DWORD m_pid = 0;
    std::vector<DWORD> m_handles;
};
