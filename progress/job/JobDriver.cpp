#include "progress/job/JobDriver.h"

#include "engine/TargetPath.h"
#include "progress/ShortenPathForDisplay.h"

#include <algorithm>
#include <cstdio>

JobDriver* JobDriver::s_active = nullptr;

namespace {

const wchar_t kCanceling[] = L"Canceling erasing process";
const wchar_t kLinesDropped[] = L"Earlier lines were dropped: the log keeps every problem and the most recent other lines.";

std::wstring Shown(const EraseNotice& notice, int maxLength)
{
    return ShortenPathForDisplay(maxLength, notice.path ? notice.path : L"");
}

std::wstring OwnerOf(const EraseNotice& notice)
{
    return notice.owner ? notice.owner : L"";
}

std::wstring SystemMessage(DWORD code)
{
    wchar_t* message = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     code, 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    std::wstring text = message ? message : L"error " + std::to_wstring(code);
    ::LocalFree(message);
    text.erase(text.find_last_not_of(L"\r\n .") + 1);
    return text;
}

std::wstring WipePhaseText(WipePhase phase, const std::wstring& drive)
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
    case kProblemNoMemory:
        return L"Not enough memory to go on wiping";
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
    default:
        return L"The free space of " + drive + L" cannot be wiped: " + SystemMessage(static_cast<DWORD>(code));
    }
}

// The report's kinds and results, in the order of the engine's ItemKind and ItemOutcome.
const ReportItem::Kind kReportKinds[] = {ReportItem::Kind::File, ReportItem::Kind::FileWithStreams,
                                         ReportItem::Kind::Link, ReportItem::Kind::Folder, ReportItem::Kind::Drive};
const ReportItem::Result kReportResults[] = {ReportItem::Result::Erased,     ReportItem::Result::NamesRemoved,
                                             ReportItem::Result::LinkRemoved, ReportItem::Result::Skipped,
                                             ReportItem::Result::NotRemoved,  ReportItem::Result::Interrupted};

// Why an item is skipped or not removed where this problem is the last asked about it; `holder`
// names the process that holds it, where the problem says one does.
std::wstring ReasonOf(int32_t code, const std::wstring& holder)
{
    const std::wstring held = L"held open by " + (holder.empty() ? L"another program" : holder);
    switch (code) {
    case 0:
        return std::wstring();
    case kProblemFileLocked:
    case kProblemCloseHandleFailed:
    case kProblemKillFailed:
    case kProblemFolderInUse:
    case kProblemFolderInUseAgain:
    case kProblemFolderStillInUse:
        return held;
    case kProblemFileHeldByWindows:
    case kProblemFolderHeldByWindows:
        return held + L", a part of Windows itself";
    case kProblemOpen:
        return L"it could not be opened";
    case kProblemSeek:
    case kProblemWrite:
        return L"it could not be written";
    case kProblemDeleteFailed:
        return L"overwritten, but it could not be deleted";
    case kProblemFolderNotRemovable:
        return L"it could not be removed";
    case kProblemFolderNotEmpty:
        return L"it still holds items that were not erased";
    case kProblemLinkNotRemovable:
        return L"it cannot be removed without touching what it points to";
    case kProblemNoMemory:
        return L"not enough memory";
    case kProblemStreamsNotListed:
        return L"its named streams could not be listed";
    case kProblemRootNotListed:
        return L"the drive could not be read";
    case kProblemVerifyFailed:
        return L"what was read back differs from what was written";
    case kProblemFileGrew:
        return L"another program kept writing to it";
    default:
        return SystemMessage(static_cast<DWORD>(code));
    }
}

bool IsFolderCode(int32_t code)
{
    return code == kProblemFolderInUse || code == kProblemFolderInUseAgain || code == kProblemFolderStillInUse
           || code == kProblemFolderHeldByWindows;
}

// "E:\" for a path on a drive letter, in either form; empty for any other.
std::wstring DriveOfPath(const std::wstring& path)
{
    const std::wstring plain = PlainPath(path);
    return plain.size() >= 3 && plain[2] == L'\\' ? DriveRootOf(plain.substr(0, 2).c_str()) : std::wstring();
}

// A path's characters that would break a line of the log, where its positions are counted.
std::wstring OneLine(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c < 0x20)
            c = L'\xFFFD';
    }
    return text;
}

