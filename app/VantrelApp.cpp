#include "app/VantrelApp.h"

#include "app/CLInfo.h"
#include "app/MethodChooser.h"
#include "app/VantrelDlg.h"
#include "progress/ProgressDlg.h"
#include "progress/ShortenPathForDisplay.h"

#include <commctrl.h>

CVantrelApp theApp;

namespace {

// A folder target reaches the job with its final separator, which the job lists it by.
std::wstring JobTarget(const std::wstring& target)
{
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && target.back() != L'\\')
        return target + L"\\";
    return target;
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
    const std::wstring target = commandLine.GetPath();

    if (target.empty()) {
        CVantrelDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }

    if (::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ::MessageBoxW(::GetDesktopWindow(), (L"Path " + target + L" not exist").c_str(), L"Tarnwick :: Error",
                      MB_OK | MB_ICONERROR);
        return FALSE;
    }
    const std::wstring question = L"Do you really want to delete " + ShortenPathForDisplay(260, target) + L" ?";
    if (::MessageBoxW(::GetDesktopWindow(), question.c_str(), L"Tarnwick", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return FALSE;

    CMethodChooser chooser;
    if (chooser.DoModal() != IDOK)
        return FALSE;

    const std::wstring jobTarget = JobTarget(target);
    CProgressDlg progress;
    progress.m_pszTarget = jobTarget.c_str();
    progress.m_nMethodId = chooser.m_nMethod;
    progress.DoModal();
    return FALSE;
}
