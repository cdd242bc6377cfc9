#include "tests/support/ProgramRun.h"

#include "resources/resource.h"
#include "tests/support/Gui.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

UniqueHandle StartProcess(std::wstring commandLine, DWORD creationFlags)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, creationFlags, nullptr, nullptr, &startup,
                          &info))
        return UniqueHandle();
    ::CloseHandle(info.hThread);
    return UniqueHandle(info.hProcess);
}

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

void ConfirmAndChoose(const ProgramRun& program, int methodIndex, int* offered)
{
    HWND confirm = program.Window(L"Tarnwick");
    ASSERT_TRUE(confirm);
    PressButton(confirm, IDYES);
    HWND chooser = program.Window(L"Choose delete method");
    ASSERT_TRUE(chooser);
    HWND list = ::GetDlgItem(chooser, IDC_METHOD);
    if (offered)
        *offered = static_cast<int>(::SendMessageW(list, CB_GETCURSEL, 0, 0));
    ::SendMessageW(list, CB_SETCURSEL, methodIndex, 0);
    PressButton(chooser, IDOK);
}

void FinishProgress(const ProgramRun& program, const wchar_t* progressCaption, std::wstring* log,
                    std::vector<std::wstring>* problems)
{
    HWND progress = program.Window(progressCaption);
    ASSERT_TRUE(progress);
    ASSERT_TRUE(WaitUntil([&] {
        HWND problem = problems ? WaitForWindow(L"Tarnwick :: ERROR", program.Pid(), 0) : nullptr;
        if (problem) {
            problems->push_back(MessageBoxText(problem));
            PressButton(problem, IDOK);
            WaitForClose(problem);
        }
        return ItemText(progress, IDC_CANCEL_FINISH) == L"Finish";
    }));
    if (log)
        *log = ItemText(progress, IDC_LOG);
    PressButton(progress, IDC_CANCEL_FINISH);
}
