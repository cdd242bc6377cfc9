#include "engine/EraseWorker.h"

#include "engine/EraserFileNTFS.h"
#include "engine/TargetPath.h"
#include "locks/HandleOwner.h"
#include "locks/UnlockActions.h"
#include "win32/ScopedHandle.h"

#include <algorithm>
#include <cwchar>
#include <new>

namespace {

bool EndsWithSeparator(const std::wstring& path)
{
    return !path.empty() && path.back() == L'\\';
}

bool IsLinkEntry(const WIN32_FIND_DATAW& entry)
{
    return EraseWorker::IsLink(entry.dwFileAttributes, entry.dwReserved0);
}

bool PathIsLink(const std::wstring& path, DWORD attributes)
{
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    std::wstring entryPath = path;
    while (EndsWithSeparator(entryPath))
        entryPath.pop_back();
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(::FindFirstFileW(entryPath.c_str(), &entry));
    return !find || IsLinkEntry(entry);
}

ULONGLONG SizeOfFile(const std::wstring& path)
{
    UniqueFile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size;
    return file && ::GetFileSizeEx(file.Get(), &size) ? static_cast<ULONGLONG>(size.QuadPart) : 0;
}

} // namespace

EraseWorker::EraseWorker(const EraseJob& job)
    : m_targets(job.targets), m_notify(job.notify), m_cancel(job.cancel),
      m_streams(job.streams ? *job.streams : SystemFileStreams()), m_methodId(job.methodId),
      m_method(CreateEraseMethod(job.methodId))
{
}

bool EraseWorker::IsLink(DWORD attributes, DWORD reparseTag)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag));
}

bool EraseWorker::StopRequested() const
{
    return ::StopRequested(m_cancel);
}

void EraseWorker::Run()
{
    SendNotice(m_notify, JobStarted);
    if (m_targets.empty() || std::find(m_targets.begin(), m_targets.end(), std::wstring()) != m_targets.end()) {
        // An empty target would make the walk list the current directory.
        SendNotice(m_notify, Problem, L"", nullptr, 0, 0, kProblemOpen);
        SendNotice(m_notify, JobTerminated);
        return;
    }
    if (!m_method) {
        SendNotice(m_notify, Problem, nullptr, nullptr, 0, 0, kProblemNoMemory);
        SendNotice(m_notify, JobTerminated);
        return;
    }

    for (const std::wstring& target : m_targets)
        CollectTargets(target);
    m_totalSize = ContentToWrite();
    m_context = {};
    m_context.cancel = m_cancel;

    for (const FileTarget& file : m_files) {
        if (StopRequested())
            break;
        if (!EraseOneFile(file)) {
            m_failed = true;
            break;
        }
    }
    if (!StopRequested()) {
        for (const std::wstring& folder : m_folders) {
            if (StopRequested())
                break;
            if (!RemoveOneFolder(folder)) {
                m_failed = true;
                break;
            }
        }
    }

    m_files.clear();
    m_folders.clear();
    SendNotice(m_notify, StopRequested() || m_failed ? JobTerminated : JobCompleted);
}

void EraseWorker::CollectTargets(const std::wstring& target)
{
    // An unreadable target has every attribute bit set and so counts as a folder.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    // A root is what the drive is, never a link to elsewhere.
    const bool isLink = !IsVolumeRoot(target) && PathIsLink(target, attributes);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        AddFile(target, isLink, isLink ? 0 : SizeOfFile(target));
    } else {
        // The walk appends names to the folder path: without its separator the pattern would
        // list the folder's siblings instead of its content.
        const std::wstring folder = EndsWithSeparator(target) ? target : target + L"\\";
        if (!isLink)
            CollectFolder(folder);
        m_folders.push_back(folder);
    }
}

void EraseWorker::AddFile(const std::wstring& path, bool isLink, ULONGLONG size)
{
    FileTarget file = {path, isLink, FileIdentity(), 0};
    if (!isLink) {
        if (QueryFileIdentity(path.c_str(), file.identity) && file.identity.names > 1)
            ++m_namesInJob[file.identity];
        for (const NamedStream& stream : m_streams.List(path))
            size += stream.size;
        file.size = size;
    }
    m_files.push_back(std::move(file));
}

