#include "progress/ProgressDlg.h"

#include "framework/WinApp.h"
#include "progress/Settings.h"
#include "progress/ShortenPathForDisplay.h"
#include "progress/UnlockMsgDlg.h"
#include "resources/resource.h"

#include <commdlg.h>

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
const wchar_t kTotalCaption[] = L"Total progress:";

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
    // The driver waits for its worker, which may still be on its way out of its last notice to
    // this dialog: it goes before the controls do.
    m_driver.reset();
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
    DDX_Control(exchange, IDC_SAVE_REPORT, m_saveButton);
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

    m_unlockAnswer = 0;
    m_killAnswer = 0;
    m_finished = false;
    m_counting = false;
    JobSettings settings;
    settings.targets = m_targets;
    settings.wipeDrive = m_wipeDrive;
    settings.methodId = m_nMethodId;
    settings.verifyLastPass = m_verifyLastPass;
    settings.reportFile = m_reportFile;
    settings.reportFolder = AfxGetApp()->GetProfileString(kSettingsSection, kReportFolderEntry, L"");
    settings.logKeepsLines = m_logKeepsLines;
    if (!m_wipeDrive.empty())
        SetWindowText(L"Wiping free space ...");
    m_driver = std::make_unique<JobDriver>(settings, static_cast<JobView&>(*this), *m_events);
    m_driver->Start();
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

void CProgressDlg::ReplaceLogText(size_t start, size_t length, const std::wstring& text)
{
    // Not drawn on the way: the log keeps showing its end, where the lines are added. (Redrawing
    // switched back on would show a hidden log.)
    const bool shown = ::IsWindowVisible(m_log.m_hWnd) != FALSE;
    if (shown)
        m_log.SendMessage(WM_SETREDRAW, FALSE);
    m_log.SetSel(static_cast<long>(start), static_cast<long>(start + length));
    CHARFORMATW format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.crTextColor = kTextColor;
    m_log.SetSelectionCharFormat(format);
    m_log.ReplaceSel(text.c_str(), false);
    m_log.SetSel(m_log.GetTextLength(), -1);
    m_log.SendMessage(EM_SCROLLCARET);
    if (shown) {
        m_log.SendMessage(WM_SETREDRAW, TRUE);
        ::InvalidateRect(m_log.m_hWnd, nullptr, TRUE);
    }
}

void CProgressDlg::ShowCurrent(const std::wstring& text)
{
    m_pathLabel.SetWindowText(text.c_str());
}

void CProgressDlg::ShowProgress(int32_t filePercent, int32_t totalPercent)
{
    m_fileBar.SetPos(filePercent);
    m_totalBar.SetPos(totalPercent);
}

void CProgressDlg::ShowCount(const JobCount& count)
{
    if (count.complete && !m_counting)
        return;
    m_counting = !count.complete;
    const std::wstring files = std::to_wstring(count.files) + (count.files == 1 ? L" file, " : L" files, ");
    m_totalCaption.SetWindowText(
        count.complete ? kTotalCaption : (L"Counting\u2026 " + files + ByteSizeText(count.bytes) + L" found").c_str());
}

bool CProgressDlg::SkipAfter(const std::wstring& question)
{
    return ::MessageBoxW(m_hWnd, question.c_str(), kErrorCaption, MB_OKCANCEL | MB_ICONSTOP) == IDOK;
}

int32_t CProgressDlg::AnswerHolder(HolderQuestion question, const std::wstring& text)
{
    int32_t& remembered = question == HolderQuestion::Unlock ? m_unlockAnswer : m_killAnswer;
    if (remembered != 0)
        return remembered;
    CUnlockMsgDlg prompt(this);
    prompt.MessageText = text;
    prompt.DoModal();
    const int32_t answer = prompt.Choice == CUnlockMsgDlg::kYes ? kAnswerRetry
                           : prompt.Choice == CUnlockMsgDlg::kNo ? kAnswerSkip
                                                                   : kAnswerTerminate;
    if (prompt.ForAll)
        remembered = answer;
    return answer;
}

void CProgressDlg::ShowFailure(const std::wstring& text)
{
    ::MessageBoxW(m_hWnd, text.c_str(), kErrorCaption, MB_OK | MB_ICONSTOP);
}

void CProgressDlg::JobEnded(const JobSummary&)
{
    m_cancelButton.SetWindowText(L"Finish");
    m_saveButton.ShowWindow(SW_SHOW);
    m_finished = true;
    m_fileBar.SetPos(100);
    m_totalBar.SetPos(100);
    if (m_closeAfter.GetCheck() == BST_CHECKED)
        PostMessage(kStartCloseTimer);
}

void CProgressDlg::SaveReport()
{
    wchar_t path[MAX_PATH] = L"Tarnwick report.html";
    OPENFILENAMEW save = {};
    save.lStructSize = sizeof(save);
    save.hwndOwner = m_hWnd;
    save.lpstrFilter = L"Web page (*.html)\0*.html;*.htm\0JSON for programs (*.json)\0*.json\0";
    save.lpstrFile = path;
    save.nMaxFile = MAX_PATH;
    save.lpstrDefExt = L"html";
    save.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!::GetSaveFileNameW(&save))
        return;
    ReportFormat format;
    if (!ReportFormatOf(path, format)) {
        ShowFailure(L"A report is saved as a web page (.html) or as JSON (.json): give its name one of these endings.");
        return;
    }
    if (!m_driver->SaveReport(path))
        ShowFailure(std::wstring(L"The report could not be saved as ") + path);
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
    CancelFlag& cancel = m_driver->Cancel();
    const bool held = cancel.compare_exchange_strong(running, kCancelHold);
    const int answer =
        ::MessageBoxW(m_hWnd, L"Do yo really want to terminate process?", L"Tarnwick", MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES) {
        if (m_finished)
            EndDialog(IDCANCEL);
        else
            cancel = kCancelRequested;
    } else if (held) {
        uint8_t holding = kCancelHold;
        cancel.compare_exchange_strong(holding, kCancelNone);
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
    if (code == BN_CLICKED && id == IDC_SAVE_REPORT) {
        SaveReport();
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
                          static_cast<CWnd*>(&m_saveButton), static_cast<CWnd*>(&m_detailsButton)}) {
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
