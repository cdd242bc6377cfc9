#pragma once
// Runs one job, erasing items or wiping a drive's free space, for whoever shows it: starts the
// worker thread and turns the job's notices into log lines, progress, questions, the erasure
// report, the job's two events and the program's exit code. The progress dialog and the quiet
// command line run their jobs through it and differ only in the JobView they give it.

#include "engine/CancelFlag.h"
#include "engine/EraseJob.h"
#include "engine/EraseNotice.h"
#include "eventlog/JobEvents.h"
#include "report/ErasureReport.h"
#include "win32/ScopedHandle.h"
#include "wipe/WipeJob.h"
#include "wipe/WipeNotice.h"

#include <atomic>
#include <deque>
#include <string>
#include <vector>

// The program's exit codes.
enum ExitCode : int {
    kExitErased = 0,     // every named item erased
    kExitProblems = 1,   // done, but something was skipped or not removed, or the report not written
    kExitNothingRun = 2, // bad arguments, a refused or missing target
    kExitCancelled = 3,
    kExitFailed = 4, // stopped by an error
};

// The lines of the log other than problems that a job keeps: the most recent ones.
constexpr size_t kLogKeepsLines = 100000;

struct JobSettings {
    std::vector<std::wstring> targets; // files, and folders ending with "\", erased in one job
    std::wstring wipeDrive;            // instead of targets: the drive ("E:\") whose free space is wiped
    int methodId = 1;
    bool verifyLastPass = true; // every file's, stream's and fill file's last pass read back
    std::wstring reportFile;   // the report goes here, in the format its extension names
    std::wstring reportFolder; // every report is also saved here, as a page and as JSON
    size_t logKeepsLines = kLogKeepsLines;
};

struct JobSummary {
    JobOutcome outcome;
    int exitCode;
    ReportTotals totals;
    std::wstring reportPath; // where the report was written; empty where it was not
};

enum class HolderQuestion {
    Unlock, // may the holder's handle be closed?
    Kill,   // closing it did not free the item: may the holder be ended?
};

// What shows a job. Called on the worker thread, one call at a time; where no worker could start,
// on the thread that started the job.
class JobView {
public:
    virtual ~JobView() = default;
    // One line of the log, without its line break; red where it tells a problem.
    virtual void AppendLogLine(bool /*problem*/, const std::wstring& /*text*/) {}
    // Replaces `length` characters of the log from `start` (a line break counts as one) with text.
    virtual void ReplaceLogText(size_t /*start*/, size_t /*length*/, const std::wstring& /*text*/) {}
    virtual void ShowCurrent(const std::wstring& /*text*/) {}
    virtual void ShowProgress(int32_t /*filePercent*/, int32_t /*totalPercent*/) {}
    // What the count beside the job has found, until it is complete.
    virtual void ShowCount(const JobCount& /*count*/) {}
    virtual void ShowItem(const ReportItem& /*item*/) {}
    // After a failure on an item: true skips the item, false stops the job.
    virtual bool SkipAfter(const std::wstring& question) = 0;
    // Another process holds an item: kAnswerRetry, kAnswerSkip or kAnswerTerminate.
    virtual int32_t AnswerHolder(HolderQuestion question, const std::wstring& text) = 0;
    // A failure that ends the job, or that the user must hear of beyond the log.
    virtual void ShowFailure(const std::wstring& text) = 0;
    // Once the report and the end event are written.
    virtual void JobEnded(const JobSummary& summary) = 0;
};

class JobDriver {
public:
    JobDriver(const JobSettings& settings, JobView& view, EventWriter& events);
    // Waits for the worker: the job's records live here.
    ~JobDriver();
    JobDriver(const JobDriver&) = delete;
    JobDriver& operator=(const JobDriver&) = delete;

    // Starts the worker. False when it could not start: the end has been told to the view.
    bool Start();
    // Until the job has ended.
    void Wait();

    // The job's cancel flag: the interface thread, or a console's control handler, writes it.
    CancelFlag& Cancel() { return m_cancel; }
    bool HasEnded() const { return m_ended; }
    // After the end: 0 to 4, as the ExitCode values.
    int ExitCode() const { return m_exitCode; }
    // After the end, on one thread at a time: the report once more, in the format the file's
    // extension names.
    bool SaveReport(const std::wstring& path);
    // After the end: the drives ("E:\") where earlier clusters of the job's files may remain in
    // the free space, each once.
    const std::vector<std::wstring>& DrivesToWipe() const { return m_drivesToWipe; }

    // The job's notice callback, on the worker thread.
    static int32_t OnNotice(EraseNotice* notice);
    // Thread: the worker's (tests call it in its place).
    int32_t HandleNotice(const EraseNotice& notice);

private:
    int32_t HandleProblem(const EraseNotice& notice);
    int32_t HandleWipeProblem(const EraseNotice& notice);
    int32_t AskToSkip(const std::wstring& question, const std::wstring& skippedLine);
    int32_t AskAboutHolder(HolderQuestion question, const std::wstring& text, const std::wstring& retryLine,
                           const std::wstring& skippedLine);
    void Log(bool problem, const std::wstring& text);
    void DropOldestLine();
    void RecordItem(const ReportItem& item);
    void FinishItem(const EraseNotice& notice);
    void EndOfJob(bool completed);
    JobOutcome Outcome(bool completed) const;
    std::wstring WriteReports();
    bool IsWipe() const { return !m_settings.wipeDrive.empty(); }
    JobKind Kind() const { return IsWipe() ? JobKind::FreeSpaceWipe : JobKind::Erase; }
    size_t ItemCount() const { return IsWipe() ? 1 : m_settings.targets.size(); }

    JobSettings m_settings;
    JobView& m_view;
    EventWriter& m_events;
    CancelFlag m_cancel{kCancelNone};
    EraseJob m_job = {};
    WipeJob m_wipeJob = {};
    UniqueHandle m_worker;
    ErasureReport m_report;
    // What a wipe found to overwrite, and why it stopped.
    ULONGLONG m_freeBytes = 0;
    std::wstring m_wipeFailure;
    // The wipe ran to its end with fill files skipped: part of the free space is unwritten.
    bool m_wipeIncomplete = false;
    std::vector<std::wstring> m_drivesToWipe;
    // Why the item at hand stays, as the last problem asked about it says: the answer to that
    // one decided its end.
    std::wstring m_lastProblem;
    bool m_answeredTerminate = false;
    size_t m_answeredSkip = 0;
    std::atomic<bool> m_ended{false};
    int m_exitCode = kExitFailed;

    // The log: problem lines stay, other lines go oldest first. Every line before the oldest
    // line that may go is a problem line (`m_keptAtTop` characters of them, after the note that
    // lines were dropped); `m_lines` holds the lengths of the lines from that oldest one on.
    struct LogLine {
        size_t length; // with its line break
        bool problem;
    };
    std::deque<LogLine> m_lines;
    size_t m_otherLines = 0;
    size_t m_keptAtTop = 0;
    size_t m_noteLength = 0;

    static JobDriver* s_active;
};