// A file with several names counts once, and not at all where its content stays.
ULONGLONG EraseWorker::ContentToWrite() const
{
    ULONGLONG total = 0;
    std::set<FileIdentity> counted;
    for (const FileTarget& file : m_files) {
        if (file.identity.names > 1 && (FateOf(file.identity) != ContentFate::Overwrite || !counted.insert(file.identity).second))
            continue;
        total += file.size;
    }
    return total;
}

EraseWorker::ContentFate EraseWorker::FateOf(const FileIdentity& identity) const
{
    // Asked first: the names already removed no longer count among the file's names.
    if (m_overwritten.count(identity))
        return ContentFate::AlreadyErased;
    if (identity.names <= 1)
        return ContentFate::Overwrite;
    const auto inJob = m_namesInJob.find(identity);
    const DWORD namesInJob = inJob == m_namesInJob.end() ? 1 : inJob->second;
    return identity.names > namesInJob ? ContentFate::KeptForOutside : ContentFate::Overwrite;
}

// Depth first: the files of a sub-folder follow in the order met, and every folder comes
// after all folders below it. Iterative, so that no depth of nesting can exhaust the stack.
void EraseWorker::CollectFolder(const std::wstring& top)
{
    struct Level {
        std::wstring folder;
        UniqueFindHandle find;
    };
    std::vector<Level> levels;
    WIN32_FIND_DATAW entry;
    levels.push_back({top, UniqueFindHandle(::FindFirstFileW((top + L"*.*").c_str(), &entry))});
    bool haveEntry = levels.back().find.IsValid();
    while (!levels.empty()) {
        if (!haveEntry) {
            const std::wstring finished = levels.back().folder;
            levels.pop_back();
            if (levels.empty())
                break;
            m_folders.push_back(finished);
            haveEntry = ::FindNextFileW(levels.back().find.Get(), &entry) != FALSE;
            continue;
        }
        const std::wstring name = entry.cFileName;
        const std::wstring& folder = levels.back().folder;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != L"." && name != L"..") {
                const std::wstring sub = folder + name + L"\\";
                if (!IsLinkEntry(entry)) {
                    WIN32_FIND_DATAW first;
                    UniqueFindHandle find(::FindFirstFileW((sub + L"*.*").c_str(), &first));
                    if (find) {
                        levels.push_back({sub, std::move(find)});
                        entry = first;
                        continue;
                    }
                }
                m_folders.push_back(sub);
            }
        } else {
            const bool isLink = IsLinkEntry(entry);
            AddFile(folder + name, isLink, isLink ? 0 : (static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
        }
        haveEntry = ::FindNextFileW(levels.back().find.Get(), &entry) != FALSE;
    }
}

bool EraseWorker::EraseOneFile(const FileTarget& target)
{
    const wchar_t* path = target.path.c_str();
    SendNotice(m_notify, FileStarted, path);
    if (target.isLink)
        return RemoveLink(target.path);

    // Names are counted again: one may have been added or removed since the walk.
    FileIdentity identity = target.identity;
    if (identity.names > 1)
        QueryFileIdentity(path, identity);
    ContentFate fate = FateOf(identity);
    if (fate != ContentFate::Overwrite)
        return RemoveName(target.path, fate == ContentFate::KeptForOutside);

    CEraserFileNTFS file;
    Holders holders;
    OpenSharing sharing = kOpenAlone;
    for (;;) {
        const OpenResult result = file.Open(path, sharing);
        if (result == kOpenOk)
            break;
        HolderEnd end = result == kOpenLocked ? AskAboutHolder(target.path, target.path, false, holders) : HolderEnd::NoHolder;
        if (end == HolderEnd::NoHolder) {
            const int32_t answer = SendNotice(m_notify, Problem, path, nullptr, 0, 0, kProblemOpen);
            if (answer == kAnswerRetry)
                continue;
            end = answer == kAnswerSkip ? HolderEnd::Skipped : HolderEnd::Stopped;
        }
        if (end == HolderEnd::Freed) {
            sharing = kOpenBesideHolders;
            continue;
        }
        file.Close();
        return end == HolderEnd::Skipped;
    }

    // The open handle has the last word on the names: a link made after they were counted
    // must not lose its content either.
    if (file.Identity(identity) && (fate = FateOf(identity)) != ContentFate::Overwrite) {
        file.Close();
        return RemoveName(target.path, fate == ContentFate::KeptForOutside);
    }
    const StepEnd end = OverwriteContent(file, target.path);
    file.Close();
    if (end == StepEnd::Stopped)
        return false;
    // A cancelled file keeps its name and what was written so far; a file skipped after a
    // failed write keeps its name and is not deleted as if it had been overwritten.
    if (StopRequested() || end == StepEnd::Skipped)
        return true;
    if (identity.names > 1)
        m_overwritten.insert(identity);

    SendNotice(m_notify, FileOverwritten, path);
    return DeleteScrambled(target.path) != StepEnd::Stopped;
}

