#include "progress/ProgressDlg.h"

#include "framework/WinApp.h"
#include "progress/Settings.h"
#include "progress/ShortenPathForDisplay.h"
#include "progress/UnlockMsgDlg.h"
#include "resources/resource.h"

#include <shlwapi.h>

#include <algorithm>
#include <iterator>

CProgressDlg* CProgressDlg::s_active = nullptr;
int32_t CProgressDlg::s_unlockAnswer = 0;
int32_t CProgressDlg::s_killAnswer = 0;

namespace {

constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT kCloseTimerMs = 100;
// Asks the interface thread to start the close timer: a timer belongs to its window's thread.
constexpr UINT kStartCloseTimer = WM_APP + 1;

// The log's height at 96 dots per inch.
constexpr int kLogHeight = 200;
// A log line per file and folder, some hundred thousand of them, and paths of any length.
constexpr long kLogCapacity = 0x7FFFFFFE;

constexpr COLORREF kErrorColor = RGB(200, 0, 0);
constexpr COLORREF kTextColor = RGB(0, 0, 0);
const wchar_t kErrorCaption[] = L"Tarnwick :: ERROR";
const wchar_t kCanceling[] = L"Canceling erasing process";
const wchar_t kTotalCaption[] = L"Total progress:";

std::wstring Shown(const EraseNotice& notice, int maxLength)
{
    return ShortenPathForDisplay(maxLength, notice.path ? notice.path : L"");
}

std::wstring OwnerOf(const EraseNotice& notice)
{
    return notice.owner ? notice.owner : L"";
}

// "37.5 MB", as Explorer says it.
std::wstring ByteSize(ULONGLONG bytes)
{
    wchar_t text[32] = {};
    ::StrFormatByteSizeW(static_cast<LONGLONG>(bytes), text, static_cast<UINT>(std::size(text)));
    return text;
}

std::wstring WipePhaseText(int32_t phase, const std::wstring& drive)
{
    switch (phase) {
    case kPhaseClusters:
        return L"Overwriting the free space of " + drive;
    case kPhaseRecords:
        return L"Overwriting the free records of the file table of " + drive;
    default:
        return L"Removing the wipe's files from " + drive;
    }
}

std::wstring WipeProblemText(int32_t code, const std::wstring& path, const std::wstring& drive)
{
    switch (code) {
    case kProblemNoRights:
        return L"Tarnwick may not write on " + drive + L": you lack the rights, or the drive is read-only. "
               L"Nothing was changed.";
    case kProblemWriteProtected:
        return drive + L" is read-only: its free space cannot be wiped. Nothing was changed.";
    case kProblemWipeRunning:
        return L"Another wipe of " + drive + L" is running. Nothing was changed.";
    case kProblemDriveFull:
        return drive + L" is full: it has no free space to wipe. Nothing was changed.";
    case kProblemFolderTaken:
        return path + L" exists and is not Tarnwick's: rename or move it, then wipe again. Nothing was changed.";
    case kProblemQuota:
        return L"A disk quota keeps you from writing all the free space of " + drive
               + L", so it cannot be wiped whole. An administrator can wipe it. The wipe's files were removed.";
    case kProblemNotRemoved:
        return L"Some of the wipe's files in " + path + L" could not be removed. Tarnwick removes them when it starts "
               L"next.";
    default: {
        wchar_t* message = nullptr;
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
        const std::wstring reason = message ? message : L"error " + std::to_wstring(code);
        ::LocalFree(message);
        return L"The free space of " + drive + L" cannot be wiped: " + reason;
    }
    }
}

bool IsFolderCode(int32_t code)
{
    return code == kProblemFolderInUse || code == kProblemFolderInUseAgain || code == kProblemFolderStillInUse
           || code == kProblemFolderHeldByWindows;
}

// A child window's place in the client area of its dialog.
RECT ChildRect(const CWnd& dialog, const CWnd& child)
{
    RECT rect;
    child.GetWindowRect(&rect);
    dialog.ScreenToClient(&rect);
    return rect;
}

} // namespace

CProgressDlg::CProgressDlg(CWnd* parent) : CDialog(IDD_PROGRESS, parent)
{
}

CProgressDlg::~CProgressDlg()
{
    // The job record lives in this object: the worker must be gone first. It has sent its
    // last notice by the time the dialog can close, so this wait is short.
    if (m_worker)
        ::WaitForSingleObject(m_worker.Get(), INFINITE);
    if (s_active == this)
        s_active = nullptr;
}