// "Tarnwick report 2026-12-08 153012" in the folder, with " (2)", " (3)", ... where a report of
// that second is there already; the page and the JSON get the same name.
std::wstring NewReportName(const std::wstring& folder, const ReportTime& time)
{
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u-%02u-%02u %02u%02u%02u", time.local.wYear, time.local.wMonth, time.local.wDay,
             time.local.wHour, time.local.wMinute, time.local.wSecond);
    const std::wstring base = folder + (folder.empty() || folder.back() == L'\\' ? L"" : L"\\") + L"Tarnwick report "
                              + stamp;
    std::wstring name = base;
    for (int n = 2; n < 100 && (::GetFileAttributesW((name + L".html").c_str()) != INVALID_FILE_ATTRIBUTES
                                || ::GetFileAttributesW((name + L".json").c_str()) != INVALID_FILE_ATTRIBUTES);
         ++n)
        name = base + L" (" + std::to_wstring(n) + L")";
    return name;
}

// ERROR_SUCCESS, or why the report is not in the file; a file left half written is removed.
DWORD WriteReportFile(ErasureReport& report, const std::wstring& path, ReportFormat format, DWORD disposition)
{
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
    if (!file)
        return ::GetLastError();
    if (report.WriteTo(file.Get(), format))
        return ERROR_SUCCESS;
    const DWORD error = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_WRITE_FAULT;
    FILE_DISPOSITION_INFO dispose = {TRUE};
    ::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &dispose, sizeof(dispose));
    return error;
}

int ExitCodeOf(JobOutcome outcome)
{
    static const int kExitCodes[] = {kExitErased, kExitProblems, kExitCancelled, kExitFailed};
    return kExitCodes[static_cast<int>(outcome)];
}

} // namespace

JobDriver::JobDriver(const JobSettings& settings, JobView& view, EventWriter& events)
    : m_settings(settings), m_view(view), m_events(events)
{
}

JobDriver::~JobDriver()
{
    Wait();
    if (s_active == this)
        s_active = nullptr;
}

bool JobDriver::Start()
{
    s_active = this;
    ReportHead head;
    head.kind = Kind();
    head.methodId = m_settings.methodId;
    head.verification = m_settings.verifyLastPass;
    head.started = ReportTime::Now();
    head.TakeThisComputer();
    // Without its temporary files the job runs all the same; only its report is missing.
    m_report.Begin(head);
    m_job = EraseJob{m_settings.targets, m_settings.methodId, OnNotice, &m_cancel, nullptr, m_settings.verifyLastPass};
    m_wipeJob = WipeJob{m_settings.wipeDrive, m_settings.methodId, OnNotice, &m_cancel, m_settings.verifyLastPass, nullptr};
    m_worker.Reset(::CreateThread(nullptr, 0, IsWipe() ? RunWipeJob : RunEraseJob,
                                  IsWipe() ? static_cast<void*>(&m_wipeJob) : &m_job, 0, nullptr));
    if (m_worker)
        return true;
    // No job can run: said, and ended as any job.
    Log(true, L"Not enough resources to start deleting");
    EndOfJob(false);
    return false;
}

void JobDriver::Wait()
{
    if (m_worker)
        ::WaitForSingleObject(m_worker.Get(), INFINITE);
}

int32_t JobDriver::OnNotice(EraseNotice* notice)
{
    JobDriver* driver = s_active;
    return driver && notice ? driver->HandleNotice(*notice) : kNoAnswer;
}

int32_t JobDriver::HandleNotice(const EraseNotice& notice)
{
    switch (notice.type) {
    case JobStarted:
        WriteJobStarted(m_events, {Kind(), ItemCount(), m_settings.methodId});
        Log(false, IsWipe() ? L"Starting to wipe the free space of " + m_settings.wipeDrive : L"Starting to delete");
        break;
    case WipePhaseStarted: {
        const std::wstring text = WipePhaseText(PhaseOf(notice), Shown(notice, 0));
        Log(false, text);
        m_view.ShowCurrent(text);
        break;
    }
    case WipeFreeSpace:
        if (MomentOf(notice) == kFreeBeforeWipe)
            m_freeBytes = FreeBytesOf(notice);
        Log(false, (MomentOf(notice) == kFreeBeforeWipe ? L"Free space of " : L"Free space after the wipe of ")
                       + Shown(notice, 0) + L": " + ByteSizeText(FreeBytesOf(notice)));
        break;
    case WipeIncomplete:
        m_wipeIncomplete = true;
        m_wipeFailure = std::to_wstring(FillFilesSkippedOf(notice)) + L" of the wipe's files were skipped: part of the "
                        L"free space of " + Shown(notice, 0) + L" may still hold what it held";
        Log(true, m_wipeFailure);
        break;
    case JobCompleted:
    case JobTerminated:
        EndOfJob(notice.type == JobCompleted);
        break;
    case Progress:
        m_view.ShowProgress(notice.filePercent, notice.totalPercent);
        m_view.ShowCount(notice.count);
        break;
    case Counted:
        m_view.ShowCount(notice.count);
        break;
    case FileStarted:
        Log(false, L"Deleting file " + Shown(notice, 0));
        m_view.ShowCurrent(Shown(notice, 60));
        break;
    case FolderStarted:
        Log(false, L"Deleting folder " + Shown(notice, 0));
        m_view.ShowCurrent(Shown(notice, 60));
        break;
    case ItemFinished:
        FinishItem(notice);
        break;
    case Problem:
        return HandleProblem(notice);
    default:
        break;
    }
    return kNoAnswer;
}

