#include "engine/EraseWorker.h"

#include "engine/DirectoryListing.h"
#include "engine/EraserFileNTFS.h"
#include "engine/JobThread.h"
#include "engine/TargetPath.h"
#include "locks/HandleOwner.h"
#include "locks/UnlockActions.h"
#include "win32/ScopedHandle.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

namespace {

bool EndsWithSeparator(const std::wstring& path)
{
    return !path.empty() && path.back() == L'\\';
}

// The path in the system's own form, in which no name is changed and no name means a device.
std::wstring NtPath(const std::wstring& path)
{
    const std::wstring plain = PlainPath(path);
    return plain.compare(0, 2, L"\\\\") == 0 ? L"\\??\\UNC\\" + plain.substr(2) : L"\\??\\" + plain;
}

// Gives the file the handle holds another name; never replaces a file of that name.
bool RenameHeld(HANDLE file, const std::wstring& path)
{
    const std::wstring target = NtPath(path);
    const DWORD nameBytes = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::vector<BYTE> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = nameBytes;
    std::memcpy(rename->FileName, target.c_str(), nameBytes);
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

std::wstring WithoutSeparator(const std::wstring& path)
{
    return EndsWithSeparator(path) ? path.substr(0, path.size() - 1) : path;
}

// The folder that holds the named item, as the path leads to it: links on the way are followed,
// as the path itself follows them.
bool HoldingFolder(const std::wstring& item, FileIdentity& folder)
{
    const std::wstring path = item.substr(0, item.find_last_of(L'\\') + 1);
    const UniqueFile handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle && QueryFileIdentity(handle.Get(), folder);
}

FileName NameIn(const FileIdentity& folder, const std::wstring& name)
{
    return FileName{folder.volume, folder.index, name};
}

// What ERROR_NOT_SAME_OBJECT says: the name no longer leads to the item the walk found there.
constexpr DWORD kErrorOtherItem = 1656;

// Removes the folder the walk listed, through a handle on it, and only while its name still
// leads to that very folder and not to a link: a folder swapped after the walk stays, and so
// does whatever the swap put there. The system's error where it is not removed.
DWORD RemoveListedFolder(const std::wstring& path, bool identified, const FileIdentity& listed)
{
    const UniqueFile folder(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder)
        return ::GetLastError();
    FILE_ATTRIBUTE_TAG_INFO tag;
    FileIdentity held;
    if (!::GetFileInformationByHandleEx(folder.Get(), FileAttributeTagInfo, &tag, sizeof(tag))
        || IsLink(tag.FileAttributes, tag.ReparseTag) || !(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        || (identified && (!QueryFileIdentity(folder.Get(), held) || !held.IsSameFile(listed))))
        return kErrorOtherItem;
    FILE_DISPOSITION_INFO dispose = {TRUE};
    return ::SetFileInformationByHandle(folder.Get(), FileDispositionInfo, &dispose, sizeof(dispose)) ? ERROR_SUCCESS
                                                                                                       : ::GetLastError();
}

} // namespace

EraseWorker::EraseWorker(const EraseJob& job)
    : m_targets(job.targets), m_notify(job.notify), m_cancel(job.cancel),
      m_streams(job.streams ? *job.streams : SystemFileStreams()), m_methodId(job.methodId),
      m_method(CreateEraseMethod(job.methodId))
{
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
        for (const FolderTarget& folder : m_folders) {
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

// What the target is, and whether it is a link, is read from its own entry, never through a
// path with a final separator: that would resolve a link before anything could tell.
void EraseWorker::CollectTargets(const std::wstring& target)
{
    if (IsVolumeRoot(target)) {
        const std::wstring root = EndsWithSeparator(target) ? target : target + L"\\";
        DirectoryListing listing;
        const bool listed = listing.Open(root);
        if (listed && !m_namedItems.insert(NameIn(listing.Identity(), L"")).second)
            return;
        if (listed)
            CollectFolder(root, std::move(listing));
        AddFolder(root, false, nullptr);
        return;
    }
    const std::wstring path = WithoutSeparator(target);
    DirectoryEntry entry;
    FileIdentity holder;
    if (!ReadOwnEntry(path, entry) || !HoldingFolder(path, holder)) {
        // Nothing can be told of it: opening it says what is wrong.
        AddFile(path, false, 0, nullptr, nullptr);
        return;
    }
    const FileName name = NameIn(holder, entry.name);
    if (!m_namedItems.insert(name).second)
        return;
    const bool isLink = IsLink(entry.attributes, entry.reparseTag);
    if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        AddFile(path, isLink, isLink ? 0 : entry.size, nullptr, &name);
        return;
    }
    // A folder that cannot be listed as itself (a link put in its place, one that cannot be
    // read) is only removed.
    const std::wstring folder = path + L"\\";
    DirectoryListing listing;
    if (isLink || !listing.Open(folder)) {
        AddFolder(isLink ? path : folder, isLink, nullptr);
        return;
    }
    const FileIdentity listed = listing.Identity();
    CollectFolder(folder, std::move(listing));
    AddFolder(folder, false, &listed);
}

// Depth first: the files of a sub-folder follow in the order met, and every folder comes
// after all folders below it. Iterative, so that no depth of nesting can exhaust the stack.
void EraseWorker::CollectFolder(const std::wstring& top, DirectoryListing&& listing)
{
    struct Level {
        std::wstring folder;
        DirectoryListing listing;
    };
    std::vector<Level> levels;
    levels.push_back({top, std::move(listing)});
    while (!levels.empty()) {
        DirectoryEntry entry;
        if (!levels.back().listing.Next(entry)) {
            const std::wstring finished = levels.back().folder;
            const FileIdentity listed = levels.back().listing.Identity();
            levels.pop_back();
            if (!levels.empty())
                AddFolder(finished, false, &listed);
            continue;
        }
        const FileIdentity& holder = levels.back().listing.Identity();
        const std::wstring path = levels.back().folder + entry.name;
        const bool isLink = IsLink(entry.attributes, entry.reparseTag);
        // The item as the listing found it, so that its name leads nowhere else later.
        FileIdentity found;
        found.volume = holder.volume;
        found.index = entry.fileId;
        if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            const FileName name = NameIn(holder, entry.name);
            AddFile(path, isLink, isLink ? 0 : entry.size, entry.fileId ? &found : nullptr, &name);
            continue;
        }
        const std::wstring sub = path + L"\\";
        DirectoryListing subListing;
        // A folder swapped after it was listed is another item than the one listed.
        if (!isLink && subListing.Open(sub) && (!entry.fileId || subListing.Identity().IsSameFile(found)))
            levels.push_back({sub, std::move(subListing)});
        else
            AddFolder(isLink ? path : sub, isLink, entry.fileId ? &found : nullptr);
    }
}

void EraseWorker::AddFolder(const std::wstring& folder, bool isLink, const FileIdentity* listed)
{
    m_folders.push_back({folder, isLink, listed != nullptr, listed ? *listed : FileIdentity()});
}

void EraseWorker::AddFile(const std::wstring& path, bool isLink, ULONGLONG size, const FileIdentity* found,
                          const FileName* name)
{
    FileTarget file = {path, isLink, found != nullptr, found ? *found : FileIdentity(), name != nullptr,
                       name ? *name : FileName(), 0};
    if (!isLink) {
        // How many names the file has, and which file it is where the listing did not say. A
        // name that leads to another file than the one found is caught when it is opened.
        FileIdentity named;
        if (QueryFileIdentity(path.c_str(), named)) {
            if (!file.identified)
                file.identity = named;
            file.identified = true;
            file.identity.names = named.names;
        }
        // A name that cannot be told apart from the others is not counted: the content then
        // stays, rather than go while a name outside may still lead to it.
        if (file.identity.names > 1 && file.nameKnown)
            m_namesInJob[file.identity].insert(file.name);
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
    const size_t namesInJob = inJob == m_namesInJob.end() ? 0 : inJob->second.size();
    return identity.names > namesInJob ? ContentFate::KeptForOutside : ContentFate::Overwrite;
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
        return RemoveName(target, identity, fate == ContentFate::KeptForOutside);

    CEraserFileNTFS file;
    if (target.identified)
        file.RequireFile(target.identity);
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
        return RemoveName(target, identity, fate == ContentFate::KeptForOutside);
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
    return RemoveFileName(target, false) != StepEnd::Stopped;
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

// The name is changed and removed through a handle on the file, so that it is this file's name
// that goes whatever a folder on the way may lead to by then. A name another process holds is
// that holder's question before it is an error.
EraseWorker::StepEnd EraseWorker::RemoveFileName(const FileTarget& target, bool keepAttributes)
{
    Holders holders;
    UniqueFile name;
    for (;;) {
        name.Reset(::CreateFileW(target.path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (name || !IsHolderError(::GetLastError()))
            break;
        const HolderEnd asked = AskAboutHolder(target.path, target.path, false, holders);
        if (asked == HolderEnd::Skipped || asked == HolderEnd::Stopped)
            return asked == HolderEnd::Skipped ? StepEnd::Skipped : StepEnd::Stopped;
        if (asked == HolderEnd::NoHolder)
            break;
    }
    FileIdentity held;
    if (name && target.identified
        && (!QueryFileIdentity(name.Get(), held) || held.volume != target.identity.volume || held.index != target.identity.index))
        name.Reset();
    if (name && DeleteHeld(name.Get(), target.path, keepAttributes))
        return StepEnd::Done;
    // Skipped, the file stays under the name it reached.
    return SendNotice(m_notify, Problem, target.path.c_str(), nullptr, 0, 0, kProblemDeleteFailed) == kAnswerSkip
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

// A name gone no longer counts among the file's names, nor among the job's: the names that stay
// outside are the file's names less those the job has yet to remove.
bool EraseWorker::RemoveName(const FileTarget& target, const FileIdentity& identity, bool contentKept)
{
    const StepEnd end = RemoveFileName(target, true);
    if (end == StepEnd::Done && target.nameKnown) {
        const auto inJob = m_namesInJob.find(identity);
        if (inJob != m_namesInJob.end())
            inJob->second.erase(target.name);
    }
    if (end == StepEnd::Done && contentKept)
        SendNotice(m_notify, NameRemoved, target.path.c_str());
    return end != StepEnd::Stopped;
}

// The link itself, through a handle that shows it as a link: what it points to stays as it is.
// Where a handle on the name shows what the link points to instead (so Wine does with a Unix
// link), removing through it would remove that: the link stays and is reported.
bool EraseWorker::RemoveLink(const std::wstring& path)
{
    for (;;) {
        const UniqueFile link(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        FILE_ATTRIBUTE_TAG_INFO tag;
        const bool read = link && ::GetFileInformationByHandleEx(link.Get(), FileAttributeTagInfo, &tag, sizeof(tag));
        if (read && !IsLink(tag.FileAttributes, tag.ReparseTag))
            return SendNotice(m_notify, Problem, path.c_str(), nullptr, 0, 0, kProblemLinkNotRemovable) == kAnswerSkip;
        FILE_DISPOSITION_INFO dispose = {TRUE};
        if (read && ::SetFileInformationByHandle(link.Get(), FileDispositionInfo, &dispose, sizeof(dispose)))
            return true;
        const int32_t answer = SendNotice(m_notify, Problem, path.c_str(), nullptr, 0, 0, kProblemDeleteFailed);
        if (answer != kAnswerRetry)
            return answer == kAnswerSkip;
    }
}

std::wstring EraseWorker::ScrambleName(HANDLE file, const std::wstring& path)
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
        if (!RenameHeld(file, next))
            break;
        current = next;
    }
    return current;
}

// Read-only belongs to the file, not to the name: a file that keeps its content under other
// names gets it back once this name is gone.
bool EraseWorker::DeleteHeld(HANDLE file, const std::wstring& path, bool keepAttributes)
{
    FILE_BASIC_INFO before = {};
    const bool restore = keepAttributes && ::GetFileInformationByHandleEx(file, FileBasicInfo, &before, sizeof(before))
                         && (before.FileAttributes & FILE_ATTRIBUTE_READONLY);
    if (restore) {
        FILE_BASIC_INFO writable = {};
        writable.FileAttributes = (before.FileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(file, FileBasicInfo, &writable, sizeof(writable));
    }
    ScrambleName(file, path);
    FILE_DISPOSITION_INFO dispose = {TRUE};
    const bool deleted = ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof(dispose)) != FALSE;
    if (restore) {
        FILE_BASIC_INFO back = {};
        back.FileAttributes = before.FileAttributes;
        ::SetFileInformationByHandle(file, FileBasicInfo, &back, sizeof(back));
    }
    return deleted;
}

bool EraseWorker::RemoveOneFolder(const FolderTarget& folder)
{
    const wchar_t* path = folder.path.c_str();
    if (IsVolumeRoot(folder.path))
        return FinishRoot(folder.path);
    SendNotice(m_notify, FolderStarted, path);
    if (folder.isLink)
        return RemoveLink(folder.path);
    Holders holders;
    for (;;) {
        const DWORD error = RemoveListedFolder(folder.path, folder.identified, folder.identity);
        if (error == ERROR_SUCCESS) {
            SendNotice(m_notify, FolderRemoved, path);
            return true;
        }
        switch (IsHolderError(error) ? AskAboutHolder(folder.path, folder.path, true, holders) : HolderEnd::NoHolder) {
        case HolderEnd::Freed:
            continue;
        case HolderEnd::NoHolder:
            // Something in it stayed (a skipped item), or no process is the cause: nobody is asked about.
            return SendNotice(m_notify, Problem, path, nullptr, 0, 0,
                              error == ERROR_DIR_NOT_EMPTY ? kProblemFolderNotEmpty : kProblemFolderNotRemovable)
                   == kAnswerSkip;
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

DWORD WINAPI RunEraseJob(LPVOID job)
{
    return RunJobThread<EraseWorker, EraseJob>(job);
}