void CProgressDlg::DoDataExchange(CDataExchange* exchange)
{
    DDX_Control(exchange, IDC_CURRENT_PATH, m_pathLabel);
    DDX_Control(exchange, IDC_FILE_PROGRESS, m_fileBar);
    DDX_Control(exchange, IDC_TOTAL_PROGRESS, m_totalBar);
    DDX_Control(exchange, IDC_TOTAL_CAPTION, m_totalCaption);
    DDX_Control(exchange, IDC_LOG, m_log);
    DDX_Control(exchange, IDC_CLOSE_AFTER, m_closeAfter);
    DDX_Control(exchange, IDC_CANCEL_FINISH, m_cancelButton);
    DDX_Control(exchange, IDC_DETAILS, m_detailsButton);
}

BOOL CProgressDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_detailsShown = false;
    m_fileBar.SetRange(0, 100);
    m_fileBar.SetPos(0);
    m_totalBar.SetRange(0, 100);
    m_totalBar.SetPos(0);

    m_log.ShowWindow(SW_HIDE);
    m_closeAfter.SetCheck(AfxGetApp()->GetProfileInt(kSettingsSection, kCloseAfterDeleteEntry, 0) ? BST_CHECKED
                                                                                                 : BST_UNCHECKED);
    m_log.SetReadOnly(true);
    m_log.LimitText(kLogCapacity);

    s_unlockAnswer = 0;
    s_killAnswer = 0;
    s_active = this;

    m_cancel = kCancelNone;
    m_finished = false;
    m_counting = false;
    m_jobBytes = 0;
    m_wipeIncomplete = false;
    m_drivesToWipe.clear();
    m_job = EraseJob{m_targets, m_nMethodId, OnNotice, &m_cancel, nullptr, m_verifyLastPass};
    m_wipeJob = WipeJob{m_wipeDrive, m_nMethodId, OnNotice, &m_cancel, m_verifyLastPass, nullptr};
    if (IsWipe())
        SetWindowText(L"Wiping free space ...");
    m_worker.Reset(::CreateThread(nullptr, 0, IsWipe() ? RunWipeJob : RunEraseJob,
                                  IsWipe() ? static_cast<void*>(&m_wipeJob) : &m_job, 0, nullptr));
    if (!m_worker) {
        // No job can run: say so and let the user close the window.
        AppendLogLine(true, L"Not enough resources to start deleting");
        EndOfJob(false);
    }
    return TRUE;
}

void CProgressDlg::AppendLogLine(bool isError, const std::wstring& text)
{
    CHARFORMATW format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.crTextColor = isError ? kErrorColor : kTextColor;
    // The caret goes to the end first, so the colour never lands on text the user selected.
    m_log.SetSel(m_log.GetTextLength(), -1);
    m_log.SetSelectionCharFormat(format);
    m_log.m_textColor = format.crTextColor;
    m_log.ReplaceSel((text + L"\n").c_str(), false);
    m_log.SendMessage(EM_SCROLLCARET);
}

int32_t CProgressDlg::OnNotice(EraseNotice* notice)
{
    CProgressDlg* dialog = s_active;
    return dialog && notice ? dialog->HandleNotice(*notice) : kNoAnswer;
}

