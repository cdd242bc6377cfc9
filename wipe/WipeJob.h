#pragma once
// Wiping a drive's free space: every free cluster is overwritten through files of the wipe's
// own, the free records of the file table are taken by small files, then all of it is removed.
// Runs on a worker thread and reports through the erase job's notices and the wipe's own
// (WipeNotice.h).

#include "engine/CancelFlag.h"
#include "engine/EraseNotice.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class FillFile;

// "E:", "e:\" -> "E:\"; empty for anything that is not a drive letter's root.
std::wstring DriveRootOf(const wchar_t* drive);

// The free bytes of the drive, as the system counts them for everyone.
bool QueryFreeBytes(const std::wstring& root, ULONGLONG& freeBytes);

struct WipeJob {
    std::wstring drive; // "E:" or "E:\"
    int32_t methodId;   // as for erasing
    NoticeCallback notify;
    CancelFlag* cancel;
    // Every fill file's last pass is read back past the cache and compared.
    bool verifyLastPass = true;
    // Where the fill files come from; empty for the file system's own. A seam for tests.
    std::function<std::unique_ptr<FillFile>()> makeFillFile;
};

// The worker thread's procedure; its argument is the WipeJob, alive until the job ends.
DWORD WINAPI RunWipeJob(LPVOID job);
