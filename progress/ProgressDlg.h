#pragma once
// Shows one erase job, or one wipe of a drive's free space, that it runs through the job driver:
// progress, the current item, the log, the questions to the user; lets the user cancel the job,
// save its report once it is over, and close the window.

#include "eventlog/JobEvents.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "progress/RichEditCtrlEx.h"
#include "progress/job/JobDriver.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CProgressDlg : public CDialog, private JobView {
public:
    explicit CProgressDlg(CWnd* parent = nullptr);
    ~CProgressDlg() override;

    // Set by the creator before DoModal: files, and folders ending with "\", erased in one job.
    std::vector<std::wstring> m_targets;
    // Set instead of the targets for a wipe of this drive's free space ("E:\").
    std::wstring m_wipeDrive;
    int m_nMethodId = 1;
    // Whether every last pass is read back and compared; set before DoModal.
    bool m_verifyLastPass = true;
    // "/report FILE": where the report goes besides the folder of the settings; set before DoModal.
    std::wstring m_reportFile;
    // Where the job's start and end events go (the Application log); set before DoModal.
    EventWriter* m_events = &m_applicationLog;
    // How many lines other than problems the log keeps; set before DoModal.
    size_t m_logKeepsLines = kLogKeepsLines;

    // After DoModal: as the program's exit code.
    int ExitCode() const { return m_driver ? m_driver->ExitCode() : kExitFailed; }
    // After DoModal: the drives where earlier clusters of the job's files may remain.
    std::vector<std::wstring> DrivesToWipe() const { return m_driver ? m_driver->DrivesToWipe() : std::vector<std::wstring>(); }

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
    // The job's view; called on the worker thread, reaching the windows by messages.
    // Appends the text and a line break, red for failures, black otherwise.
    void AppendLogLine(bool isError, const std::wstring& text) override;
    void ReplaceLogText(size_t start, size_t length, const std::wstring& text) override;
    void ShowCurrent(const std::wstring& text) override;
    void ShowProgress(int32_t filePercent, int32_t totalPercent) override;
    // "Counting…" with what the count found so far, until it ends; then the caption it had.
    void ShowCount(const JobCount& count) override;
    // Error box with OK and Cancel: OK skips the item, anything else stops the job.
    bool SkipAfter(const std::wstring& question) override;
    // The locked-item prompt, or the answer remembered for all such questions.
    int32_t AnswerHolder(HolderQuestion question, const std::wstring& text) override;
    void ShowFailure(const std::wstring& text) override;
    void JobEnded(const JobSummary& summary) override;

    void SaveReport();
    void ToggleDetails();

    ApplicationEventLog m_applicationLog;
    std::unique_ptr<JobDriver> m_driver;
    CStatic m_pathLabel;
    CStatic m_totalCaption;
    bool m_counting = false;
    CProgressCtrl m_fileBar;
    CProgressCtrl m_totalBar;
    CRichEditCtrlEx m_log;
    CButton m_closeAfter;
    CButton m_cancelButton;
    CButton m_detailsButton;
    CButton m_saveButton;
    std::atomic<bool> m_finished{false};
    bool m_detailsShown = false;
    // The answers given "for all locked files" in this job, by question.
    int32_t m_unlockAnswer = 0;
    int32_t m_killAnswer = 0;
};