int32_t JobDriver::HandleProblem(const EraseNotice& notice)
{
    const int32_t code = notice.code;
    // The wipe's own problems; failed writes and read-backs of its files are asked about as for
    // erasing.
    if (IsWipe() && code != kProblemSeek && code != kProblemWrite && code != kProblemVerifyFailed)
        return HandleWipeProblem(notice);
    const bool folder = IsFolderCode(code);
    const std::wstring path = Shown(notice, 0);
    const std::wstring skippedLine = (folder ? L"Directory " : L"File ") + path + L" is skipped";
    const std::wstring usedBy = std::wstring(folder ? L"directory is used by " : L"file is used by ") + OwnerOf(notice);
    const std::wstring lockedLine = (folder ? L"Error deleting " : L"Error opening ") + path + L" " + usedBy;
    m_lastProblem = ReasonOf(code, OwnerOf(notice));

    switch (code) {
    case kProblemFolderNotRemovable:
        Log(true, L"Error deleting folder " + path);
        ++m_answeredSkip;
        return kAnswerSkip;
    case kProblemFolderNotEmpty:
        Log(true, L"Folder " + path + L" not removed: not empty");
        ++m_answeredSkip;
        return kAnswerSkip;
    case kProblemLinkNotRemovable:
        Log(true, L"Link " + path + L" not removed: it cannot be removed without touching what it points to");
        ++m_answeredSkip;
        return kAnswerSkip;
    case kProblemSeek:
    case kProblemWrite:
        Log(true, L"Error writing " + path);
        return AskToSkip(L"Error writing " + Shown(notice, 260) + L" do you want to skip this file?", skippedLine);
    case kProblemOpen:
        Log(true, L"Error opening " + path);
        return AskToSkip(L"Error opening " + Shown(notice, 260) + L" do you want to skip this file?", skippedLine);
    case kProblemStreamsNotListed:
        Log(true, L"Error listing the named streams of " + path);
        return AskToSkip(L"Error listing the named streams of " + Shown(notice, 260) + L" do you want to skip it?",
                         skippedLine);
    case kProblemRootNotListed:
        Log(true, L"Error reading drive " + path);
        return AskToSkip(L"Error reading drive " + Shown(notice, 260) + L" do you want to skip it?",
                         L"Drive " + path + L" is skipped");
    case kProblemVerifyFailed:
        Log(true, L"Verification failed for " + path + L": what was read back differs from what was written");
        return AskToSkip(L"Verification failed for " + Shown(notice, 260) + L" do you want to skip this file?", skippedLine);
    case kProblemFileGrew:
        Log(true, L"File " + path + L" kept growing while it was overwritten");
        return AskToSkip(L"File " + Shown(notice, 260) + L" kept growing while it was overwritten: another program "
                             L"writes to it. Do you want to skip this file?",
                         skippedLine);
    case kProblemRenameStopped:
        // Told only: the file is deleted under the name it reached.
        Log(true, L"Renaming stopped at " + path + L": a file of the next name exists");
        m_lastProblem.clear();
        return kNoAnswer;
    case kProblemDeleteFailed:
        // Overwritten, but still there under a scrambled name: the user decides.
        Log(true, L"Error deleting " + path);
        return AskToSkip(L"Error deleting " + Shown(notice, 260) + L" do you want to skip this file?", skippedLine);
    case kProblemFileLocked:
    case kProblemFolderInUse:
        Log(true, lockedLine);
        return AskAboutHolder(HolderQuestion::Unlock,
                              (folder ? L"Directory " : L"File ") + Shown(notice, 30) + L" is used by " + OwnerOf(notice)
                                  + L"\nDo you want to try to unlock it?",
                              L"Trying to unlock " + path, skippedLine);
    case kProblemCloseHandleFailed:
    case kProblemFolderInUseAgain:
        Log(true, lockedLine);
        return AskAboutHolder(HolderQuestion::Kill,
                              (folder ? L"Failed to unlock directory " : L"Failed to unlock file ") + Shown(notice, 30)
                                  + L" used by " + OwnerOf(notice) + L"\nDo you want to try to kill this process?",
                              L"Trying to kill process that uses " + path, skippedLine);
    case kProblemFileHeldByWindows:
    case kProblemFolderHeldByWindows:
        Log(true, lockedLine + L", a part of Windows itself");
        return AskToSkip((folder ? L"Directory " : L"File ") + Shown(notice, 260) + L" is held by Windows itself ("
                             + OwnerOf(notice) + L") and cannot be freed. Do you want to skip this "
                             + (folder ? L"directory?" : L"file?"),
                         skippedLine);
    case kProblemKillFailed:
    case kProblemFolderStillInUse:
        Log(true, L"Failed to kill the process that uses " + path);
        return AskToSkip(std::wstring(L"Failed to kill the process. Do you want to skip this ")
                             + (folder ? L"directory?" : L"file?"),
                         skippedLine);
    default:
        return kNoAnswer;
    }
}

