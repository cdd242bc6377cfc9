// The job driver without a window: the log it keeps, the outcome it makes of a job's notices, and
// the report of a real job.

#include "progress/job/JobDriver.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/Links.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>

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
    void ShowFailure(const std::wstring& text) override { failures += text + L"\n"; }
    void JobEnded(const JobSummary&) override {}

    std::wstring log;
    std::wstring failures;

private:
    bool m_skip;
};

void Send(JobDriver& driver, int32_t type, const wchar_t* path = nullptr, int32_t code = 0)
{
    driver.HandleNotice({type, path, nullptr, 0, 0, code});
}

JobSettings OnFolder()
{
    JobSettings settings;
    settings.targets = {L"C:\\d\\"};
    return settings;
}

// A driver that was told that its job started; its view answers every question with Skip, or
// with Stop.
struct StartedJob {
    explicit StartedJob(JobSettings jobSettings, bool skip = true)
        : settings(std::move(jobSettings)), view(skip), driver(settings, view, events)
    {
        Send(driver, JobStarted);
    }

    JobSettings settings;
    RecordedView view;
    NoEvents events;
    JobDriver driver;
};

TEST(JobDriverTest, LogKeepsEveryProblemAndTheMostRecentOtherLines)
{
    JobSettings settings = OnFolder();
    settings.logKeepsLines = 2;
    StartedJob job(settings);
    JobDriver& driver = job.driver;
    for (const wchar_t* file : {L"C:\\d\\a", L"C:\\d\\b"}) {
        Send(driver, FileStarted, file);
        Send(driver, Problem, file, kProblemOpen);
    }
    Send(driver, FileStarted, L"C:\\d\\c");
    Send(driver, JobCompleted);
    EXPECT_EQ(L"Earlier lines were dropped: the log keeps every problem and the most recent other lines.\n"
              L"Error opening C:\\d\\a\nError opening C:\\d\\b\nDeleting file C:\\d\\c\nDeleting completed\n",
              job.view.log);
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
        StartedJob job(OnFolder(), c.skip);
        JobDriver& driver = job.driver;
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

TEST(JobDriverTest, ShortfallsOfErasingAndWipingAreSaid)
{
    const std::wstring drive = L"E:\\";
    const struct {
        const char* name;
        EraseNotice notice;
        const wchar_t* line;
        int exitCode;
    } cases[] = {
        {"a read-back that differs", {Problem, L"C:\\d\\f", nullptr, 0, 0, kProblemVerifyFailed},
         L"Verification failed for C:\\d\\f: what was read back differs from what was written\n", kExitProblems},
        {"a renaming stopped part-way, told only", {Problem, L"C:\\d\\B", nullptr, 0, 0, kProblemRenameStopped},
         L"Renaming stopped at C:\\d\\B: a file of the next name exists\n", kExitErased},
        {"a wipe that skipped a file", WipeIncompleteNotice(drive, 1), L"Wiping incomplete\n", kExitProblems},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool wipe = c.notice.type == WipeIncomplete;
        JobSettings settings;
        if (wipe)
            settings.wipeDrive = drive;
        StartedJob job(wipe ? settings : OnFolder());
        job.driver.HandleNotice(c.notice);
        Send(job.driver, wipe ? JobTerminated : JobCompleted);
        EXPECT_NE(std::wstring::npos, job.view.log.find(c.line)) << ::testing::PrintToString(job.view.log);
        EXPECT_EQ(c.exitCode, job.driver.ExitCode());
    }
}

// The report's JSON with what differs from run to run masked: the folder, the times, the
// computer, the user and the version.
std::string Masked(std::string json, const std::wstring& folder)
{
    std::string escaped;
    for (const wchar_t c : folder)
        escaped += c == L'\\' ? std::string("\\\\") : std::string(1, static_cast<char>(c));
    for (size_t at; (at = json.find(escaped)) != std::string::npos;)
        json.replace(at, escaped.size(), "{dir}");
    for (const char* key : {"\"version\": \"", "\"computer\": \"", "\"user\": \"", "\"local\": \"", "\"utc\": \""}) {
        for (size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
            const size_t start = at + std::strlen(key);
            json.replace(start, json.find('"', start) - start, "*");
        }
    }
    return json;
}

TEST(JobDriverTest, ReportOfAJobWithOneSkippedFile)
{
    TempDir dir;
    dir.MakeFolder(L"d");
    const std::wstring held = dir.WriteFile(L"d\\held.txt", "held");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(held)));
    // Two names of one file: its two bytes count once.
    const std::wstring pair = dir.WriteFile(L"pair.txt", "pp");
    ASSERT_TRUE(::CreateHardLinkW((dir / L"pair2.txt").c_str(), pair.c_str(), nullptr));
    JobSettings settings;
    settings.targets = {dir.WriteFile(L"a.txt", "erased"), pair, dir / L"pair2.txt", dir / L"d\\"};
    settings.methodId = 4;
    settings.reportFile = dir / L"report.json";
    settings.reportFolder = dir / L"gone"; // removed since it was chosen: told, the named report still written
    RecordedView view;
    NoEvents events;
    {
        JobDriver driver(settings, view, events);
        ASSERT_TRUE(driver.Start());
        driver.Wait();
        EXPECT_EQ(kExitProblems, driver.ExitCode());
    }
    EXPECT_NE(std::wstring::npos, view.failures.find(L"The report could not be saved in " + dir / L"gone")) << view.failures;
    EXPECT_EQ(ReadWholeFile(L"Z:" MORVANE_SOURCE_DIR "/tests/progress/golden/report-of-one-skip.json"),
              Masked(ReadWholeFile(settings.reportFile), dir.Path()));
}

} // namespace
