#pragma once
// Runs one erase job, or one wipe of a drive's free space, and shows it: starts the worker
// thread, turns the job's notices into progress, log lines and questions to the user, and lets
// the user cancel the job or close the window once the job is over.

#include "engine/CancelFlag.h"
#include "engine/EraseJob.h"
#include "engine/EraseNotice.h"
#include "eventlog/JobEvents.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "progress/RichEditCtrlEx.h"
#include "win32/ScopedHandle.h"
#include "wipe/WipeJob.h"
#include "wipe/WipeNotice.h"

#include <atomic>
#include <string>
#include <vector>

class CProgressDlg : public CDialog {
public:
    explicit CProgressDlg(CWnd* parent = nullptr);
    ~CProgressDlg() override;

    // Set by the creator before DoModal: files, and folders ending with "\", erased in one job.
    std::vector<std::wstring> m_targets;
    // Set instead of the targets for a wipe of this drive's free space ("E:\").
    std::wstring m_wipeDrive;
    int m_nMethodId = 1;
    // Whether every last pass is read back and compared.
    bool m_verifyLastPass = true;
    // Where the job's start and end events go (the Application log); set before DoModal.
    EventWriter* m_events = &m_applicationLog;

    // The job's notice callback. Runs on the worker thread; reaches the windows by messages.
    static int32_t OnNotice(EraseNotice* notice);

    // Appends the text and a line break, red for failures, black otherwise.
    void AppendLogLine(bool isError, const std::wstring& text);

    // Once the job is over: the drives ("E:\") on whose free space earlier clusters of files
    // the job erased may remain, each once.
    const std::vector<std::wstring>& DrivesToWipe() const { return m_drivesToWipe; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* exchange) override;
    // Enter does not end the dialog: only the cancel handler does, once the job is over.
    void OnOK() override;
    // The Cancel / "Finish" button, Esc and the close box.
    void OnCancel() override;
    bool OnCommand(UINT id, UINT code) override;
    void OnTimer(UINT_PTR id) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int32_t HandleNotice(const EraseNotice& notice);
    int32_t HandleProblem(const EraseNotice& notice);
    // Said and shown; the wipe stops (or goes on removing its files) whatever the answer.
    int32_t HandleWipeProblem(const EraseNotice& notice);
    // Says so and keeps the drive for the wipe offered after the job.
    void NoteLeftInFreeSpace(const EraseNotice& notice);
    bool IsWipe() const { return !m_wipeDrive.empty(); }
    // Error box with OK and Cancel: OK skips the item, anything else stops the job.
    int32_t AskToSkip(const std::wstring& question, const std::wstring& skippedLine);
    // The locked-item prompt, or the answer remembered for all such questions.
    int32_t AskLocked(int32_t& remembered, const std::wstring& question, const std::wstring& retryLine,
                      const std::wstring& skippedLine);
    void EndOfJob(bool completed);
    // "Counting…" with what the count found so far, until it ends; then the caption it had.
    void ShowCount(const JobCount& count);
    JobKind Kind() const { return IsWipe() ? JobKind::FreeSpaceWipe : JobKind::Erase; }
    size_t ItemCount() const { return IsWipe() ? 1 : m_targets.size(); }
    void ToggleDetails();

    ApplicationEventLog m_applicationLog;
    // What a wipe overwrites: the free space it found; what an erase job counted, once its count
    // has ended.
    ULONGLONG m_jobBytes = 0;
    CancelFlag m_cancel{kCancelNone};
    EraseJob m_job = {};
    WipeJob m_wipeJob = {};
    CStatic m_pathLabel;
    CStatic m_totalCaption;
    bool m_counting = false;
    CProgressCtrl m_fileBar;
    CProgressCtrl m_totalBar;
    CRichEditCtrlEx m_log;
    CButton m_closeAfter;
    CButton m_cancelButton;
    CButton m_detailsButton;
    UniqueHandle m_worker;
    std::atomic<bool> m_finished{false};
    bool m_detailsShown = false;
    bool m_wipeIncomplete = false;
    std::vector<std::wstring> m_drivesToWipe;

    // The dialog the notices go to, and the answers given "for all locked files" in its job.
    static CProgressDlg* s_active;
    static int32_t s_unlockAnswer;
    static int32_t s_killAnswer;
};
