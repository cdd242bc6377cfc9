#pragma once
// The application object, its command line and its settings profile.
//
// The program defines one global CWinApp-derived object and links morvane_framework_main,
// which brings the entry point (wWinMain, with -municode). It sets the error mode that keeps
// the system's critical-error boxes away, calls InitInstance and ends the program when that
// returns FALSE; TRUE runs a message loop until WM_QUIT.

#include <windows.h>

#include <string>
#include <vector>

class CWnd;

// The C run-time's rules: blanks and tabs separate arguments; double quotes group and are
// removed; backslashes are literal except before a double quote, where 2n of them give n
// and a quote that groups, 2n+1 give n and a literal quote; "" inside quotes is a literal
// quote. The first argument (the program) ends at the next blank, or inside quotes at the
// closing quote, and has no escapes.
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);

class CWinApp {
public:
    // Registers the object as the application. Without a name the application is named after
    // the executable's file name without its extension.
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The whole program of a dialog-based application: FALSE ends it with ExitInstance's code.
    virtual BOOL InitInstance();

    // Settings under HKEY_CURRENT_USER\Software\<key>\<application name>\<section>.
    void SetRegistryKey(const wchar_t* key);
    // A REG_DWORD value; `defaultValue` when it, its key or the registry key is missing.
    int GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue);
    // Creates the keys as needed. False when the value could not be written.
    bool WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value);
    // A REG_SZ value; `defaultValue` when it, its key or the registry key is missing.
    std::wstring GetProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue);
    bool WriteProfileString(const wchar_t* section, const wchar_t* entry, const std::wstring& value);

    // What the program's exit code is when InitInstance returns FALSE: 0 unless overridden.
    virtual int ExitInstance();

    const wchar_t* m_pszAppName;
    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd = nullptr;

private:
    std::wstring SectionPath(const wchar_t* section) const;
    bool WriteProfileValue(const wchar_t* section, const wchar_t* entry, DWORD type, const void* data, DWORD size);

    std::wstring m_appName;
    std::wstring m_registryKey;
};

CWinApp* AfxGetApp();
// The program's module, which holds the dialog templates and bitmaps.
HINSTANCE AfxGetInstanceHandle();

// Registers the rich-edit controls ("RichEdit20A", "RichEdit20W") used in dialog templates;
// they stay registered for the life of the process.
bool AfxInitRichEdit();

// What wWinMain runs: the error mode, the instance handle, InitInstance; the exit code (the
// application's ExitInstance where InitInstance returned FALSE).
int AfxWinMain(HINSTANCE instance);
