#include "app/VantrelApp.h"

#include "app/CLInfo.h"
#include "app/MethodChooser.h"
#include "app/VantrelDlg.h"
#include "engine/TargetPath.h"
#include "progress/ProgressDlg.h"
#include "progress/ShortenPathForDisplay.h"

#include <commctrl.h>

CVantrelApp theApp;

namespace {

const wchar_t kErrorCaption[] = L"Tarnwick :: Error";

// A process's current directory is a handle on a folder: it would keep that folder from being
// removed, and the program would find itself among the folder's holders. Explorer starts the
// program in its installation folder, a shell anywhere.
void LeaveCurrentDirectory()
{
    wchar_t system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        ::SetCurrentDirectoryW(system);
}

} // namespace

BOOL CVantrelApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    CWinApp::InitInstance();
    AfxInitRichEdit();
    SetRegistryKey(L"Kestrium");

    CCLInfo commandLine;
    ParseCommandLine(commandLine);
    const std::wstring named = commandLine.GetPath();
    // Relative paths are taken from the current directory, before the program leaves it.
    std::wstring target;
    const TargetCheck check = ResolveTarget(named, target);
    LeaveCurrentDirectory();

    if (named.empty()) {
        CVantrelDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }

    if (check != TargetCheck::Exact) {
        // The path as it was given: the one the user knows.
        const std::wstring problem = check == TargetCheck::Missing ? L" not exist" : L" is not a file or folder";
        ::MessageBoxW(::GetDesktopWindow(), (L"Path " + named + problem).c_str(), kErrorCaption, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    const std::wstring question = L"Do you really want to delete " + ShortenPathForDisplay(260, target) + L" ?";
    if (::MessageBoxW(::GetDesktopWindow(), question.c_str(), L"Tarnwick", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return FALSE;

    CMethodChooser chooser;
    if (chooser.DoModal() != IDOK)
        return FALSE;

    CProgressDlg progress;
    progress.m_pszTarget = target.c_str();
    progress.m_nMethodId = chooser.m_nMethod;
    progress.DoModal();
    return FALSE;
}
