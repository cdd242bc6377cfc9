#include "tests/shellext/ExtensionTestSupport.h"

#include "tests/support/Links.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

std::wstring ExtensionDllPath()
{
    const std::wstring relative = ExecutableDirectory() + L"..\\MorvaneExt.dll";
    wchar_t full[MAX_PATH];
    const DWORD length = ::GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
    return std::wstring(full, length);
}

ExtensionRegistryGuard::ExtensionRegistryGuard()
    : m_approvalKey(HKEY_LOCAL_MACHINE, kApprovedKey),
      m_approval(HKEY_LOCAL_MACHINE, kApprovedKey, kMorvaneShlExtClsidText)
{
    UniqueRegKey approved;
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kApprovedKey, 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, approved.Put(),
                      nullptr);
    m_keys.push_back(std::make_unique<KeyPathGuard>(HKEY_CLASSES_ROOT, kClassKey));
    for (const wchar_t* path : kHandlerKeys)
        m_keys.push_back(std::make_unique<KeyPathGuard>(HKEY_CLASSES_ROOT, path));
}

std::wstring RegisteredClassDump(const std::wstring& dll)
{
    return L"[]\n@ = Morvane Class\n[InprocServer32]\n@ = " + dll + L"\nThreadingModel = Apartment\n";
}

std::wstring RegisteredHandlerDump()
{
    return std::wstring(L"[]\n@ = ") + kMorvaneShlExtClsidText + L"\n";
}

std::vector<std::wstring> ReadStandInRecord(const std::wstring& record)
{
    const std::string bytes = ReadWholeFile(record);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    std::vector<std::wstring> lines;
    for (size_t at = 0, end; (end = text.find(L'\n', at)) != std::wstring::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

int RunProcess(std::wstring commandLine)
{
    const UniqueHandle process = StartProcess(std::move(commandLine), CREATE_NO_WINDOW);
    DWORD code = 0;
    if (!process || ::WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0
        || !::GetExitCodeProcess(process.Get(), &code))
        return -1;
    return static_cast<int>(code);
}

namespace {

HANDLE OwnJob()
{
    static const UniqueHandle job = [] {
        UniqueHandle created(::CreateJobObjectW(nullptr, nullptr));
        if (created && !::AssignProcessToJobObject(created.Get(), ::GetCurrentProcess()))
            created.Reset();
        return created;
    }();
    return job.Get();
}

bool QueryJob(JOBOBJECT_BASIC_ACCOUNTING_INFORMATION& info)
{
    return OwnJob() && ::QueryInformationJobObject(OwnJob(), JobObjectBasicAccountingInformation, &info,
                                                   sizeof(info), nullptr);
}

}  // namespace

DWORD StartedProcessCount()
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    return QueryJob(info) ? info.TotalProcesses - 1 : static_cast<DWORD>(-1);
}

bool WaitForStartedProcesses()
{
    for (int tries = 0; tries < 1500; ++tries) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
        if (!QueryJob(info))
            return false;
        if (info.ActiveProcesses <= 1)
            return true;
        ::Sleep(20);
    }
    return false;
}
