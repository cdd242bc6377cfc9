#pragma once
// What the extension's tests share: where the DLL is, putting back what registering it
// changes, and counting the processes a test caused to be started.

#include "shellext/MorvaneShlExtClsid.h"
#include "tests/support/RegistryState.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

const wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const std::wstring kClassKey = std::wstring(L"CLSID\\") + kMorvaneShlExtClsidText;
const wchar_t kFileHandlerKey[] = L"*\\ShellEx\\ContextMenuHandlers\\Morvane";
const wchar_t kFolderHandlerKey[] = L"Directory\\ShellEx\\ContextMenuHandlers\\Morvane";
const wchar_t kDriveHandlerKey[] = L"Drive\\ShellEx\\ContextMenuHandlers\\Morvane";
const wchar_t* const kHandlerKeys[] = {kFileHandlerKey, kFolderHandlerKey, kDriveHandlerKey};

// In DumpKey's text, as registering writes them: the class key of the extension served by this
// DLL, and each of its handler keys.
std::wstring RegisteredClassDump(const std::wstring& dll);
std::wstring RegisteredHandlerDump();

// Full path of MorvaneExt.dll; the tests run from a folder of their own below the DLL's, away
// from the real Morvane.exe, which the shell would otherwise find there.
std::wstring ExtensionDllPath();

// COM on this thread, in a single-threaded apartment as Explorer uses it, for the object's life.
class ComApartment {
public:
    ComApartment() : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_result;
};

// Puts back every key and value that registering the extension writes, as they were.
class ExtensionRegistryGuard {
public:
    ExtensionRegistryGuard();

private:
    // A 32-bit program in Wine's 64-bit prefix finds no approval list in its registry view, and
    // registration only opens that key: the tests provide it while they run.
    KeyPathGuard m_approvalKey;
    ValueGuard m_approval;
    std::vector<std::unique_ptr<KeyPathGuard>> m_keys;
};

// The lines MorvaneStandIn.exe wrote to its record: command line and current folder, per start.
std::vector<std::wstring> ReadStandInRecord(const std::wstring& record);

// Runs a command line to its end and returns its exit code (-1 where it could not start).
int RunProcess(std::wstring commandLine);

// Processes started by this test process, directly or through the shell, since it began:
// the process puts itself into a job on the first call, and children join their parent's job.
DWORD StartedProcessCount();
// Waits until every process counted above has ended.
bool WaitForStartedProcesses();
