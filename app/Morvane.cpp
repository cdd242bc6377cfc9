// Until the windows of the program exist, it does what is there: given a path, it names the
// process that holds that path open.

#include "locks/HandleOwner.h"

#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const std::wstring path = argv && argc > 1 ? argv[argc - 1] : L"";
    ::LocalFree(argv);

    std::wstring text;
    if (path.empty()) {
        text = L"Usage: Morvane <path>\nNames the process that holds the path open.";
    } else {
        LockOwnerInfo owner = {};
        if (FindHandleOwner(path, owner))
            text = path + L" is used by " + owner.ProcessName + L" (process " + std::to_wstring(owner.ProcessId) + L")";
        else
            text = L"No process holds " + path + L" open.";
    }
    ::MessageBoxW(nullptr, text.c_str(), L"Tarnwick", MB_OK | MB_ICONINFORMATION);
    return 0;
}
