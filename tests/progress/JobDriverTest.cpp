// The job driver without a window: the log it keeps and the outcome it makes of a job's notices.

#include "progress/JobDriver.h"

#include <gtest/gtest.h>

namespace {

class NoEvents : public EventWriter {
public:
    void Write(WORD, DWORD, const std::vector<std::wstring>&) override {}
};

// Keeps the log's text as a window would, and answers every question as told.
class RecordedView : public JobView {
public:
    explicit RecordedView(bool skip = true) : m_skip(skip) {}
    void AppendLogLine(bool, const std::wstring& text) override { log += text + L"\n"; }
    void ReplaceLogText(size_t start, size_t length, const std::wstring& text) override
    {
        log.replace(start, length, text);
    }
    bool SkipAfter(const std::wstring&) override { return m_skip; }
    int32_t AnswerHolder(HolderQuestion, const std::wstring&) override { return m_skip ? kAnswerSkip : kAnswerTerminate; }
    void ShowFailure(const std::wstring&) override {}
    void JobEnded(const JobSummary&) override {}

    std::wstring log;

private:
    bool m_skip;
};

void Send(JobDriver& driver, int32_t type, const wchar_t* path = nullptr, int32_t code = 0)
{
    driver.HandleNotice({type, path, nullptr, 0, 0, code});
}

TEST(JobDriverTest, LogKeepsEveryProblemAndTheMostRecentOtherLines)
{
    JobSettings settings;
    settings.targets = {L"C:\\d\\"};
    settings.logKeepsLines = 2;
    RecordedView view;
    NoEvents events;
    JobDriver driver(settings, view, events);
    Send(driver, JobStarted);
    for (const wchar_t* file : {L"C:\\d\\a", L"C:\\d\\b"}) {
        Send(driver, FileStarted, file);
        Send(driver, Problem, file, kProblemOpen);
    }
    Send(driver, FileStarted, L"C:\\d\\c");
    Send(driver, JobCompleted);
    EXPECT_EQ(L"Earlier lines were dropped: the log keeps every problem and the most recent other lines.\n"
              L"Error opening C:\\d\\a\nError opening C:\\d\\b\nDeleting file C:\\d\\c\nDeleting completed\n",
              view.log);
}

struct OutcomeCase {
    const char* name;
    int32_t problem; // 0: none
    bool skip;       // the answer to the problem
    bool cancelled;
    int32_t end;
    int exitCode;
};

const OutcomeCase kOutcomes[] = {
    {"every item erased", 0, true, false, JobCompleted, kExitErased},
    {"an item skipped", kProblemWrite, true, false, JobCompleted, kExitProblems},
    {"a folder not removed", kProblemFolderNotRemovable, true, false, JobCompleted, kExitProblems},
    {"stopped by the user's answer", kProblemWrite, false, false, JobTerminated, kExitCancelled},
    {"cancelled", 0, true, true, JobTerminated, kExitCancelled},
    {"stopped by the job itself", kProblemNoMemory, true, false, JobTerminated, kExitFailed},
};

TEST(JobDriverTest, OutcomeOfTheNoticesIsTheExitCode)
{
    for (const OutcomeCase& c : kOutcomes) {
        SCOPED_TRACE(c.name);
        JobSettings settings;
        settings.targets = {L"C:\\d\\"};
        RecordedView view(c.skip);
        NoEvents events;
        JobDriver driver(settings, view, events);
        Send(driver, JobStarted);
        if (c.problem)
            Send(driver, Problem, L"C:\\d\\f", c.problem);
        if (c.cancelled)
            driver.Cancel() = kCancelRequested;
        EXPECT_FALSE(driver.HasEnded());
        Send(driver, c.end);
        EXPECT_TRUE(driver.HasEnded());
        EXPECT_EQ(c.exitCode, driver.ExitCode());
    }
}

} // namespace
