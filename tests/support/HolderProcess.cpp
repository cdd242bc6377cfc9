#include "tests/support/HolderProcess.h"

#include "tests/support/TempDir.h"

#include <cstdio>

bool HolderProcess::Start(const std::wstring& arguments)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    UniqueHandle childInput, childOutput;
    if (!::CreatePipe(childInput.Put(), m_input.Put(), &inherit, 0)
        || !::CreatePipe(m_output.Put(), childOutput.Put(), &inherit, 0))
        return false;
    // Only the child's ends are inherited.
    ::SetHandleInformation(m_input.Get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(m_output.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.Get();
    startup.hStdOutput = childOutput.Get();
    startup.hStdError = childOutput.Get();
    PROCESS_INFORMATION info = {};
    std::wstring commandLine = L"\"" + ExecutableDirectory() + L"LockHolder.exe\" " + arguments;
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &info))
        return false;
    ::CloseHandle(info.hThread);
    m_process.Reset(info.hProcess);
    m_pid = info.dwProcessId;

    std::string line;
    while (ReadLine(line)) {
        unsigned long value = 0;
        if (line == "ready")
            return true;
        if (std::sscanf(line.c_str(), "handle %lu", &value) == 1)
            m_handles.push_back(value);
        else
            break;
    }
    return false;
}

bool HolderProcess::ReadLine(std::string& line)
{
    line.clear();
    char c;
    DWORD read = 0;
    while (::ReadFile(m_output.Get(), &c, 1, &read, nullptr) && read == 1) {
        if (c == '\n')
            return true;
        if (c != '\r')
            line.push_back(c);
    }
    return false;
}

bool HolderProcess::IsRunning() const
{
    return m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT;
}

bool HolderProcess::HandleIsOpen(DWORD value)
{
    const std::string question = "valid " + std::to_string(value) + "\n";
    DWORD written = 0;
    std::string answer;
    return ::WriteFile(m_input.Get(), question.data(), static_cast<DWORD>(question.size()), &written, nullptr)
           && ReadLine(answer) && answer == "yes";
}

void HolderProcess::Stop()
{
    m_input.Reset();
    if (m_process && ::WaitForSingleObject(m_process.Get(), 5000) != WAIT_OBJECT_0)
        ::TerminateProcess(m_process.Get(), 1);
    m_output.Reset();
    m_process.Reset();
}
