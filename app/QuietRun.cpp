#include "app/QuietRun.h"

#include "app/EraseConfirmation.h"
#include "app/MethodChooser.h"
#include "app/TargetList.h"
#include "engine/TargetPath.h"
#include "progress/job/JobDriver.h"

#include <atomic>

namespace {

// Whether a console's Ctrl+C or Ctrl+Break came, and the job it cancels once one runs. The
// handler runs on a thread of its own.
std::atomic<bool> g_interrupted{false};
std::atomic<CancelFlag*> g_cancelled{nullptr};

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    g_interrupted = true;
    if (CancelFlag* cancel = g_cancelled.load())
        *cancel = kCancelRequested;
    return TRUE;
}

// From the first moment to the last of the quiet run, Ctrl+C cancels rather than ends the process.
class CConsoleControl {
public:
    CConsoleControl() { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
    ~CConsoleControl()
    {
        g_cancelled = nullptr;
        ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    }
    CConsoleControl(const CConsoleControl&) = delete;
    CConsoleControl& operator=(const CConsoleControl&) = delete;

    // A Ctrl+C that came before the job started cancels it as well.
    void Cancels(CancelFlag& cancel)
    {
        g_cancelled = &cancel;
        if (g_interrupted)
            cancel = kCancelRequested;
    }
};

// One of the quiet command's two streams: a file or pipe its caller redirected the stream to
// (UTF-8), else the console of the process that started it; with neither, nowhere.
class CConsoleStream {
public:
    explicit CConsoleStream(DWORD which)
    {
        const HANDLE given = ::GetStdHandle(which);
        const DWORD type = given && given != INVALID_HANDLE_VALUE ? ::GetFileType(given) : FILE_TYPE_UNKNOWN;
        if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
            m_redirected = given;
            return;
        }
        m_console.Reset(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    }

    void Line(const std::wstring& text) const
    {
        const std::wstring line = text + L"\r\n";
        DWORD written = 0;
        if (m_console) {
            ::WriteConsoleW(m_console.Get(), line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
            return;
        }
        if (!m_redirected)
            return;
        const int length = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0,
                                                 nullptr, nullptr);
        std::string bytes(static_cast<size_t>(length), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &bytes[0], length, nullptr,
                              nullptr);
        ::WriteFile(m_redirected, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

private:
    HANDLE m_redirected = nullptr; // the process's own, not closed here
    UniqueFile m_console;
};

// The console of the process that started this one, where there is one.
struct Console {
    Console() : attached(::AttachConsole(ATTACH_PARENT_PROCESS) != FALSE), out(STD_OUTPUT_HANDLE), error(STD_ERROR_HANDLE)
    {
    }
    ~Console()
    {
        if (attached)
            ::FreeConsole();
    }
    const bool attached;
    const CConsoleStream out;
    const CConsoleStream error;
};

// Answers as the command line says, prints each item as it ends and the job's summary.
class CQuietView : public JobView {
public:
    CQuietView(const Console& console, const ProgramCommand& command) : m_console(console), m_command(command) {}

    void ShowItem(const ReportItem& item) override { m_console.out.Line(item.path + L": " + ItemResultText(item)); }

    bool SkipAfter(const std::wstring&) override { return true; }

    int32_t AnswerHolder(HolderQuestion question, const std::wstring&) override
    {
        const bool asked = question == HolderQuestion::Unlock ? m_command.unlock || m_command.kill : m_command.kill;
        return asked ? kAnswerRetry : kAnswerSkip;
    }

    void ShowFailure(const std::wstring& text) override { m_console.error.Line(text); }

    void JobEnded(const JobSummary& summary) override
    {
        const ReportTotals& totals = summary.totals;
        std::wstring line = std::wstring(JobKindText(m_command.wipeFree ? JobKind::FreeSpaceWipe : JobKind::Erase)) + L" "
                            + JobOutcomeText(summary.outcome) + L": " + std::to_wstring(totals.items)
                            + (totals.items == 1 ? L" item" : L" items");
        for (int i = 0; i < ReportItem::kResultCount; ++i) {
            if (totals.byResult[i])
                line += L", " + std::to_wstring(totals.byResult[i]) + L" "
                        + ResultTotalText(static_cast<ReportItem::Result>(i));
        }
        line += L"; " + std::to_wstring(totals.bytes) + L" bytes overwritten. Report: "
                + (summary.reportPath.empty() ? L"none" : summary.reportPath) + L". Exit code "
                + std::to_wstring(summary.exitCode) + L".";
        m_console.out.Line(line);
    }

private:
    const Console& m_console;
    const ProgramCommand& m_command;
};

// What the job is to erase, or the drive to wipe; false, with the reason, where nothing may run.
bool ReviewQuietJob(const ProgramCommand& command, JobSettings& settings, std::wstring& refusal)
{
    if (command.wipeFree) {
        ULONGLONG freeBytes = 0;
        return ReviewWipe(command.wipeDrive, settings.wipeDrive, freeBytes, refusal)
               && (command.reportFile.empty() || ReviewReportFile(command.reportFile, {}, settings.reportFile, refusal));
    }
    std::vector<std::wstring> named = command.named;
    if (!command.listFile.empty()) {
        std::vector<std::wstring> listed;
        if (!TakeTargetList(command.listFile, listed) || listed.empty()) {
            refusal = L"The list of items to delete " + command.listFile + L" cannot be read";
            return false;
        }
        named.insert(named.end(), listed.begin(), listed.end());
    }
    TargetReview review;
    if (!ReviewTargets(named, review, refusal))
        return false;
    for (size_t i = 0; i < review.kept.size(); ++i) {
        if (!review.whole[i].empty() && !command.wholeDrive) {
            refusal = review.whole[i] + L" It is erased only with /wholedrive.";
            return false;
        }
    }
    settings.targets = PathsOf(review.kept);
    return command.reportFile.empty() || ReviewReportFile(command.reportFile, review.kept, settings.reportFile, refusal);
}

} // namespace

int RefuseQuietly(const std::wstring& why)
{
    const Console console;
    console.error.Line(why);
    return kExitNothingRun;
}

int RunQuiet(const ProgramCommand& command, int savedMethodId, const std::wstring& reportFolder)
{
    const Console console;
    CConsoleControl control;
    JobSettings settings;
    std::wstring refusal;
    const bool reviewed = ReviewQuietJob(command, settings, refusal);
    LeaveCurrentDirectory();
    if (!reviewed) {
        console.error.Line(refusal);
        return kExitNothingRun;
    }
    settings.methodId = command.methodId ? command.methodId : savedMethodId;
    settings.reportFolder = reportFolder;
    settings.verifyLastPass = StoredVerifyLastPass();
    CQuietView view(console, command);
    ApplicationEventLog events;
    JobDriver driver(settings, view, events);
    control.Cancels(driver.Cancel());
    driver.Start();
    driver.Wait();
    return driver.ExitCode();
}
