// Stands in for a program that the code under test starts (Morvane.exe for the extension, icacls.exe
// for the setup): adds how it was started, its command line and its current folder, one per line
// in UTF-16, to launch.txt beside itself, and ends with the exit code that the environment
// variable MORVANE_STANDIN_EXIT_CODE names (0 without it). A window program, so that starting it
// brings up no console.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <cwchar>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring record = std::wstring(self, length);
    record = record.substr(0, record.find_last_of(L'\\') + 1) + L"launch.txt";

    wchar_t directory[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, directory);
    const std::wstring text = std::wstring(::GetCommandLineW()) + L"\n" + directory + L"\n";

    wchar_t exitCode[16] = {};
    ::GetEnvironmentVariableW(L"MORVANE_STANDIN_EXIT_CODE", exitCode, 16);

    const UniqueFile file(
        ::CreateFileW(record.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!file || !::WriteFile(file.Get(), text.data(), bytes, &written, nullptr) || written != bytes)
        return 1;
    return static_cast<int>(std::wcstol(exitCode, nullptr, 10));
}