int32_t JobDriver::HandleWipeProblem(const EraseNotice& notice)
{
    m_wipeFailure = WipeProblemText(notice.code, Shown(notice, 0), m_settings.wipeDrive);
    Log(true, m_wipeFailure);
    m_view.ShowFailure(m_wipeFailure);
    return kNoAnswer;
}

int32_t JobDriver::AskToSkip(const std::wstring& question, const std::wstring& skippedLine)
{
    if (m_view.SkipAfter(question)) {
        Log(false, skippedLine);
        ++m_answeredSkip;
        return kAnswerSkip;
    }
    Log(false, kCanceling);
    m_answeredTerminate = true;
    return kAnswerTerminate;
}

int32_t JobDriver::AskAboutHolder(HolderQuestion question, const std::wstring& text, const std::wstring& retryLine,
                                  const std::wstring& skippedLine)
{
    const int32_t answer = m_view.AnswerHolder(question, text);
    Log(false, answer == kAnswerRetry ? retryLine : answer == kAnswerSkip ? skippedLine : kCanceling);
    m_answeredSkip += answer == kAnswerSkip ? 1 : 0;
    m_answeredTerminate = m_answeredTerminate || (answer != kAnswerRetry && answer != kAnswerSkip);
    return answer;
}

void JobDriver::Log(bool problem, const std::wstring& text)
{
    const std::wstring line = OneLine(text);
    m_view.AppendLogLine(problem, line);
    const LogLine added = {line.size() + 1, problem};
    if (problem && m_lines.empty()) {
        m_keptAtTop += added.length;
        return;
    }
    m_lines.push_back(added);
    if (!problem && ++m_otherLines > m_settings.logKeepsLines)
        DropOldestLine();
}

void JobDriver::DropOldestLine()
{
    if (m_noteLength == 0) {
        const std::wstring note = std::wstring(kLinesDropped) + L"\n";
        m_view.ReplaceLogText(0, 0, note);
        m_noteLength = note.size();
    }
    m_view.ReplaceLogText(m_noteLength + m_keptAtTop, m_lines.front().length, L"");
    m_lines.pop_front();
    --m_otherLines;
    for (; !m_lines.empty() && m_lines.front().problem; m_lines.pop_front())
        m_keptAtTop += m_lines.front().length;
}

void JobDriver::FinishItem(const EraseNotice& notice)
{
    const ItemEnd& end = notice.item;
    if (end.kind == ItemKind::Folder && end.outcome == ItemOutcome::Erased)
        Log(false, L"Folder " + Shown(notice, 0) + L" deleted");
    else if (end.kind == ItemKind::DriveRoot && end.outcome == ItemOutcome::Erased)
        Log(false, L"Content of drive " + Shown(notice, 0) + L" deleted");
    else if (end.outcome == ItemOutcome::NamesRemoved)
        Log(false, L"Name " + Shown(notice, 0) + L" deleted; the file keeps its content under its other names");
    if (end.mayRemainInFreeSpace) {
        const std::wstring drive = DriveOfPath(notice.path ? notice.path : L"");
        Log(true, L"Earlier clusters of " + Shown(notice, 0) + L" may remain in the drive's free space: a free-space "
                  L"wipe of the drive removes them");
        if (!drive.empty() && std::find(m_drivesToWipe.begin(), m_drivesToWipe.end(), drive) == m_drivesToWipe.end())
            m_drivesToWipe.push_back(drive);
    }
    ReportItem item;
    item.path = PlainPath(notice.path ? notice.path : L"");
    item.kind = kReportKinds[static_cast<int>(end.kind)];
    item.size = end.size;
    item.result = kReportResults[static_cast<int>(end.outcome)];
    item.verified = end.verified;
    item.earlierClustersMayRemain = end.mayRemainInFreeSpace;
    item.erasedWithAnotherName = end.erasedWithAnotherName;
    if (item.result == ReportItem::Result::Skipped || item.result == ReportItem::Result::NotRemoved)
        item.reason = m_lastProblem.empty() ? ReasonOf(notice.code, L"") : m_lastProblem;
    m_lastProblem.clear();
    RecordItem(item);
}