// The main data, then every named stream, each with all of the method's passes.
EraseWorker::StepEnd EraseWorker::OverwriteContent(CEraserFileNTFS& file, const std::wstring& path)
{
    StepEnd end = RunMethod(file, path);
    if (end != StepEnd::Done)
        return end;
    for (const NamedStream& stream : m_streams.List(path)) {
        if (StopRequested())
            return StepEnd::Done;
        for (;;) {
            OpenResult result = kOpenFailed;
            const std::unique_ptr<CEraserFile> streamFile = m_streams.Open(stream, result);
            if (streamFile) {
                end = RunMethod(*streamFile, stream.path);
                streamFile->Close();
                break;
            }
            const int32_t answer = SendNotice(m_notify, Problem, stream.path.c_str(), nullptr, 0, 0, kProblemOpen);
            if (answer == kAnswerRetry)
                continue;
            end = answer == kAnswerSkip ? StepEnd::Skipped : StepEnd::Stopped;
            break;
        }
        if (end != StepEnd::Done)
            return end;
    }
    return StepEnd::Done;
}

EraseWorker::StepEnd EraseWorker::RunMethod(CEraserFile& file, const std::wstring& path)
{
    m_context.file = &file;
    m_context.notify = m_notify;
    m_context.path = path.c_str();
    m_context.totalSize = m_totalSize;
    m_context.passCount = PassCountOfMethod(m_methodId);
    m_context.fileSize = 0; // an empty file leaves it untouched: nothing counts for it
    if (!m_method->Erase(&m_context))
        return StepEnd::Stopped;
    m_context.doneBefore += m_context.fileSize;
    return m_method->LastFileSkipped() ? StepEnd::Skipped : StepEnd::Done;
}

EraseWorker::StepEnd EraseWorker::DeleteScrambled(const std::wstring& path)
{
    // A name another process holds is that holder's question before it is an error.
    Holders holders;
    StepEnd end = StepEnd::Done;
    const RetryRename retryHeld = [&](DWORD error, const std::wstring& current) {
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)
            return false;
        const HolderEnd asked = AskAboutHolder(current, path, false, holders);
        if (asked == HolderEnd::Skipped || asked == HolderEnd::Stopped)
            end = asked == HolderEnd::Skipped ? StepEnd::Skipped : StepEnd::Stopped;
        return asked == HolderEnd::Freed;
    };
    const std::wstring lastName = ScrambleName(path, retryHeld);
    while (end == StepEnd::Done) {
        if (::DeleteFileW(lastName.c_str()))
            return StepEnd::Done;
        if (!retryHeld(::GetLastError(), lastName))
            break;
    }
    if (end != StepEnd::Done)
        return end;
    // Skipped, the file stays under its scrambled name.
    return SendNotice(m_notify, Problem, path.c_str(), nullptr, 0, 0, kProblemDeleteFailed) == kAnswerSkip
               ? StepEnd::Skipped
               : StepEnd::Stopped;
}

EraseWorker::Holders::Step EraseWorker::Holders::NextFor(DWORD processId) const
{
    return m_killed.count(processId) ? KillFailed : m_unlocked.count(processId) ? Kill : Unlock;
}

void EraseWorker::Holders::Tried(DWORD processId, Step step)
{
    (step == Unlock ? m_unlocked : m_killed).insert(processId);
}

// The process that holds `current` open, if one can be found, gets the next question for it;
// the answer is carried out on the very process and handle the question named, which the
// lookup keeps until then. `shown` is the name the user knows the item by.
EraseWorker::HolderEnd EraseWorker::AskAboutHolder(const std::wstring& current, const std::wstring& shown,
                                                   bool isFolder, Holders& holders)
{
    LockOwnerInfo owner = {};
    if (!FindHandleOwner(current, owner))
        return HolderEnd::NoHolder;
    static const int32_t kCodes[2][3] = {
        {kProblemFileLocked, kProblemCloseHandleFailed, kProblemKillFailed},
        {kProblemFolderInUse, kProblemFolderInUseAgain, kProblemFolderStillInUse},
    };
    const Holders::Step step = holders.NextFor(owner.ProcessId);
    const int32_t answer = SendNotice(m_notify, Problem, shown.c_str(), owner.ProcessName, 0, 0, kCodes[isFolder][step]);
    // Once ending the holder failed, there is nothing further to try.
    if (answer != kAnswerRetry || step == Holders::KillFailed)
        return answer == kAnswerSkip ? HolderEnd::Skipped : HolderEnd::Stopped;
    holders.Tried(owner.ProcessId, step);
    if (step == Holders::Unlock)
        CloseOwnerHandle(owner);
    else
        KillOwner(owner);
    return HolderEnd::Freed;
}

