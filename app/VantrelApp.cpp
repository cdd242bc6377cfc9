#include "app/VantrelApp.h"

#include "app/CommandLine.h"
#include "app/EraseConfirmation.h"
#include "app/FreeSpaceOffer.h"
#include "app/MethodChooser.h"
#include "app/QuietRun.h"
#include "app/TargetList.h"
#include "app/VantrelDlg.h"
#include "progress/ProgressDlg.h"
#include "progress/Settings.h"
#include "wipe/WipeFolder.h"

#include <commctrl.h>

CVantrelApp theApp;

namespace {

const wchar_t kErrorCaption[] = L"Tarnwick :: Error";

// Asks for the method, then runs the job: erasing the targets, or wiping the drive's free space.
// The job's exit code; nothing run where the user cancels.
int ChooseMethodAndRun(const std::vector<std::wstring>& targets, const std::wstring& wipeDrive,
                       const std::wstring& reportFile)
{
    CMethodChooser chooser;
    if (chooser.DoModal() != IDOK)
        return kExitNothingRun;
    CProgressDlg progress;
    progress.m_targets = targets;
    progress.m_wipeDrive = wipeDrive;
    progress.m_nMethodId = chooser.m_nMethod;
    progress.m_verifyLastPass = chooser.m_verifyLastPass;
    progress.m_reportFile = reportFile;
    progress.DoModal();
    OfferFreeSpaceWipes(nullptr, progress);
    return progress.ExitCode();
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
    m_exitCode = kExitNothingRun;
    if (check != CommandLineCheck::Understood) {
        if (command.quiet)
            RefuseQuietly(UsageMessage(check, offending));
        else
            ::MessageBoxW(::GetDesktopWindow(), UsageMessage(check, offending).c_str(), kErrorCaption,
                          MB_OK | MB_ICONERROR);
        return FALSE;
    }
    if (command.quiet) {
        m_exitCode = RunQuiet(command, EraseMethodIdFromIndex(GetProfileInt(kSettingsSection, kFileMethodEntry, 0)),
                              GetProfileString(kSettingsSection, kReportFolderEntry, L""));
        return FALSE;
    }
    std::wstring reportFile = command.reportFile;
    if (command.wipeFree) {
        std::wstring root, refusal;
        const bool reviewed = reportFile.empty() || ReviewReportFile(command.reportFile, {}, reportFile, refusal);
        LeaveCurrentDirectory();
        if (!reviewed)
            ::MessageBoxW(::GetDesktopWindow(), refusal.c_str(), kErrorCaption, MB_OK | MB_ICONERROR);
        else if (ConfirmWipe(::GetDesktopWindow(), command.wipeDrive, root))
            m_exitCode = ChooseMethodAndRun({}, root, reportFile);
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
        m_exitCode = kExitErased;
        return FALSE;
    }

    // Relative paths are taken from the current directory, before the program leaves it.
    std::vector<std::wstring> targets;
    const bool confirmed = ConfirmErase(::GetDesktopWindow(), named, targets, reportFile.empty() ? nullptr : &reportFile);
    LeaveCurrentDirectory();
    if (confirmed)
        m_exitCode = ChooseMethodAndRun(targets, L"", reportFile);
    return FALSE;
}

int CVantrelApp::ExitInstance()
{
    return m_exitCode;
}