int32_t CProgressDlg::HandleNotice(const EraseNotice& notice)
{
    switch (notice.type) {
    case JobStarted:
        WriteJobStarted(*m_events, {Kind(), ItemCount(), m_nMethodId});
        AppendLogLine(false, IsWipe() ? L"Starting to wipe the free space of " + m_wipeDrive : L"Starting to delete");
        break;
    case WipePhaseStarted: {
        const std::wstring text = WipePhaseText(PhaseOf(notice), Shown(notice, 0));
        AppendLogLine(false, text);
        m_pathLabel.SetWindowText(text.c_str());
        break;
    }
    case WipeFreeSpace:
        if (MomentOf(notice) == kFreeBeforeWipe)
            m_jobBytes = FreeBytesOf(notice);
        AppendLogLine(false, (MomentOf(notice) == kFreeBeforeWipe ? L"Free space of " : L"Free space after the wipe of ")
                                 + Shown(notice, 0) + L": " + ByteSize(FreeBytesOf(notice)));
        break;
    case WipeIncomplete:
        m_wipeIncomplete = true;
        AppendLogLine(true, std::to_wstring(FillFilesSkippedOf(notice)) + L" of the wipe's files were skipped: part of the "
                                L"free space of " + Shown(notice, 0) + L" may still hold what it held");
        break;
    case JobCompleted:
    case JobTerminated:
        EndOfJob(notice.type == JobCompleted);
        break;
    case Progress:
        m_fileBar.SetPos(notice.filePercent);
        m_totalBar.SetPos(notice.totalPercent);
        ShowCount(notice.count);
        break;
    case Counted:
        ShowCount(notice.count);
        if (notice.count.complete)
            m_jobBytes = notice.count.bytes;
        break;
    case FileStarted:
        AppendLogLine(false, L"Deleting file " + Shown(notice, 0));
        m_pathLabel.SetWindowText(Shown(notice, 60).c_str());
        break;
    case FolderStarted:
        AppendLogLine(false, L"Deleting folder " + Shown(notice, 0));
        m_pathLabel.SetWindowText(Shown(notice, 60).c_str());
        break;
    case ItemFinished:
        if (notice.item.kind == ItemKind::Folder && notice.item.outcome == ItemOutcome::Erased)
            AppendLogLine(false, L"Folder " + Shown(notice, 0) + L" deleted");
        else if (notice.item.kind == ItemKind::DriveRoot && notice.item.outcome == ItemOutcome::Erased)
            AppendLogLine(false, L"Content of drive " + Shown(notice, 0) + L" deleted");
        else if (notice.item.outcome == ItemOutcome::NamesRemoved)
            AppendLogLine(false, L"Name " + Shown(notice, 0) + L" deleted; the file keeps its content under its other names");
        if (notice.item.mayRemainInFreeSpace)
            NoteLeftInFreeSpace(notice);
        break;
    case Problem:
        return HandleProblem(notice);
    default:
        break;
    }
    return kNoAnswer;
}

void CProgressDlg::EndOfJob(bool completed)
{
    WriteJobEnded(*m_events, {Kind(), ItemCount(), m_jobBytes, m_nMethodId,
                              completed ? JobOutcome::Completed : JobOutcome::Terminated, L""});
    if (IsWipe())
        AppendLogLine(false, completed ? L"Wiping completed" : m_wipeIncomplete ? L"Wiping incomplete" : L"Wiping terminated");
    else
        AppendLogLine(false, completed ? L"Deleting completed" : L"Deleting terminated");
    m_cancelButton.SetWindowText(L"Finish");
    m_finished = true;
    ShowCount(JobCount{0, 0, true});
    m_fileBar.SetPos(100);
    m_totalBar.SetPos(100);
    if (m_closeAfter.GetCheck() == BST_CHECKED)
        PostMessage(kStartCloseTimer);
}

void CProgressDlg::ShowCount(const JobCount& count)
{
    if (count.complete && !m_counting)
        return;
    m_counting = !count.complete;
    const std::wstring files = std::to_wstring(count.files);
    m_totalCaption.SetWindowText(count.complete ? kTotalCaption
                                                : (L"Counting\u2026 " + files + (count.files == 1 ? L" file, " : L" files, ")
                                                   + ByteSize(count.bytes) + L" found")
                                                      .c_str());
}

