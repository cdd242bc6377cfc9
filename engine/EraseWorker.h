#pragma once
// Carries out one erase job: walks each target and erases every file as the walk reaches it
// (overwritten, renamed, deleted), removes each folder as soon as everything in it is done, and
// reports every step as a notice. Files with several names wait until the walk has met all the
// job's names, and are decided then. A count of the job's size runs beside it.

#include "engine/EraseJob.h"
#include "engine/FileIdentity.h"
#include "engine/JobCounter.h"
#include "engine/PassDigest.h"
#include "engine/overwrite/EraseMethod.h"
#include "engine/overwrite/FileStreams.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CEraserFileNTFS;
class TreeWalk;
struct DirectoryEntry;

class EraseWorker {
public:
    explicit EraseWorker(const EraseJob& job);
    void Run();

    // Renames the file the handle holds (opened with delete access) 26 times: every character of
    // its name but the dots becomes A, then B, ... Z. Returns the name it ends under; a failed
    // rename ends the renaming there.
    static std::wstring ScrambleName(HANDLE file, const std::wstring& path);

private:
    // A file as the walk met it.
    struct FileItem {
        std::wstring path;
        DWORD attributes;
        ULONGLONG size;        // as listed
        bool identified;       // whether the listing said which file the name led to
        FileIdentity identity; // its names counted once it is opened
        bool nameKnown;        // whether the folder that holds the name could be told
        FileName name;
    };

    // A folder whose content is done but for files with several names: removed once they are.
    struct WaitingFolder {
        std::wstring path;
        bool identified;
        FileIdentity identity;
        bool isRoot;
    };

    // What the walk knows of a folder it is in.
    struct FolderState {
        bool keeps = false; // something in it stays: it cannot be removed
        bool waits = false; // something in it waits for the end of the walk
    };

    // What became of an item's content, for its end-of-item notice; all false and 0 at first.
    struct ContentEnd {
        bool verified;
        bool mayRemainInFreeSpace;
        int32_t told; // a problem told on the way, which did not keep the item
        bool erasedWithAnotherName;
    };

    // What erasing one name of a file does to the file's content.
    enum class ContentFate {
        Overwrite,      // every name of the file is in the job: the content goes
        AlreadyErased,  // overwritten earlier in the job, through another of its names
        KeptForOutside, // the file has names outside the job, which keep their content
    };

    // The processes that hold one item, each asked the gentle question first: close its handle,
    // and only once that was tried, end it.
    class Holders {
    public:
        enum Step { Unlock, Kill, KillFailed };
        Step NextFor(DWORD processId) const;
        void Tried(DWORD processId, Step step);

    private:
        std::set<DWORD> m_unlocked;
        std::set<DWORD> m_killed;
    };

    // The walk: every item is done with as it is met.
    Outcome EraseTarget(const std::wstring& target);
    Outcome EraseTree(TreeWalk& walk, bool isRoot);
    Outcome EraseEntry(TreeWalk& walk, const DirectoryEntry& entry, FolderState& folder, bool& entered);
    Outcome FinishFolder(const std::wstring& path, const FileIdentity& listed, bool isRoot, const FolderState& state,
                         FolderState* parent);
    // After the walk: the files with several names, then the folders that waited for them.
    Outcome DecideWaiting();

    Outcome EraseFile(const FileItem& file, FolderState& folder);
    Outcome EraseNameOfSeveral(const FileItem& file);
    Outcome OpenForErasing(CEraserFileNTFS& file, const FileItem& item);
    Outcome EraseOpened(CEraserFileNTFS& file, const FileItem& item, const FileIdentity& identity);
    // The named streams of the file or folder open as `item`; a listing that fails is asked about.
    Outcome ListStreams(HANDLE item, const std::wstring& path, std::vector<NamedStream>& streams);
    Outcome OverwriteStreams(const std::vector<NamedStream>& streams, ContentEnd& content);
    Outcome OverwriteFolderStreams(const std::wstring& path, bool identified, const FileIdentity& listed, ContentEnd& content);
    Outcome RunMethod(CEraserFile& file, const std::wstring& path, ContentEnd& content);
    // `fate`: what became of the content, through this name (Overwrite) or apart from it.
    Outcome RemoveName(const FileItem& file, const FileIdentity& identity, ItemKind kind, ULONGLONG size, ContentFate fate,
                       ContentEnd content);
    std::wstring Scramble(HANDLE file, const std::wstring& path, ContentEnd& content);
    Outcome RemoveLink(const std::wstring& path, bool isFolder);
    Outcome RemoveFolder(const std::wstring& path, bool identified, const FileIdentity& listed);
    Outcome FinishRoot(const std::wstring& root);
    ContentFate FateOf(const FileIdentity& identity) const;
    void Defer(const FileItem& file, const FileIdentity& identity, FolderState& folder);

    // The one place that asks about the process holding an item: the question it gets next, and
    // a Retry carried out on that very process. False where no holder can be found.
    bool AskAboutHolder(const std::wstring& path, bool isFolder, Holders& holders, int32_t& answer);
    template <class Try>
    Outcome UntilResolved(const std::wstring& path, bool isFolder, Try attempt);

    // Tells the driver how far the count has come, now and then and once it ends.
    void ReportCount();
    void Finished(const std::wstring& path, ItemKind kind, ItemOutcome outcome, ULONGLONG size, int32_t code = 0,
                  const ContentEnd& content = ContentEnd{});
    bool StopRequested() const;

    const std::vector<std::wstring>& m_targets;
    NoticeCallback m_notify;
    CancelFlag* m_cancel;
    CFileStreams& m_streams;
    int m_methodId;
    // Whether the last pass of every file and stream is read back, and what it wrote.
    bool m_verify;
    PassDigest m_lastPass;
    std::unique_ptr<CEraseMethod> m_method;
    EraseContext m_context = {};
    // The items the job was given, each once however it was spelled; the count beside the job
    // reads them too, and so they outlive it.
    std::vector<std::wstring> m_distinctTargets;
    JobCounter m_counter;
    // Bytes of the items done with, whatever became of them: the job's progress.
    ULONGLONG m_passed = 0;
    // Items met so far, targets and the walk's entries: the count must have seen them first.
    ULONGLONG m_met = 0;
    ULONGLONG m_lastCountTick = 0;
    JobCount m_lastCount = {};
    // Files with several names: which of their names the job holds, which of them had their
    // content overwritten already, and the names met, in the order met.
    std::map<FileIdentity, std::set<FileName>> m_namesInJob;
    std::set<FileIdentity> m_overwritten;
    std::vector<FileItem> m_waitingFiles;
    // Deepest first: a folder comes after every folder below it.
    std::vector<WaitingFolder> m_waitingFolders;
};
