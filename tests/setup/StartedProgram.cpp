#include "tests/setup/StartedProgram.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <iterator>

std::vector<DWORD> ProcessesNamed(const std::wstring& exeName)
{
    std::vector<DWORD> ids;
    const UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    // An empty snapshot is INVALID_HANDLE_VALUE, which the kernel-handle owner does not treat as empty.
    if (snapshot.Get() == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (::lstrcmpiW(entry.szExeFile, exeName.c_str()) == 0)
            ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

bool StartedProgram::Find(const std::wstring& exeName, const std::vector<DWORD>& known, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    do {
        for (DWORD id : ProcessesNamed(exeName)) {
            if (std::find(known.begin(), known.end(), id) != known.end())
                continue;
            m_process.Reset(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_QUERY_INFORMATION
                                              | PROCESS_VM_READ | PROCESS_TERMINATE | SYNCHRONIZE,
                                          FALSE, id));
            if (m_process) {
                m_id = id;
                return true;
            }
        }
        ::Sleep(20);
    } while (::GetTickCount() - start < timeoutMs);
    return false;
}

std::wstring StartedProgram::Image() const
{
    wchar_t path[MAX_PATH * 2];
    DWORD length = static_cast<DWORD>(std::size(path));
    if (!m_process || !::QueryFullProcessImageNameW(m_process.Get(), 0, path, &length))
        return {};
    return std::wstring(path, length);
}

std::wstring StartedProgram::CommandLine() const
{
    PROCESS_BASIC_INFORMATION basic = {};
    ULONG returned = 0;
    if (!m_process
        || ::NtQueryInformationProcess(m_process.Get(), ProcessBasicInformation, &basic, sizeof(basic), &returned) < 0)
        return {};
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    SIZE_T read = 0;
    if (!::ReadProcessMemory(m_process.Get(), basic.PebBaseAddress, &peb, sizeof(peb), &read)
        || !::ReadProcessMemory(m_process.Get(), peb.ProcessParameters, &parameters, sizeof(parameters), &read))
        return {};
    std::wstring line(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (!line.empty()
        && !::ReadProcessMemory(m_process.Get(), parameters.CommandLine.Buffer, &line[0], parameters.CommandLine.Length,
                                &read))
        return {};
    return line;
}