int32_t CProgressDlg::HandleProblem(const EraseNotice& notice)
{
    const int32_t code = notice.code;
    // The wipe's own problems; failed writes of its files are asked about as for erasing.
    if (IsWipe() && code != kProblemSeek && code != kProblemWrite && code != kProblemVerifyFailed)
        return HandleWipeProblem(notice);
    const bool folder = IsFolderCode(code);
    const std::wstring path = Shown(notice, 0);
    const std::wstring skippedLine = (folder ? L"Directory " : L"File ") + path + L" is skipped";
    const std::wstring usedBy = std::wstring(folder ? L"directory is used by " : L"file is used by ") + OwnerOf(notice);
    const std::wstring lockedLine = (folder ? L"Error deleting " : L"Error opening ") + path + L" " + usedBy;

    switch (code) {
    case kProblemFolderNotRemovable:
        AppendLogLine(true, L"Error deleting folder " + path);
        return kAnswerSkip;
    case kProblemFolderNotEmpty:
        AppendLogLine(true, L"Folder " + path + L" not removed: not empty");
        return kAnswerSkip;
    case kProblemLinkNotRemovable:
        AppendLogLine(true, L"Link " + path + L" not removed: it cannot be removed without touching what it points to");
        return kAnswerSkip;
    case kProblemSeek:
    case kProblemWrite:
        AppendLogLine(true, L"Error writing " + path);
        return AskToSkip(L"Error writing " + Shown(notice, 260) + L" do you want to skip this file?", skippedLine);
    case kProblemOpen:
        AppendLogLine(true, L"Error opening " + path);
        return AskToSkip(L"Error opening " + Shown(notice, 260) + L" do you want to skip this file?", skippedLine);
    case kProblemStreamsNotListed:
        AppendLogLine(true, L"Error listing the named streams of " + path);
        return AskToSkip(L"Error listing the named streams of " + Shown(notice, 260) + L" do you want to skip it?",
                         skippedLine);
    case kProblemRootNotListed:
        AppendLogLine(true, L"Error reading drive " + path);
        return AskToSkip(L"Error reading drive " + Shown(notice, 260) + L" do you want to skip it?",
                         L"Drive " + path + L" is skipped");
    case kProblemVerifyFailed:
        AppendLogLine(true, L"Verification failed for " + path + L": what was read back differs from what was written");
        return AskToSkip(L"Verification failed for " + Shown(notice, 260) + L" do you want to skip this file?", skippedLine);
    case kProblemFileGrew:
        AppendLogLine(true, L"File " + path + L" kept growing while it was overwritten");
        return AskToSkip(L"File " + Shown(notice, 260) + L" kept growing while it was overwritten: another program "
                             L"writes to it. Do you want to skip this file?",
                         skippedLine);
    case kProblemRenameStopped:
        AppendLogLine(true, L"Renaming stopped at " + path + L": a file of the next name exists");
        return kAnswerSkip;
    case kProblemDeleteFailed:
        // Overwritten, but still there under a scrambled name: the user decides.
        AppendLogLine(true, L"Error deleting " + path);
        return AskToSkip(L"Error deleting " + Shown(notice, 260) + L" do you want to skip this file?", skippedLine);
    case kProblemFileLocked:
    case kProblemFolderInUse:
        AppendLogLine(true, lockedLine);
        return AskLocked(s_unlockAnswer,
                         (folder ? L"Directory " : L"File ") + Shown(notice, 30) + L" is used by " + OwnerOf(notice)
                             + L"\nDo you want to try to unlock it?",
                         L"Trying to unlock " + path, skippedLine);
    case kProblemCloseHandleFailed:
    case kProblemFolderInUseAgain:
        AppendLogLine(true, lockedLine);
        return AskLocked(s_killAnswer,
                         (folder ? L"Failed to unlock directory " : L"Failed to unlock file ") + Shown(notice, 30)
                             + L" used by " + OwnerOf(notice) + L"\nDo you want to try to kill this process?",
                         L"Trying to kill process that uses " + path, skippedLine);
    case kProblemFileHeldByWindows:
    case kProblemFolderHeldByWindows:
        AppendLogLine(true, lockedLine + L", a part of Windows itself");
        return AskToSkip((folder ? L"Directory " : L"File ") + Shown(notice, 260) + L" is held by Windows itself ("
                             + OwnerOf(notice) + L") and cannot be freed. Do you want to skip this "
                             + (folder ? L"directory?" : L"file?"),
                         skippedLine);
    case kProblemKillFailed:
    case kProblemFolderStillInUse:
        AppendLogLine(true, L"Failed to kill the process that uses " + path);
        return AskToSkip(std::wstring(L"Failed to kill the process. Do you want to skip this ")
                             + (folder ? L"directory?" : L"file?"),
                         skippedLine);
    default:
        return kNoAnswer;
    }
}

// The driver's own words for a file the job could not be sure of: never plainly erased.
void CProgressDlg::NoteLeftInFreeSpace(const EraseNotice& notice)
{
    const std::wstring path = notice.path ? notice.path : L"";
    const size_t drive = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    const std::wstring root = DriveRootOf(path.substr(drive, 2).c_str());
    AppendLogLine(true, L"File " + Shown(notice, 0) + L" overwritten and deleted, but its earlier clusters may remain in "
                            L"the free space of " + (root.empty() ? L"its drive" : root)
                            + L": a free-space wipe of that drive removes them");
    if (!root.empty() && std::find(m_drivesToWipe.begin(), m_drivesToWipe.end(), root) == m_drivesToWipe.end())
        m_drivesToWipe.push_back(root);
}

int32_t CProgressDlg::HandleWipeProblem(const EraseNotice& notice)
{
    const std::wstring text = notice.code == kProblemNoMemory
                                  ? L"Not enough memory to go on wiping"
                                  : WipeProblemText(notice.code, Shown(notice, 0), m_wipeDrive);
    AppendLogLine(true, text);
    ::MessageBoxW(m_hWnd, text.c_str(), kErrorCaption, MB_OK | MB_ICONSTOP);
    return kNoAnswer;
}

