#pragma once
// One run of the program under test (Morvane.exe next to the running executable), whose
// windows are found by its process id.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <string>
#include <vector>

// Starts a command line as it stands: the process, empty where it did not start.
UniqueHandle StartProcess(std::wstring commandLine, DWORD creationFlags = 0);

class ProgramRun {
public:
    // Starts "<folder>\Morvane.exe" with these arguments (the program folder by default), in the
    // given current directory (the test's own by default); with `output`, its standard output and
    // error go to that file.
    explicit ProgramRun(const std::wstring& arguments, const std::wstring& programFolder = L"",
                        const std::wstring& currentDirectory = L"", const std::wstring& output = L"");
    // The run of a program that something else started (the shell, for one).
    explicit ProgramRun(DWORD processId);
    // Ends the program if it has not ended by itself within a few seconds.
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() const { return m_process.IsValid(); }
    DWORD Pid() const { return m_pid; }
    // A visible top-level window of the program with this caption, other than `except`.
    HWND Window(const std::wstring& caption, HWND except = nullptr) const;
    bool HasEnded(DWORD timeoutMs = 20000) const;
    // STILL_ACTIVE until the program has ended.
    DWORD ExitCode() const;

private:
    UniqueHandle m_process;
    DWORD m_pid = 0;
};

// As a user goes on from the program's confirmation: Yes, then the chooser's method at
// `methodIndex` and OK. The index the chooser offered goes to `offered`.
void ConfirmAndChoose(const ProgramRun& program, int methodIndex, int* offered = nullptr);
// Waits for the end of the job in the progress window with this caption and presses "Finish".
// The job's log goes to `log`; with `problems`, every error the job asks about is answered OK
// and its text kept.
void FinishProgress(const ProgramRun& program, const wchar_t* progressCaption, std::wstring* log = nullptr,
                    std::vector<std::wstring>* problems = nullptr);