void JobDriver::RecordItem(const ReportItem& item)
{
    m_report.Add(item);
    m_view.ShowItem(item);
}

JobOutcome JobDriver::Outcome(bool completed) const
{
    if (m_answeredTerminate || m_cancel.load() == kCancelRequested)
        return JobOutcome::Cancelled;
    if (!completed)
        return JobOutcome::StoppedByError;
    const ReportTotals& totals = m_report.Totals();
    return m_answeredSkip || totals.Count(ReportItem::Result::Skipped) || totals.Count(ReportItem::Result::NotRemoved)
               ? JobOutcome::CompletedWithProblems
               : JobOutcome::Completed;
}

void JobDriver::EndOfJob(bool completed)
{
    if (IsWipe()) {
        ReportItem freeSpace;
        freeSpace.path = m_settings.wipeDrive;
        freeSpace.kind = ReportItem::Kind::FreeSpace;
        freeSpace.size = m_freeBytes;
        freeSpace.result = completed ? ReportItem::Result::Erased : ReportItem::Result::Skipped;
        freeSpace.reason = completed ? L"" : m_wipeFailure.empty() ? L"the wipe was stopped" : m_wipeFailure;
        RecordItem(freeSpace);
    }
    m_view.ShowCount({0, 0, true});
    // A wipe that ran to its end with files skipped is done, with problems.
    const JobOutcome outcome = Outcome(completed || m_wipeIncomplete);
    m_report.End(outcome, ReportTime::Now());
    const std::wstring reportPath = WriteReports();
    WriteJobEnded(m_events,
                  {Kind(), ItemCount(), m_report.Totals().bytes, m_settings.methodId, outcome, reportPath});
    if (IsWipe())
        Log(false, completed ? L"Wiping completed" : m_wipeIncomplete ? L"Wiping incomplete" : L"Wiping terminated");
    else
        Log(false, completed ? L"Deleting completed" : L"Deleting terminated");
    m_exitCode = ExitCodeOf(outcome);
    // The report asked for by name is part of what the job was to do.
    if (!m_settings.reportFile.empty() && reportPath != m_settings.reportFile && m_exitCode == kExitErased)
        m_exitCode = kExitProblems;
    m_ended = true;
    m_view.JobEnded({outcome, m_exitCode, m_report.Totals(), reportPath});
}

// The report named for the job, then the copies for the folder. The path the end event names.
std::wstring JobDriver::WriteReports()
{
    std::wstring written;
    ReportFormat format = ReportFormat::Html;
    if (!m_settings.reportFile.empty() && ReportFormatOf(m_settings.reportFile, format)) {
        const DWORD error = WriteReportFile(m_report, m_settings.reportFile, format, CREATE_ALWAYS);
        if (error == ERROR_SUCCESS) {
            written = m_settings.reportFile;
        } else {
            const std::wstring text = L"The report could not be written to " + m_settings.reportFile + L": "
                                      + SystemMessage(error);
            Log(true, text);
            m_view.ShowFailure(text);
        }
    }
    if (m_settings.reportFolder.empty())
        return written;
    const std::wstring name = NewReportName(m_settings.reportFolder, ReportTime::Now());
    DWORD error = WriteReportFile(m_report, name + L".html", ReportFormat::Html, CREATE_NEW);
    if (error == ERROR_SUCCESS)
        error = WriteReportFile(m_report, name + L".json", ReportFormat::Json, CREATE_NEW);
    if (error != ERROR_SUCCESS) {
        // Beyond the log: a quiet run prints no log, and reports its owner counts on are missing.
        const std::wstring text = L"The report could not be saved in " + m_settings.reportFolder + L": " + SystemMessage(error);
        Log(true, text);
        m_view.ShowFailure(text);
        return written;
    }
    Log(false, L"Report saved as " + name + L".html and .json");
    return written.empty() ? name + L".html" : written;
}

bool JobDriver::SaveReport(const std::wstring& path)
{
    ReportFormat format;
    return m_ended && ReportFormatOf(path, format)
           && WriteReportFile(m_report, path, format, CREATE_ALWAYS) == ERROR_SUCCESS;
}
