// Stands in for Morvane.exe in the extension's tests: writes how it was started, its command
// line and its current folder, one per line in UTF-16, to launch.txt beside itself, and ends.
// A window program, so that starting it brings up no console.

#include "win32/ScopedHandle.h"

#include <windows.h>

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

    const UniqueFile file(
        ::CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    return file && ::WriteFile(file.Get(), text.data(), bytes, &written, nullptr) && written == bytes ? 0 : 1;
}
