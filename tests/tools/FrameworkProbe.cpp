// A program on the framework's entry point, run by the framework tests. It writes what its
// application object saw, one item per line, to the file named by MORVANE_PROBE_OUTPUT; with
// MORVANE_PROBE_QUIT set, InitInstance returns TRUE after posting WM_QUIT with that code.

#include "framework/WinApp.h"
#include "win32/ScopedHandle.h"

#include <cstdlib>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

class ProbeApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        std::wstring out = L"name " + std::wstring(m_pszAppName) + L"\n";
        out += L"errormode " + std::to_wstring(::GetErrorMode()) + L"\n";
        out += L"instance " + std::to_wstring(m_hInstance == ::GetModuleHandleW(nullptr)) + L"\n";
        for (int i = 1; i < __argc; ++i)
            out += L"crt " + std::wstring(__wargv[i]) + L"\n";

        UniqueFile file(::CreateFileW(Variable(L"MORVANE_PROBE_OUTPUT").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(file.Get(), out.data(), static_cast<DWORD>(out.size() * sizeof(wchar_t)), &written, nullptr);

        const std::wstring quit = Variable(L"MORVANE_PROBE_QUIT");
        if (quit.empty())
            return FALSE;
        ::PostQuitMessage(std::stoi(quit));
        return TRUE;
    }
};

ProbeApp theApp;

} // namespace
