#include "tests/support/ProgramRun.h"

#include "tests/support/Gui.h"
#include "tests/support/TempDir.h"

ProgramRun::ProgramRun(const std::wstring& arguments, const std::wstring& programFolder,
                       const std::wstring& currentDirectory)
{
    const std::wstring folder = programFolder.empty() ? ExecutableDirectory() : programFolder + L"\\";
    std::wstring commandLine = L"\"" + folder + L"Morvane.exe\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                         currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &info)) {
        ::CloseHandle(info.hThread);
        m_process.Reset(info.hProcess);
        m_pid = info.dwProcessId;
    }
}

ProgramRun::ProgramRun(DWORD processId)
    : m_process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId)), m_pid(processId)
{
}

ProgramRun::~ProgramRun()
{
    if (m_process && !HasEnded(5000))
        ::TerminateProcess(m_process.Get(), 1);
}

HWND ProgramRun::Window(const std::wstring& caption, HWND except) const
{
    return WaitForWindow(caption, m_pid, kGuiPatienceMs, except);
}

bool ProgramRun::HasEnded(DWORD timeoutMs) const
{
    return ::WaitForSingleObject(m_process.Get(), timeoutMs) == WAIT_OBJECT_0;
}
