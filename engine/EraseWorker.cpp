#include "engine/EraseWorker.h"

#include "engine/EraserFileNTFS.h"
#include "locks/HandleOwner.h"
#include "locks/UnlockActions.h"
#include "win32/ScopedHandle.h"

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
    : m_target(job.target), m_notify(job.notify), m_cancel(job.cancel), m_methodId(job.methodId), m_method(CreateEraseMethod(job.methodId))
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
    if (!m_target || !*m_target) {
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

    CollectTargets(m_target);
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
    m_totalSize = 0;
    m_failed = false;
    // An unreadable target has every attribute bit set and so counts as a folder.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool isLink = PathIsLink(target, attributes);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (!isLink)
            m_totalSize = SizeOfFile(target);
        m_files.push_back({target, isLink});
        return;
    }
    // The walk appends names to the folder path: without its separator the pattern would
    // list the folder's siblings instead of its content.
    const std::wstring folder = EndsWithSeparator(target) ? target : target + L"\\";
    if (!isLink)
        CollectFolder(folder);
    m_folders.push_back(folder);
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
            m_files.push_back({folder + name, isLink});
            if (!isLink)
                m_totalSize += (static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
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

    CEraserFileNTFS file;
    int mode = kUnlockNone;
    for (;;) {
        const OpenResult result = file.Open(path, mode);
        if (result == kOpenOk)
            break;
        int32_t code = kProblemOpen;
        int nextMode = mode;
        switch (result) {
        case kOpenLocked:
            code = kProblemFileLocked;
            nextMode = kUnlockCloseHandle;
            break;
        case kOpenCloseHandleFailed:
            code = kProblemCloseHandleFailed;
            nextMode = kUnlockKillOwner;
            break;
        case kOpenKillFailed:
            code = kProblemKillFailed;
            break;
        default:
            break;
        }
        LockOwnerInfo owner = {};
        const bool lockCode = code != kProblemOpen;
        if (lockCode)
            FindHandleOwner(target.path, owner);
        const int32_t answer = SendNotice(m_notify, Problem, path, lockCode ? owner.ProcessName : nullptr, 0, 0, code);
        if (answer == kAnswerRetry && code != kProblemKillFailed) {
            mode = nextMode;
            continue;
        }
        file.Close();
        return answer == kAnswerSkip;
    }

    m_context.file = &file;
    m_context.notify = m_notify;
    m_context.path = path;
    m_context.totalSize = m_totalSize;
    m_context.passCount = PassCountOfMethod(m_methodId);
    m_context.fileSize = 0; // an empty file leaves it untouched: nothing counts for it
    if (!m_method->Erase(&m_context)) {
        file.Close();
        return false;
    }
    m_context.doneBefore += m_context.fileSize;
    file.Close();
    // A cancelled file keeps its name and what was written so far; a file skipped after a
    // failed write keeps its name and is not deleted as if it had been overwritten.
    if (StopRequested() || m_method->LastFileSkipped())
        return true;

    SendNotice(m_notify, FileOverwritten, path);
    const std::wstring lastName = ScrambleName(target.path);
    if (::DeleteFileW(lastName.c_str()))
        return true;
    return SendNotice(m_notify, Problem, path, nullptr, 0, 0, kProblemDeleteFailed) == kAnswerSkip;
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

std::wstring EraseWorker::ScrambleName(const std::wstring& path)
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
        if (!::MoveFileW(current.c_str(), next.c_str()))
            break;
        current = next;
    }
    return current;
}

bool EraseWorker::RemoveOneFolder(const std::wstring& path)
{
    SendNotice(m_notify, FolderStarted, path.c_str());
    for (int attempt = 0;; ++attempt) {
        if (::RemoveDirectoryW(path.c_str())) {
            SendNotice(m_notify, FolderRemoved, path.c_str());
            return true;
        }
        LockOwnerInfo owner = {};
        const bool found = FindHandleOwner(path, owner);
        const int32_t code = !found        ? kProblemFolderNotRemovable
                             : attempt == 0 ? kProblemFolderInUse
                             : attempt == 1 ? kProblemFolderInUseAgain
                                            : kProblemFolderStillInUse;
        const int32_t answer =
            SendNotice(m_notify, Problem, path.c_str(), found ? owner.ProcessName : nullptr, 0, 0, code);
        if (answer != kAnswerRetry)
            return answer == kAnswerSkip;
        if (code == kProblemFolderInUse)
            CloseOwnerHandle(owner);
        else if (code == kProblemFolderInUseAgain)
            KillOwner(owner);
        else
            return false;
    }
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
