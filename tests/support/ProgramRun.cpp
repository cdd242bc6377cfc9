#include "tests/support/ProgramRun.h"

#include "tests/support/Gui.h"
#include "tests/support/TempDir.h"

ProgramRun::ProgramRun(const std::wstring& arguments, const std::wstring& programFolder,
                       const std::wstring& currentDirectory, const std::wstring& output)
{
    const std::wstring folder = programFolder.empty() ? ExecutableDirectory() : programFolder + L"\\";
    std::wstring commandLine = L"\"" + folder + L"Morvane.exe\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
    const UniqueFile outputFile(output.empty() ? INVALID_HANDLE_VALUE
                                               : ::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                                               CREATE_ALWAYS, 0, nullptr));
    if (outputFile) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = outputFile.Get();
    }
    PROCESS_INFORMATION info = {};
    if (::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, outputFile.IsValid(), 0, nullptr,
                         currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &info)) {
        ::CloseHandle(info.hThread);
        m_process.Reset(info.hProcess);
        m_pid = info.dwProcessId;
    }
}

ProgramRun::ProgramRun(DWORD processId)
    : m_process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)),
      m_pid(processId)
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

DWORD ProgramRun::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_process.Get(), &code);
    return code;
}