// Only the name goes. Read-only belongs to the file, not to the name, so a file that keeps its
// content elsewhere gets it back once the name is gone.
bool EraseWorker::RemoveName(const std::wstring& path, bool contentKept)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    UniqueFile file;
    if (readOnly) {
        file.Reset(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    const StepEnd end = DeleteScrambled(path);
    if (file) {
        FILE_BASIC_INFO basic = {};
        basic.FileAttributes = attributes;
        ::SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof(basic));
    }
    if (end == StepEnd::Done && contentKept)
        SendNotice(m_notify, NameRemoved, path.c_str());
    return end != StepEnd::Stopped;
}

bool EraseWorker::RemoveLink(const std::wstring& path)
{
    // Deleting a link removes the link alone; what it points to stays as it is.
    for (;;) {
        if (::DeleteFileW(path.c_str()))
            return true;
        const int32_t answer = SendNotice(m_notify, Problem, path.c_str(), nullptr, 0, 0, kProblemOpen);
        if (answer != kAnswerRetry)
            return answer == kAnswerSkip;
    }
}

std::wstring EraseWorker::ScrambleName(const std::wstring& path, const RetryRename& retry)
{
    const size_t nameStart = path.find_last_of(L'\\') + 1; // 0 when there is no folder part
    std::wstring current = path;
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        std::wstring next = path;
        for (size_t i = nameStart; i < next.size(); ++i) {
            if (next[i] != L'.')
                next[i] = letter;
        }
        // Never replaces: a file that already has the name stops the renaming instead.
        bool moved = ::MoveFileW(current.c_str(), next.c_str()) != FALSE;
        while (!moved && retry && retry(::GetLastError(), current))
            moved = ::MoveFileW(current.c_str(), next.c_str()) != FALSE;
        if (!moved)
            break;
        current = next;
    }
    return current;
}

bool EraseWorker::RemoveOneFolder(const std::wstring& path)
{
    if (IsVolumeRoot(path))
        return FinishRoot(path);
    SendNotice(m_notify, FolderStarted, path.c_str());
    Holders holders;
    for (;;) {
        if (::RemoveDirectoryW(path.c_str())) {
            SendNotice(m_notify, FolderRemoved, path.c_str());
            return true;
        }
        switch (AskAboutHolder(path, path, true, holders)) {
        case HolderEnd::Freed:
            continue;
        case HolderEnd::NoHolder:
            return SendNotice(m_notify, Problem, path.c_str(), nullptr, 0, 0, kProblemFolderNotRemovable) == kAnswerSkip;
        case HolderEnd::Skipped:
            return true;
        case HolderEnd::Stopped:
            return false;
        }
    }
}

// A root can never be removed, and looking up who holds it would find the system's own handles
// on the volume: it is only said to be empty once it is.
bool EraseWorker::FinishRoot(const std::wstring& root)
{
    const std::wstring folder = EndsWithSeparator(root) ? root : root + L"\\";
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &entry));
    bool empty = true;
    for (bool more = find.IsValid(); more && empty; more = ::FindNextFileW(find.Get(), &entry) != FALSE)
        empty = std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0;
    if (empty)
        SendNotice(m_notify, RootEmptied, folder.c_str());
    return true;
}

DWORD WINAPI RunEraseJob(LPVOID parameter)
{
    const EraseJob& job = *static_cast<const EraseJob*>(parameter);
    // Nothing may leave the thread procedure; running out of memory ends the job.
    try {
        EraseWorker worker(job);
        worker.Run();
    } catch (...) {
        SendNotice(job.notify, Problem, nullptr, nullptr, 0, 0, kProblemNoMemory);
        SendNotice(job.notify, JobTerminated);
    }
    return 0;
}
