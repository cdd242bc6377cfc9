#pragma once
// One erase job: the record the job driver hands to the worker thread.

#include "engine/CancelFlag.h"
#include "engine/EraseNotice.h"
#include "engine/FileStreams.h"

#include <windows.h>

#include <cstdint>

struct EraseJob {
    // A file, or a folder ending with "\"; a "\\?\" prefix is passed on unchanged.
    const wchar_t* target;
    int32_t methodId; // 1..6; any other value runs the Gutmann method
    NoticeCallback notify;
    CancelFlag* cancel;
    // Where the named streams of files come from; null for the file system's own.
    CFileStreams* streams = nullptr;
};

// The worker thread's procedure; its argument is the EraseJob, alive until the job ends.
DWORD WINAPI RunEraseJob(LPVOID job);
