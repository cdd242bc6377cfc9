#include "app/VantrelApp.h"

#include "app/CommandLine.h"
#include "app/EraseConfirmation.h"
#include "app/FreeSpaceOffer.h"
#include "app/MethodChooser.h"
#include "app/TargetList.h"
#include "app/VantrelDlg.h"
#include "progress/ProgressDlg.h"
#include "wipe/WipeFolder.h"

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
    if (!wipeDrive.empty()) {
        RunWipe(nullptr, wipeDrive, chooser.m_nMethod, chooser.m_verifyLastPass);
        return;
    }
    CProgressDlg progress;
    progress.m_targets = targets;
    progress.m_nMethodId = chooser.m_nMethod;
    progress.m_verifyLastPass = chooser.m_verifyLastPass;
    progress.DoModal();
    OfferFreeSpaceWipes(nullptr, progress);
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

    // The arguments as given: an option-like one must not lose its "-" or "/" and become a path.
    std::vector<std::wstring> arguments = SplitCommandLine(::GetCommandLineW());
    if (!arguments.empty())
        arguments.erase(arguments.begin());
    ProgramCommand command;
    std::wstring offending;
    const CommandLineCheck check = ParseArguments(arguments, command, offending);
    if (check != CommandLineCheck::Understood) {
        ::MessageBoxW(::GetDesktopWindow(), UsageMessage(check, offending).c_str(), kErrorCaption, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    if (command.wipeFree) {
        LeaveCurrentDirectory();
        std::wstring root;
        if (ConfirmWipe(::GetDesktopWindow(), command.wipeDrive, root))
            ChooseMethodAndRun({}, root);
        return FALSE;
    }
    // The items given one by one, then those of the list: one question and one job for all.
    std::vector<std::wstring> named = command.named;
    if (!command.listFile.empty()) {
        std::vector<std::wstring> listed;
        if (!TakeTargetList(command.listFile, listed) || listed.empty()) {
            ::MessageBoxW(::GetDesktopWindow(),
                          (L"The list of items to delete " + command.listFile + L" cannot be read").c_str(), kErrorCaption,
                          MB_OK | MB_ICONERROR);
            return FALSE;
        }
        named.insert(named.end(), listed.begin(), listed.end());
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
