#pragma once
// Carries out one wipe of a drive's free space: checks the drive, makes the wipe's folder,
// fills the free clusters, takes the free file-table records, removes all it made, and
// reports every phase as a notice.

#include "engine/PassDigest.h"
#include "engine/overwrite/EraseMethod.h"
#include "wipe/WipeFolder.h"
#include "wipe/WipeJob.h"
#include "wipe/WipeNotice.h"

#include <memory>

class FillFile;
#include <string>

class WipeWorker {
public:
    explicit WipeWorker(const WipeJob& job);
    void Run();

private:
    // True when every phase ran to its end and the wipe's folder is gone; fill files skipped
    // on the way are counted apart.
    bool Wipe();
    bool CheckDrive();
    bool FillClusters(const WipeFolder& folder);
    // The method's passes over one fill file, its last one read back where asked. Stopped ends
    // the wipe; Skipped leaves the file's clusters as they were.
    Outcome FillOne(FillFile& file, const std::wstring& path);
    bool FillRecords(const WipeFolder& folder);
    // Writes the first record file with as much content as stays inside its record; the
    // content's size, 0 when none does (a file system that keeps no content in its table).
    DWORD ProbeRecordContent(const std::wstring& path, const BYTE* content, DWORD largest);
    bool StopRequested() const;

    std::wstring m_drive;
    NoticeCallback m_notify;
    CancelFlag* m_cancel;
    int m_methodId;
    bool m_verify;
    PassDigest m_lastPass;
    ULONGLONG m_fillFilesSkipped = 0;
    std::function<std::unique_ptr<FillFile>()> m_makeFillFile;
    std::unique_ptr<CEraseMethod> m_method;
    std::wstring m_root;
    ULONGLONG m_freeBefore = 0;
    ULONGLONG m_clusterSize = 0;
    EraseContext m_context = {};
    LcgRandom m_random;
};
