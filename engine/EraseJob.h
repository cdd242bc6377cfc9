#pragma once
// One erase job: the record the job driver hands to the worker thread.

#include "engine/CancelFlag.h"
#include "engine/EraseNotice.h"
#include "engine/overwrite/FileStreams.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct EraseJob {
    // Files, and folders ending with "\"; a "\\?\" prefix is passed on unchanged. One job
    // over all of them: one total, and a file with several names among them counted once.
    std::vector<std::wstring> targets;
    int32_t methodId; // 1..6; any other value runs the Gutmann method
    NoticeCallback notify;
    CancelFlag* cancel;
    // Where the named streams of files come from; null for the file system's own.
    CFileStreams* streams = nullptr;
    // Every file's and stream's last pass is read back past the cache and compared.
    bool verifyLastPass = true;
};

// The worker thread's procedure; its argument is the EraseJob, alive until the job ends.
DWORD WINAPI RunEraseJob(LPVOID job);
