#include "locks/OwnerProcess.h"

#include "locks/DevicePath.h"
#include "locks/INtDll.h"
#include "locks/NtRecords.h"

#include <memory>
#include <new>

namespace {

constexpr ULONG kProcessSessionInformation = 24;
constexpr ULONG kProcessBreakOnTermination = 29;
constexpr ULONG kProcessImageFileNameWin32 = 43;
constexpr NTSTATUS kStatusInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
// A counted string and the longest path the system can give.
constexpr ULONG kImageRecordSize = 16 + 65536;

constexpr DWORD kIdleProcessId = 0;
constexpr DWORD kSystemProcessId = 4;
const wchar_t* const kSessionZeroProcesses[] = {L"smss.exe", L"csrss.exe", L"wininit.exe", L"services.exe",
                                                L"lsass.exe"};

bool QueryULong(HANDLE process, ULONG infoClass, ULONG& value, NTSTATUS& status)
{
    status = INtDll::NtQueryInformationProcess(process, infoClass, &value, sizeof(value), nullptr);
    return status == kStatusSuccess;
}

} // namespace

ProcessFacts ReadProcessFacts(HANDLE process)
{
    ProcessFacts facts;
    if (!INtDll::EntryPointsBound)
        return facts;
    ULONG value = 0;
    NTSTATUS status = kStatusSuccess;
    if (QueryULong(process, kProcessBreakOnTermination, value, status))
        facts.critical = value != 0 ? ProcessFacts::Critical::Yes : ProcessFacts::Critical::No;
    else if (status == kStatusInvalidInfoClass)
        facts.critical = ProcessFacts::Critical::No;
    facts.sessionRead = QueryULong(process, kProcessSessionInformation, facts.session, status);

    std::unique_ptr<BYTE[]> record(new (std::nothrow) BYTE[kImageRecordSize]);
    if (record && INtDll::NtQueryInformationProcess(process, kProcessImageFileNameWin32, record.get(),
                                                    kImageRecordSize, nullptr) == kStatusSuccess)
        // The same counted string at the start of the record as an object's name.
        NtRecords::ParseObjectName(record.get(), kImageRecordSize, NtRecords::kNativeLayout, facts.imagePath);
    return facts;
}

std::wstring ImageFileName(const std::wstring& imagePath)
{
    const size_t separator = imagePath.find_last_of(L"\\/");
    return separator == std::wstring::npos ? imagePath : imagePath.substr(separator + 1);
}

bool IsWindowsItself(DWORD processId, const ProcessFacts& facts)
{
    if (processId == kIdleProcessId || processId == kSystemProcessId)
        return true;
    if (facts.critical != ProcessFacts::Critical::No || facts.imagePath.empty())
        return true;
    if (facts.sessionRead && facts.session != 0)
        return false;
    const std::wstring name = ImageFileName(facts.imagePath);
    for (const wchar_t* windowsOwn : kSessionZeroProcesses) {
        if (SameName(name, windowsOwn))
            return true;
    }
    return false;
}
