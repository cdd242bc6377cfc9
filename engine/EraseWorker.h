#pragma once
// Carries out one erase job: walks the target, overwrites, renames and deletes every file,
// then removes the folders, deepest first, reporting every step as a notice.

#include "engine/EraseJob.h"
#include "engine/EraseMethod.h"
#include "engine/FileIdentity.h"
#include "engine/FileStreams.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CEraserFileNTFS;
class DirectoryListing;

class EraseWorker {
public:
    explicit EraseWorker(const EraseJob& job);
    void Run();

    // Renames the file the handle holds (opened with delete access) 26 times: every character of
    // its name but the dots becomes A, then B, ... Z. Returns the name it ends under; a failed
    // rename ends the renaming.
    static std::wstring ScrambleName(HANDLE file, const std::wstring& path);

private:
    // A file to erase; a link in the place of a file is removed, never written through.
    struct FileTarget {
        std::wstring path;
        bool isLink;
        bool identified;       // whether the walk knows which file the path led to
        FileIdentity identity; // one name only where it could not be read
        bool nameKnown;        // whether the folder that holds the name could be told
        FileName name;
        ULONGLONG size;        // its data, the named streams' included
    };

    // A folder to remove once it is empty, or a link in the place of a folder, removed itself.
    struct FolderTarget {
        std::wstring path;     // with its final separator; a link's without
        bool isLink;
        bool identified;       // whether the walk listed it, and so knows which folder it is
        FileIdentity identity;
    };

    // What erasing one name of a file does to the file's content.
    enum class ContentFate {
        Overwrite,        // every name of the file is in the job: the content goes
        AlreadyErased,    // overwritten earlier in the job, through another of its names
        KeptForOutside,   // the file has names outside the job, which keep their content
    };

    // How one step of a file ended.
    enum class StepEnd { Done, Skipped, Stopped };

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

    // What came of asking about the process that holds an item.
    enum class HolderEnd { Freed, Skipped, Stopped, NoHolder };

    void CollectTargets(const std::wstring& target);
    void CollectFolder(const std::wstring& folder, DirectoryListing&& listing);
    void AddFolder(const std::wstring& folder, bool isLink, const FileIdentity* listed);
    // `found`: the file the walk found under the path, where known; `name`: the name it has there.
    void AddFile(const std::wstring& path, bool isLink, ULONGLONG size, const FileIdentity* found, const FileName* name);
    ULONGLONG ContentToWrite() const;
    ContentFate FateOf(const FileIdentity& identity) const;

    bool EraseOneFile(const FileTarget& target);
    StepEnd OverwriteContent(CEraserFileNTFS& file, const std::wstring& path);
    StepEnd RunMethod(CEraserFile& file, const std::wstring& path);
    HolderEnd AskAboutHolder(const std::wstring& current, const std::wstring& shown, bool isFolder, Holders& holders);
    bool RemoveName(const FileTarget& target, const FileIdentity& identity, bool contentKept);
    StepEnd RemoveFileName(const FileTarget& target, bool keepAttributes);
    static bool DeleteHeld(HANDLE file, const std::wstring& path, bool keepAttributes);
    bool RemoveLink(const std::wstring& path);
    bool RemoveOneFolder(const FolderTarget& folder);
    bool FinishRoot(const std::wstring& root);
    bool StopRequested() const;

    const std::vector<std::wstring>& m_targets;
    NoticeCallback m_notify;
    CancelFlag* m_cancel;
    CFileStreams& m_streams;
    int m_methodId;
    std::unique_ptr<CEraseMethod> m_method;
    bool m_failed = false;
    EraseContext m_context = {};
    std::vector<FileTarget> m_files;
    std::vector<FolderTarget> m_folders;
    ULONGLONG m_totalSize = 0;
    // The items the job was given, each once however it was spelled.
    std::set<FileName> m_namedItems;
    // Files with several names: which of their names the job holds, and which of them had
    // their content overwritten already.
    std::map<FileIdentity, std::set<FileName>> m_namesInJob;
    std::set<FileIdentity> m_overwritten;
};
