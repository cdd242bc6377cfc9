#pragma once
// Carries out one erase job: walks the target, overwrites, renames and deletes every file,
// then removes the folders, deepest first, reporting every step as a notice.

#include "engine/EraseJob.h"
#include "engine/EraseMethod.h"

#include <memory>
#include <string>
#include <vector>

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
    };

    void CollectTargets(const std::wstring& target);
    void CollectFolder(const std::wstring& folder);
    bool EraseOneFile(const FileTarget& target);
    bool RemoveLink(const std::wstring& path);
    bool RemoveOneFolder(const std::wstring& path);
    bool StopRequested() const;

    const wchar_t* m_target;
    NoticeCallback m_notify;
    CancelFlag* m_cancel;
    int m_methodId;
    std::unique_ptr<CEraseMethod> m_method;
    bool m_failed = false;
    EraseContext m_context = {};
    std::vector<FileTarget> m_files;
    std::vector<std::wstring> m_folders;
    ULONGLONG m_totalSize = 0;
};