int32_t CProgressDlg::AskToSkip(const std::wstring& question, const std::wstring& skippedLine)
{
    if (::MessageBoxW(m_hWnd, question.c_str(), kErrorCaption, MB_OKCANCEL | MB_ICONSTOP) == IDOK) {
        AppendLogLine(false, skippedLine);
        return kAnswerSkip;
    }
    AppendLogLine(false, kCanceling);
    return kAnswerTerminate;
}

int32_t CProgressDlg::AskLocked(int32_t& remembered, const std::wstring& question, const std::wstring& retryLine,
                                const std::wstring& skippedLine)
{
    int32_t answer = remembered;
    if (answer == 0) {
        CUnlockMsgDlg prompt(this);
        prompt.MessageText = question;
        prompt.DoModal();
        answer = prompt.Choice == CUnlockMsgDlg::kYes ? kAnswerRetry
                 : prompt.Choice == CUnlockMsgDlg::kNo ? kAnswerSkip
                                                         : kAnswerTerminate;
        if (prompt.ForAll)
            remembered = answer;
    }
    AppendLogLine(false, answer == kAnswerRetry ? retryLine : answer == kAnswerSkip ? skippedLine : kCanceling);
    return answer;
}

void CProgressDlg::OnOK()
{
}

void CProgressDlg::OnCancel()
{
    AfxGetApp()->WriteProfileInt(kSettingsSection, kCloseAfterDeleteEntry,
                                 m_closeAfter.GetCheck() == BST_CHECKED ? 1 : 0);
    if (m_finished) {
        EndDialog(IDCANCEL);
        return;
    }
    // The worker waits at its next check point while the user decides.
    uint8_t running = kCancelNone;
    const bool held = m_cancel.compare_exchange_strong(running, kCancelHold);
    const int answer =
        ::MessageBoxW(m_hWnd, L"Do yo really want to terminate process?", L"Tarnwick", MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES) {
        if (m_finished)
            EndDialog(IDCANCEL);
        else
            m_cancel = kCancelRequested;
    } else if (held) {
        uint8_t holding = kCancelHold;
        m_cancel.compare_exchange_strong(holding, kCancelNone);
    }
}

bool CProgressDlg::OnCommand(UINT id, UINT code)
{
    if (code == BN_CLICKED && id == IDC_CANCEL_FINISH) {
        OnCancel();
        return true;
    }
    if (code == BN_CLICKED && id == IDC_DETAILS) {
        ToggleDetails();
        return true;
    }
    return CDialog::OnCommand(id, code);
}

void CProgressDlg::OnTimer(UINT_PTR id)
{
    if (id != kCloseTimer) {
        CDialog::OnTimer(id);
        return;
    }
    KillTimer(kCloseTimer);
    OnCancel();
}

LRESULT CProgressDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kStartCloseTimer) {
        SetTimer(kCloseTimer, kCloseTimerMs);
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CProgressDlg::ToggleDetails()
{
    // Measured on the controls as they are now, so that a move to a monitor of another DPI,
    // which scales them, keeps the two steps equal.
    const RECT bar = ChildRect(*this, m_totalBar);
    int shift;
    if (m_detailsShown) {
        shift = bar.bottom - ChildRect(*this, m_log).bottom;
    } else {
        // The log fills the room between the total bar and these, below the gap there is now.
        const RECT details = ChildRect(*this, m_detailsButton), log = ChildRect(*this, m_log);
        const int height = ::MulDiv(kLogHeight, static_cast<int>(WindowDpi(m_hWnd)), USER_DEFAULT_SCREEN_DPI);
        m_log.MoveWindow(log.left, details.top, log.right - log.left, height);
        shift = details.top - bar.bottom + height;
    }
    for (CWnd* control : {static_cast<CWnd*>(&m_closeAfter), static_cast<CWnd*>(&m_cancelButton),
                          static_cast<CWnd*>(&m_detailsButton)}) {
        const RECT rect = ChildRect(*this, *control);
        control->MoveWindow(rect.left, rect.top + shift, rect.right - rect.left, rect.bottom - rect.top);
    }
    RECT dialog;
    GetWindowRect(&dialog);
    SetWindowPos(nullptr, 0, 0, dialog.right - dialog.left, dialog.bottom - dialog.top + shift,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_detailsShown = !m_detailsShown;
    m_log.ShowWindow(m_detailsShown ? SW_SHOW : SW_HIDE);
    m_detailsButton.SetWindowText(m_detailsShown ? L"\u00AB Hide &Details" : L"Show &Details \u00BB");
}
