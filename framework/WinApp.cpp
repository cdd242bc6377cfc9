#include "framework/WinApp.h"

#include "win32/ScopedHandle.h"

#include <cwchar>

namespace {

CWinApp* g_app = nullptr;

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

std::wstring ExecutableBaseName()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    return name;
}

} // namespace

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine)
{
    std::vector<std::wstring> arguments;
    if (!commandLine)
        return arguments;
    const wchar_t* p = commandLine;

    std::wstring program;
    bool inQuotes = false;
    for (; *p && (inQuotes || !IsBlank(*p)); ++p) {
        if (*p == L'"')
            inQuotes = !inQuotes;
        else
            program += *p;
    }
    arguments.push_back(program);

    for (;;) {
        while (IsBlank(*p))
            ++p;
        if (!*p)
            return arguments;
        std::wstring argument;
        inQuotes = false;
        for (;;) {
            size_t backslashes = 0;
            for (; *p == L'\\'; ++p)
                ++backslashes;
            if (*p == L'"') {
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    argument += L'"';
                } else if (inQuotes && p[1] == L'"') {
                    argument += L'"';
                    ++p;
                } else {
                    inQuotes = !inQuotes;
                }
                ++p;
                continue;
            }
            argument.append(backslashes, L'\\');
            if (!*p || (!inQuotes && IsBlank(*p)))
                break;
            argument += *p++;
        }
        arguments.push_back(argument);
    }
}

CWinApp::CWinApp(const wchar_t* appName)
    : m_pszAppName(nullptr), m_hInstance(::GetModuleHandleW(nullptr)),
      m_appName(appName ? appName : ExecutableBaseName())
{
    m_pszAppName = m_appName.c_str();
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

void CWinApp::SetRegistryKey(const wchar_t* key)
{
    m_registryKey = key ? key : L"";
}

std::wstring CWinApp::SectionPath(const wchar_t* section) const
{
    return L"Software\\" + m_registryKey + L"\\" + m_appName + L"\\" + section;
}

int CWinApp::GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue)
{
    if (m_registryKey.empty() || !section || !entry)
        return defaultValue;
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, KEY_QUERY_VALUE, key.Put())
        != ERROR_SUCCESS)
        return defaultValue;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key.Get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS
        || type != REG_DWORD || size != sizeof(value))
        return defaultValue;
    return static_cast<int>(value);
}

bool CWinApp::WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value)
{
    const DWORD data = static_cast<DWORD>(value);
    return WriteProfileValue(section, entry, REG_DWORD, &data, sizeof(data));
}

std::wstring CWinApp::GetProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue)
{
    const std::wstring fallback = defaultValue ? defaultValue : L"";
    if (m_registryKey.empty() || !section || !entry)
        return fallback;
    // RegGetValueW ends the text where the stored value does not.
    DWORD size = 0;
    const std::wstring path = SectionPath(section);
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), entry, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return fallback;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), entry, RRF_RT_REG_SZ, nullptr, &value[0], &size) != ERROR_SUCCESS)
        return fallback;
    value.resize(::wcsnlen(value.c_str(), value.size()));
    return value;
}

bool CWinApp::WriteProfileString(const wchar_t* section, const wchar_t* entry, const std::wstring& value)
{
    return WriteProfileValue(section, entry, REG_SZ, value.c_str(),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool CWinApp::WriteProfileValue(const wchar_t* section, const wchar_t* entry, DWORD type, const void* data, DWORD size)
{
    if (m_registryKey.empty() || !section || !entry)
        return false;
    UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, key.Put(), nullptr)
        != ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(key.Get(), entry, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

int CWinApp::ExitInstance()
{
    return 0;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app ? g_app->m_hInstance : ::GetModuleHandleW(nullptr);
}

bool AfxInitRichEdit()
{
    // The templates name the 2.0 classes, which this library registers while it is loaded. By
    // its full path: by name alone a library of that name beside the program would be loaded.
    static const UniqueModule library([] {
        wchar_t system[MAX_PATH];
        const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
        return length > 0 && length < MAX_PATH ? ::LoadLibraryW((std::wstring(system, length) + L"\\riched20.dll").c_str())
                                               : nullptr;
    }());
    return library.IsValid();
}

int AfxWinMain(HINSTANCE instance)
{
    // Reading a drive without a medium, or a file that cannot be opened, fails quietly
    // instead of asking the user.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = instance;
    try {
        if (!app->InitInstance())
            return app->ExitInstance();
        MSG message = {};
        BOOL got;
        while ((got = ::GetMessageW(&message, nullptr, 0, 0)) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        return got == 0 ? static_cast<int>(message.wParam) : -1;
    } catch (...) {
        // Nothing may unwind out of the entry point; the program ends with a failure.
        return -1;
    }
}
