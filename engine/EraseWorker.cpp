#include "engine/EraseWorker.h"

#include "engine/DirectoryListing.h"
#include "engine/JobThread.h"
#include "engine/TargetPath.h"
#include "engine/TreeWalk.h"
#include "engine/overwrite/EraserFileNTFS.h"
#include "locks/HandleOwner.h"
#include "locks/UnlockActions.h"
#include "win32/ScopedHandle.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

namespace {

// How often, at most, the driver hears of the count while it runs.
constexpr ULONGLONG kCountReportMs = 100;

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

bool DeleteHeld(HANDLE item)
{
    FILE_DISPOSITION_INFO dispose = {TRUE};
    return ::SetFileInformationByHandle(item, FileDispositionInfo, &dispose, sizeof(dispose)) != FALSE;
}

// Read-only belongs to the file, not to the name: a file that keeps its content under other
// names gets it back once this name is gone.
template <class Remove>
bool RemoveKeepingAttributes(HANDLE file, Remove remove)
{
    FILE_BASIC_INFO before = {};
    const bool restore = ::GetFileInformationByHandleEx(file, FileBasicInfo, &before, sizeof(before))
                         && (before.FileAttributes & FILE_ATTRIBUTE_READONLY);
    if (restore) {
        FILE_BASIC_INFO writable = {};
        writable.FileAttributes = (before.FileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(file, FileBasicInfo, &writable, sizeof(writable));
    }
    const bool deleted = remove();
    if (restore) {
        FILE_BASIC_INFO back = {};
        back.FileAttributes = before.FileAttributes;
        ::SetFileInformationByHandle(file, FileBasicInfo, &back, sizeof(back));
    }
    return deleted;
}

// The path with every character of the last name but the dots turned into `letter`.
std::wstring LetterName(const std::wstring& path, wchar_t letter)
{
    std::wstring name = path;
    for (size_t i = path.find_last_of(L'\\') + 1; i < name.size(); ++i) {
        if (name[i] != L'.')
            name[i] = letter;
    }
    return name;
}

ULONGLONG SizeOf(const std::vector<NamedStream>& streams)
{
    ULONGLONG size = 0;
    for (const NamedStream& stream : streams)
        size += stream.size;
    return size;
}

// An item opened to be removed, without following a link at its name.
UniqueFile OpenToRemove(const std::wstring& path, DWORD access)
{
    return UniqueFile(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE | access,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The handle is the item found there before (where it is known), and the kind of item expected.
bool IsListedItem(HANDLE item, bool identified, const FileIdentity& listed, bool folder)
{
    FILE_ATTRIBUTE_TAG_INFO tag;
    FileIdentity held;
    return ::GetFileInformationByHandleEx(item, FileAttributeTagInfo, &tag, sizeof(tag))
           && !IsLink(tag.FileAttributes, tag.ReparseTag) && ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder
           && (!identified || (QueryFileIdentity(item, held) && held.IsSameFile(listed)));
}

Attempt Failed(int32_t problem, DWORD error = ::GetLastError())
{
    return {problem, error};
}

// What a skip or a stop made of an item: a step that changed nothing leaves it skipped, one
// that came after the content or belongs to its removal leaves it not removed.
ItemOutcome OutcomeOfItem(const Outcome& outcome, ItemOutcome skipped)
{
    return outcome.ended == Ended::Stopped ? ItemOutcome::Interrupted : skipped;
}

} // namespace

EraseWorker::EraseWorker(const EraseJob& job)
    : m_targets(job.targets), m_notify(job.notify), m_cancel(job.cancel),
      m_streams(job.streams ? *job.streams : SystemFileStreams()), m_methodId(job.methodId),
      m_verify(job.verifyLastPass), m_method(CreateEraseMethod(job.methodId))
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
        SendProblem(m_notify, L"", kProblemOpen);
        SendNotice(m_notify, JobTerminated);
        return;
    }
    if (!m_method) {
        SendNoMemory(m_notify);
        SendNotice(m_notify, JobTerminated);
        return;
    }
    m_distinctTargets = DistinctTargets(m_targets);
    m_counter.Start(m_distinctTargets);
    m_context = {};
    m_context.cancel = m_cancel;
    m_context.jobSize = &m_counter;
    m_context.lastPass = m_verify ? &m_lastPass : nullptr;

    Outcome outcome = kStepDone;
    for (const std::wstring& target : m_distinctTargets) {
        outcome = EraseTarget(target);
        if (outcome.ended == Ended::Stopped)
            break;
    }
    if (outcome.ended != Ended::Stopped)
        outcome = DecideWaiting();
    // The count is not left running after the job, and a job that ran to its end says its
    // total.
    if (outcome.ended == Ended::Stopped || StopRequested()) {
        m_counter.Stop();
    } else {
        m_counter.Wait();
        ReportCount();
    }
    SendNotice(m_notify, outcome.ended == Ended::Stopped || StopRequested() ? JobTerminated : JobCompleted);
}

Outcome EraseWorker::EraseTarget(const std::wstring& target)
{
    m_counter.WaitUntilSeen(++m_met);
    TargetItem item;
    FolderState none;
    if (!ReadTarget(target, item)) {
        // Nothing can be told of it: opening it says what is wrong.
        return EraseFile({item.path, 0, 0, false, FileIdentity(), false, FileName()}, none);
    }
    if (item.isLink)
        return RemoveLink(item.path, item.isFolder);
    const bool identified = item.entry.fileId != 0;
    if (!item.isFolder)
        return EraseFile({item.path, item.entry.attributes, item.entry.size, identified, item.identity, item.listedName,
                          item.name},
                         none);
    const std::wstring folder = item.isRoot ? item.path : item.path + L"\\";
    TreeWalk walk;
    // A folder that cannot be listed as the folder read just now (one that cannot be read, or
    // another put in its place) is only removed, if it still is.
    if (!walk.Start(folder) || (identified && !walk.FolderIdentity().IsSameFile(item.identity)))
        return item.isRoot ? FinishRoot(folder) : RemoveFolder(folder, identified, item.identity);
    return EraseTree(walk, item.isRoot);
}

// Depth first, each item done with as it is met; a folder once all in it is done. Holds the
// folders on the current path, nothing else.
Outcome EraseWorker::EraseTree(TreeWalk& walk, bool isRoot)
{
    std::vector<FolderState> folders(1);
    DirectoryEntry entry;
    for (;;) {
        ReportCount();
        if (StopRequested())
            return kStepCancelled;
        const TreeWalk::Step step = walk.Next(entry);
        if (step == TreeWalk::Step::End)
            return kStepDone;
        Outcome outcome;
        if (step == TreeWalk::Step::FolderEnd) {
            const FolderState state = folders.back();
            folders.pop_back();
            outcome = FinishFolder(walk.Folder(), walk.FolderIdentity(), isRoot && folders.empty(), state,
                                   folders.empty() ? nullptr : &folders.back());
        } else {
            m_counter.WaitUntilSeen(++m_met);
            bool entered = false;
            outcome = EraseEntry(walk, entry, folders.back(), entered);
            if (entered)
                folders.emplace_back();
        }
        if (outcome.ended == Ended::Stopped)
            return outcome;
    }
}

Outcome EraseWorker::EraseEntry(TreeWalk& walk, const DirectoryEntry& entry, FolderState& folder, bool& entered)
{
    const std::wstring path = walk.Folder() + entry.name;
    Outcome outcome = kStepDone;
    if (IsLink(entry.attributes, entry.reparseTag)) {
        outcome = RemoveLink(path, (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } else if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        entered = walk.Enter(entry);
        // One that cannot be listed as the folder listed here is only removed, if it still is.
        if (!entered)
            outcome = RemoveFolder(path + L"\\", entry.fileId != 0, walk.Listed(entry));
    } else {
        const FileIdentity listed = walk.Listed(entry);
        outcome = EraseFile({path, entry.attributes, entry.size, entry.fileId != 0, listed, true,
                             NameIn(walk.FolderIdentity(), entry.name)},
                            folder);
    }
    if (outcome.ended == Ended::Skipped)
        folder.keeps = true;
    return outcome;
}

Outcome EraseWorker::FinishFolder(const std::wstring& path, const FileIdentity& listed, bool isRoot,
                                  const FolderState& state, FolderState* parent)
{
    if (state.waits && !state.keeps) {
        m_waitingFolders.push_back({path, true, listed, isRoot});
        if (parent)
            parent->waits = true;
        return kStepDone;
    }
    if (isRoot)
        return FinishRoot(path);
    Outcome outcome;
    if (state.keeps) {
        // What stays in it keeps it: no process is to blame, nothing is tried.
        SendNotice(m_notify, FolderStarted, path.c_str());
        outcome = OutcomeOfAnswer(SendProblem(m_notify, path.c_str(), kProblemFolderNotEmpty), kProblemFolderNotEmpty);
        Finished(path, ItemKind::Folder, OutcomeOfItem(outcome, ItemOutcome::NotRemoved), 0, kProblemFolderNotEmpty);
    } else {
        outcome = RemoveFolder(path, true, listed);
    }
    if (parent && outcome.ended != Ended::Done)
        parent->keeps = true;
    return outcome;
}

Outcome EraseWorker::DecideWaiting()
{
    for (const FileItem& file : m_waitingFiles) {
        if (StopRequested())
            return kStepCancelled;
        const Outcome outcome = EraseNameOfSeveral(file);
        if (outcome.ended == Ended::Stopped)
            return outcome;
    }
    for (const WaitingFolder& folder : m_waitingFolders) {
        if (StopRequested())
            return kStepCancelled;
        const Outcome outcome =
            folder.isRoot ? FinishRoot(folder.path) : RemoveFolder(folder.path, folder.identified, folder.identity);
        if (outcome.ended == Ended::Stopped)
            return outcome;
    }
    return kStepDone;
}

// What a file needs is learned as it is opened to be erased: which file it is, how many names
// it has, its streams. A file with several names waits for the end of the walk.
Outcome EraseWorker::EraseFile(const FileItem& file, FolderState& folder)
{
    SendNotice(m_notify, FileStarted, file.path.c_str());
    const ULONGLONG before = m_passed;
    CEraserFileNTFS eraser;
    if (file.identified)
        eraser.RequireFile(file.identity);
    FileIdentity identity = file.identity;
    // Its names are counted before anything of it changes: a file with a name elsewhere keeps
    // its read-only attribute with its content.
    if ((file.attributes & FILE_ATTRIBUTE_READONLY) && eraser.ClearReadOnly(file.path.c_str(), identity, true)
        && identity.names > 1) {
        Defer(file, identity, folder);
        return kStepDone;
    }
    Outcome outcome = OpenForErasing(eraser, file);
    if (outcome.ended != Ended::Done) {
        eraser.RestoreAttributes();
        Finished(file.path, ItemKind::File, OutcomeOfItem(outcome, ItemOutcome::Skipped), file.size, outcome.problem);
        m_passed = before + file.size;
        return outcome;
    }
    if (eraser.Identity(identity) && identity.names > 1) {
        eraser.Close();
        Defer(file, identity, folder);
        return kStepDone;
    }
    outcome = EraseOpened(eraser, file, identity);
    m_passed = std::max(m_passed, before + file.size);
    return outcome;
}

void EraseWorker::Defer(const FileItem& file, const FileIdentity& identity, FolderState& folder)
{
    // A name that cannot be told apart from the others is not counted: the content then stays,
    // rather than go while a name outside may still lead to it.
    if (file.nameKnown)
        m_namesInJob[identity].insert(file.name);
    FileItem waiting = file;
    waiting.identity = identity;
    waiting.identified = true;
    m_waitingFiles.push_back(std::move(waiting));
    folder.waits = true;
}

// One name of a file with several, once the walk has met all the job's names; the walk already
// said it started on it.
Outcome EraseWorker::EraseNameOfSeveral(const FileItem& file)
{
    const ULONGLONG before = m_passed;
    // Names are counted again: one may have been added or removed since the walk.
    FileIdentity identity = file.identity, now;
    if (QueryFileIdentity(file.path.c_str(), now) && now.IsSameFile(identity))
        identity.names = now.names;
    ContentFate fate = FateOf(identity);
    CEraserFileNTFS eraser;
    eraser.RequireFile(file.identity);
    Outcome outcome = kStepDone;
    if (fate == ContentFate::Overwrite && (file.attributes & FILE_ATTRIBUTE_READONLY))
        eraser.ClearReadOnly(file.path.c_str(), identity, false);
    if (fate == ContentFate::Overwrite)
        outcome = OpenForErasing(eraser, file);
    if (outcome.ended != Ended::Done) {
        eraser.RestoreAttributes();
        Finished(file.path, ItemKind::File, OutcomeOfItem(outcome, ItemOutcome::Skipped), file.size, outcome.problem);
    } else if (fate == ContentFate::Overwrite && eraser.Identity(identity) && (fate = FateOf(identity)) == ContentFate::Overwrite) {
        // The open handle has the last word on the names: a link made after they were counted
        // must not lose its content either.
        outcome = EraseOpened(eraser, file, identity);
    } else {
        eraser.RestoreAttributes();
        eraser.Close();
        outcome = RemoveName(file, identity, ItemKind::File, file.size, fate, ContentEnd{});
    }
    m_passed = std::max(m_passed, before + file.size);
    return outcome;
}

Outcome EraseWorker::OpenForErasing(CEraserFileNTFS& file, const FileItem& item)
{
    return UntilResolved(item.path, false, [&](bool besideHolders) {
        return file.Open(item.path.c_str(), besideHolders ? kOpenBesideHolders : kOpenAlone) == kOpenOk
                   ? kAttemptDone
                   : Failed(kProblemOpen, file.OpenError());
    });
}

// The content through the handle the file was opened with, then the name through one opened on
// it anew and checked to be the same file: a handle renamed or deleted is taken by the path it
// was opened with on some systems (Wine), which a folder swapped on the way may lead elsewhere.
Outcome EraseWorker::EraseOpened(CEraserFileNTFS& file, const FileItem& item, const FileIdentity& identity)
{
    // Before the first pass: a rewrite of compressed or sparse data may land in other clusters.
    ContentEnd content = {};
    content.verified = m_verify;
    content.mayRemainInFreeSpace = !file.ZeroOnDeallocation() && file.StoredOutOfPlace();
    std::vector<NamedStream> streams;
    Outcome outcome = ListStreams(file.Handle(), item.path, streams);
    const ULONGLONG size = item.size + SizeOf(streams);
    m_counter.AddBytes(size - item.size);
    const ItemKind kind = streams.empty() ? ItemKind::File : ItemKind::FileWithStreams;
    if (outcome.ended == Ended::Done)
        outcome = RunMethod(file, item.path, content);
    if (outcome.ended == Ended::Done)
        outcome = OverwriteStreams(streams, content);
    if (outcome.ended != Ended::Done) {
        // A file cut short keeps its name and what was written so far; one skipped after a
        // failed write is not deleted as if it had been overwritten.
        file.RestoreAttributes();
        content.verified = false;
        Finished(item.path, kind, OutcomeOfItem(outcome, ItemOutcome::Skipped), size, outcome.problem, content);
        return outcome;
    }
    if (identity.names > 1)
        m_overwritten.insert(identity);
    file.Close();
    SendNotice(m_notify, FileOverwritten, item.path.c_str());
    return RemoveName(item, identity, kind, size, ContentFate::Overwrite, content);
}

Outcome EraseWorker::ListStreams(HANDLE item, const std::wstring& path, std::vector<NamedStream>& streams)
{
    return UntilResolved(path, false, [&](bool) {
        return m_streams.List(item, path, streams) ? kAttemptDone : Failed(kProblemStreamsNotListed, ERROR_SUCCESS);
    });
}

// Every named stream with all of the method's passes.
Outcome EraseWorker::OverwriteStreams(const std::vector<NamedStream>& streams, ContentEnd& content)
{
    Outcome outcome = kStepDone;
    for (auto stream = streams.begin(); stream != streams.end() && outcome.ended == Ended::Done; ++stream) {
        std::unique_ptr<CEraserFile> streamFile;
        outcome = UntilResolved(stream->path, false, [&](bool) {
            OpenResult result = kOpenFailed;
            streamFile = m_streams.Open(*stream, result);
            return streamFile ? kAttemptDone : Failed(kProblemOpen, ERROR_SUCCESS);
        });
        if (outcome.ended == Ended::Done)
            outcome = RunMethod(*streamFile, stream->path, content);
    }
    return outcome;
}

// The method's passes; then, where asked, the last one read back; then the file's own size
// again, also where the job leaves the file.
Outcome EraseWorker::RunMethod(CEraserFile& file, const std::wstring& path, ContentEnd& content)
{
    m_context.file = &file;
    m_context.notify = m_notify;
    m_context.path = path.c_str();
    m_context.passCount = PassCountOfMethod(m_methodId);
    m_context.doneBefore = m_passed;
    m_context.fileSize = 0; // an empty file leaves it untouched: nothing counts for it
    m_context.dataSize = 0;
    Outcome outcome = m_method->Erase(&m_context);
    if (outcome.ended == Ended::Done && m_verify && m_context.fileSize > 0
        && CompareReadBack(file, m_lastPass) != ReadBack::Matched)
        outcome = OutcomeOfAnswer(SendProblem(m_notify, path.c_str(), kProblemVerifyFailed), kProblemVerifyFailed);
    if (!file.RestoreSize() && outcome.ended == Ended::Done)
        outcome = OutcomeOfAnswer(SendProblem(m_notify, path.c_str(), kProblemWrite), kProblemWrite);
    if (outcome.ended == Ended::Done)
        m_passed += m_context.dataSize;
    content.verified = content.verified && outcome.ended == Ended::Done;
    return outcome;
}

// The name is changed and removed through a handle on the file, so that it is this file's name
// that goes whatever a folder on the way may lead to by then; skipped, the file stays under the
// name it reached. A name gone no longer counts among the file's names, nor among the job's: the
// names that stay outside are the file's names less those the job has yet to remove.
Outcome EraseWorker::RemoveName(const FileItem& file, const FileIdentity& identity, ItemKind kind, ULONGLONG size,
                                ContentFate fate, ContentEnd content)
{
    // The name the file has reached, which later questions about it give.
    std::wstring current = file.path;
    bool scrambled = false;
    const Outcome outcome = UntilResolved(current, false, [&](bool) {
        const UniqueFile name = OpenToRemove(current, FILE_WRITE_ATTRIBUTES);
        if (!name)
            return Failed(kProblemDeleteFailed);
        if (!IsListedItem(name.Get(), identity.index != 0, identity, false))
            return Failed(kProblemDeleteFailed, kErrorNotSameObject);
        const auto scrambleAndDelete = [&] {
            if (!scrambled)
                current = Scramble(name.Get(), current, content);
            scrambled = true;
            return DeleteHeld(name.Get());
        };
        const bool deleted =
            fate == ContentFate::Overwrite ? scrambleAndDelete() : RemoveKeepingAttributes(name.Get(), scrambleAndDelete);
        return deleted ? kAttemptDone : Failed(kProblemDeleteFailed);
    });
    if (outcome.ended == Ended::Done && file.nameKnown) {
        const auto inJob = m_namesInJob.find(identity);
        if (inJob != m_namesInJob.end())
            inJob->second.erase(file.name);
    }
    const ItemOutcome removed = fate == ContentFate::KeptForOutside ? ItemOutcome::NamesRemoved : ItemOutcome::Erased;
    content.erasedWithAnotherName = fate == ContentFate::AlreadyErased;
    Finished(file.path, kind, outcome.ended == Ended::Done ? removed : OutcomeOfItem(outcome, ItemOutcome::NotRemoved), size,
             outcome.ended == Ended::Done ? content.told : outcome.problem, content);
    return outcome;
}

// A renaming that stops before the last name is told with the name it reached.
std::wstring EraseWorker::Scramble(HANDLE file, const std::wstring& path, ContentEnd& content)
{
    const std::wstring reached = ScrambleName(file, path);
    if (reached != LetterName(path, L'Z')) {
        SendProblem(m_notify, reached.c_str(), kProblemRenameStopped);
        content.told = kProblemRenameStopped;
    }
    return reached;
}

// The link itself, through a handle that shows it as a link: what it points to stays as it is.
// Where a handle on the name shows what the link points to instead (so Wine does with a Unix
// link), removing through it would remove that: the link stays and is reported.
Outcome EraseWorker::RemoveLink(const std::wstring& path, bool isFolder)
{
    SendNotice(m_notify, isFolder ? FolderStarted : FileStarted, path.c_str());
    const Outcome outcome = UntilResolved(path, isFolder, [&](bool) {
        const UniqueFile link = OpenToRemove(path, 0);
        FILE_ATTRIBUTE_TAG_INFO tag;
        if (!link || !::GetFileInformationByHandleEx(link.Get(), FileAttributeTagInfo, &tag, sizeof(tag)))
            return Failed(kProblemDeleteFailed);
        if (!IsLink(tag.FileAttributes, tag.ReparseTag))
            return Failed(kProblemLinkNotRemovable, ERROR_NOT_A_REPARSE_POINT);
        return DeleteHeld(link.Get()) ? kAttemptDone : Failed(kProblemDeleteFailed);
    });
    Finished(path, ItemKind::Link, outcome.ended == Ended::Done ? ItemOutcome::LinkRemoved : OutcomeOfItem(outcome, ItemOutcome::NotRemoved),
             0, outcome.problem);
    return outcome;
}

// Removes the folder the walk listed, through a handle on it, and only while its name still
// leads to that very folder and not to a link: a folder swapped after the walk stays, and so
// does whatever the swap put there.
Outcome EraseWorker::RemoveFolder(const std::wstring& path, bool identified, const FileIdentity& listed)
{
    SendNotice(m_notify, FolderStarted, path.c_str());
    ContentEnd content = {};
    Outcome outcome = OverwriteFolderStreams(path, identified, listed, content);
    if (outcome.ended != Ended::Done) {
        Finished(path, ItemKind::Folder, OutcomeOfItem(outcome, ItemOutcome::Skipped), 0, outcome.problem);
        return outcome;
    }
    outcome = UntilResolved(path, true, [&](bool) {
        const UniqueFile folder = OpenToRemove(path, 0);
        if (!folder)
            return Failed(kProblemFolderNotRemovable);
        if (!IsListedItem(folder.Get(), identified, listed, true))
            return Failed(kProblemFolderNotRemovable, kErrorNotSameObject);
        if (DeleteHeld(folder.Get()))
            return kAttemptDone;
        // Something in it stayed (a skipped item), or was put there: no process is to blame.
        const DWORD error = ::GetLastError();
        return Failed(error == ERROR_DIR_NOT_EMPTY ? kProblemFolderNotEmpty : kProblemFolderNotRemovable, error);
    });
    Finished(path, ItemKind::Folder, outcome.ended == Ended::Done ? ItemOutcome::Erased : OutcomeOfItem(outcome, ItemOutcome::NotRemoved),
             0, outcome.problem, content);
    return outcome;
}

// A folder's own named streams go like a file's. One that cannot be opened as the folder listed
// is left to the removal, which says so.
Outcome EraseWorker::OverwriteFolderStreams(const std::wstring& path, bool identified, const FileIdentity& listed,
                                            ContentEnd& content)
{
    std::vector<NamedStream> streams;
    {
        const UniqueFile folder = OpenToRemove(path, 0);
        if (!folder || !IsListedItem(folder.Get(), identified, listed, true))
            return kStepDone;
        const Outcome outcome = ListStreams(folder.Get(), path.substr(0, path.size() - 1), streams);
        if (outcome.ended != Ended::Done)
            return outcome;
    }
    m_counter.AddBytes(SizeOf(streams));
    // A folder has content to verify only where it has streams.
    content.verified = m_verify && !streams.empty();
    return OverwriteStreams(streams, content);
}

// A root can never be removed, and looking up who holds it would find the system's own handles
// on the volume: it is only said to be empty once it is.
Outcome EraseWorker::FinishRoot(const std::wstring& root)
{
    bool empty = true;
    const Outcome outcome = ::UntilResolved(
        m_notify, root,
        [&](bool) {
            // Through a handle on the root itself, as every folder of the job is listed; a root
            // that cannot be opened so leaves what is on it unknown.
            DirectoryListing listing;
            DirectoryEntry entry;
            if (!listing.Open(root))
                return Failed(kProblemRootNotListed);
            empty = !listing.Next(entry);
            if (empty && !listing.Ended())
                return Failed(kProblemRootNotListed);
            return kAttemptDone;
        },
        [](int32_t&) { return false; });
    if (outcome.ended != Ended::Done) {
        Finished(root, ItemKind::DriveRoot, OutcomeOfItem(outcome, ItemOutcome::Skipped), 0, outcome.problem);
        return outcome;
    }
    Finished(root, ItemKind::DriveRoot, empty ? ItemOutcome::Erased : ItemOutcome::NotRemoved, 0,
             empty ? 0 : kProblemFolderNotEmpty);
    return kStepDone;
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

template <class Try>
Outcome EraseWorker::UntilResolved(const std::wstring& path, bool isFolder, Try attempt)
{
    Holders holders;
    return ::UntilResolved(m_notify, path.c_str(), attempt,
                           [&](int32_t& answer) { return AskAboutHolder(path, isFolder, holders, answer); });
}

EraseWorker::Holders::Step EraseWorker::Holders::NextFor(DWORD processId) const
{
    return m_killed.count(processId) ? KillFailed : m_unlocked.count(processId) ? Kill : Unlock;
}

void EraseWorker::Holders::Tried(DWORD processId, Step step)
{
    (step == Unlock ? m_unlocked : m_killed).insert(processId);
}

// The answer is carried out on the very process and handle the question named, which the
// lookup keeps until then.
bool EraseWorker::AskAboutHolder(const std::wstring& path, bool isFolder, Holders& holders, int32_t& answer)
{
    LockOwnerInfo owner = {};
    if (!FindHandleOwner(path, owner))
        return false;
    // A process Windows needs is neither unlocked nor ended: the item can only be skipped.
    if (owner.HeldByWindows) {
        answer = SendProblem(m_notify, path.c_str(), owner.ProcessName,
                             isFolder ? kProblemFolderHeldByWindows : kProblemFileHeldByWindows);
        if (answer == kAnswerRetry)
            answer = kAnswerTerminate;
        return true;
    }
    static const int32_t kCodes[2][3] = {
        {kProblemFileLocked, kProblemCloseHandleFailed, kProblemKillFailed},
        {kProblemFolderInUse, kProblemFolderInUseAgain, kProblemFolderStillInUse},
    };
    const Holders::Step step = holders.NextFor(owner.ProcessId);
    answer = SendProblem(m_notify, path.c_str(), owner.ProcessName, kCodes[isFolder][step]);
    // Once ending the holder failed, there is nothing further to try.
    if (answer == kAnswerRetry && step == Holders::KillFailed)
        answer = kAnswerTerminate;
    if (answer != kAnswerRetry)
        return true;
    holders.Tried(owner.ProcessId, step);
    if (step == Holders::Unlock)
        CloseOwnerHandle(owner);
    else
        KillOwner(owner);
    return true;
}

void EraseWorker::ReportCount()
{
    const JobCount count = m_counter.Current();
    const ULONGLONG now = ::GetTickCount64();
    const bool ended = count.complete && !m_lastCount.complete;
    if (!ended && (count.complete || count.files == m_lastCount.files || now - m_lastCountTick < kCountReportMs))
        return;
    m_lastCount = count;
    m_lastCountTick = now;
    SendCounted(m_notify, count);
}

void EraseWorker::Finished(const std::wstring& path, ItemKind kind, ItemOutcome outcome, ULONGLONG size, int32_t code,
                           const ContentEnd& content)
{
    SendItemFinished(m_notify, path.c_str(),
                     ItemEnd{kind, outcome, size, content.verified, content.mayRemainInFreeSpace, content.erasedWithAnotherName},
                     code);
}

std::wstring EraseWorker::ScrambleName(HANDLE file, const std::wstring& path)
{
    std::wstring current = path;
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        const std::wstring next = LetterName(path, letter);
        // Never replaces: a file that already has the name stops the renaming instead.
        if (!RenameHeld(file, next))
            break;
        current = next;
    }
    return current;
}

DWORD WINAPI RunEraseJob(LPVOID job)
{
    return RunJobThread<EraseWorker, EraseJob>(job);
}
