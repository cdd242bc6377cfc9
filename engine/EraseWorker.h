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

class EraseWorker {
public:
    explicit EraseWorker(const EraseJob& job);
    void Run();

    // Renames the file 26 times (every character of its name but the dots becomes A, then
    // B, ... Z) and returns the name it ends under; a failed rename ends the renaming.
    static std::wstring ScrambleName(const std::wstring& path);

    // A junction or a symbolic link: what it points to lies outside the target and is never
    // walked into or written through. An unknown tag counts as a link, to be safe; other
    // reparse points (deduplicated or cloud files, for example) are ordinary files and folders.
    static bool IsLink(DWORD attributes, DWORD reparseTag);

private:
    // A file to erase; a link in the place of a file is removed, never written through.
    struct FileTarget {
        std::wstring path;
        bool isLink;
        FileIdentity identity; // one name only where it could not be read
        ULONGLONG size;        // its data, the named streams' included
    };

    // What erasing one name of a file does to the file's content.
    enum class ContentFate {
        Overwrite,        // every name of the file is in the job: the content goes
        AlreadyErased,    // overwritten earlier in the job, through another of its names
        KeptForOutside,   // the file has names outside the job, which keep their content
    };

    // How one step of a file ended.
    enum class StepEnd { Done, Skipped, Stopped };

    void CollectTargets(const std::wstring& target);
    void CollectFolder(const std::wstring& folder);
    void AddFile(const std::wstring& path, bool isLink, ULONGLONG size);
    ULONGLONG ContentToWrite() const;
    ContentFate FateOf(const FileIdentity& identity) const;

    bool EraseOneFile(const FileTarget& target);
    StepEnd OverwriteContent(CEraserFileNTFS& file, const std::wstring& path);
    StepEnd RunMethod(CEraserFile& file, const std::wstring& path);
    bool RemoveName(const std::wstring& path, bool contentKept);
    StepEnd DeleteScrambled(const std::wstring& path);
    bool RemoveLink(const std::wstring& path);
    bool RemoveOneFolder(const std::wstring& path);
    bool FinishRoot(const std::wstring& root);
    bool StopRequested() const;

    const wchar_t* m_target;
    NoticeCallback m_notify;
    CancelFlag* m_cancel;
    CFileStreams& m_streams;
    int m_methodId;
    std::unique_ptr<CEraseMethod> m_method;
    bool m_failed = false;
    EraseContext m_context = {};
    std::vector<FileTarget> m_files;
    std::vector<std::wstring> m_folders;
    ULONGLONG m_totalSize = 0;
    // Files with several names: how many of their names the job holds, and which of them had
    // their content overwritten already.
    std::map<FileIdentity, DWORD> m_namesInJob;
    std::set<FileIdentity> m_overwritten;
};
