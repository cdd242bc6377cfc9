#include "app/VantrelApp.h"

#include "app/CLInfo.h"
#include "app/EraseConfirmation.h"
#include "app/MethodChooser.h"
#include "app/TargetList.h"
#include "app/VantrelDlg.h"
#include "progress/ProgressDlg.h"
#include "wipe/WipeJob.h"

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

// Asks for the method, then runs the job: erasing the targets, or wiping the drive's free space.
void ChooseMethodAndRun(const std::vector<std::wstring>& targets, const std::wstring& wipeDrive)
{
    CMethodChooser chooser;
    if (chooser.DoModal() != IDOK)
        return;
    CProgressDlg progress;
    progress.m_targets = targets;
    progress.m_wipeDrive = wipeDrive;
    progress.m_nMethodId = chooser.m_nMethod;
    progress.DoModal();
}

} // namespace

BOOL CVantrelApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    CWinApp::InitInstance();
    AfxInitRichEdit();
    SetRegistryKey(L"Kestrium");

    // A wipe that was cut short (a crash, a power cut) left its files: the drive stays full
    // until they are gone.
    RemoveWipeLeftovers();

    CCLInfo commandLine;
    ParseCommandLine(commandLine);
    if (commandLine.m_wipeFree) {
        LeaveCurrentDirectory();
        std::wstring root;
        if (ConfirmWipe(::GetDesktopWindow(), commandLine.m_strWipeDrive, root))
            ChooseMethodAndRun({}, root);
        return FALSE;
    }
    std::vector<std::wstring> named;
    const std::wstring listFile = commandLine.GetListFile();
    if (!listFile.empty()) {
        if (!TakeTargetList(listFile, named) || named.empty()) {
            ::MessageBoxW(::GetDesktopWindow(), (L"The list of items to delete " + listFile + L" cannot be read").c_str(),
                          kErrorCaption, MB_OK | MB_ICONERROR);
            return FALSE;
        }
    } else if (!commandLine.GetPath().empty()) {
        named.push_back(commandLine.GetPath());
    }

    if (named.empty()) {
        LeaveCurrentDirectory();
        CVantrelDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }

    // Relative paths are taken from the current directory, before the program leaves it.
    std::vector<std::wstring> targets;
    const bool confirmed = ConfirmErase(::GetDesktopWindow(), named, targets);
    LeaveCurrentDirectory();
    if (confirmed)
        ChooseMethodAndRun(targets, L"");
    return FALSE;
}
