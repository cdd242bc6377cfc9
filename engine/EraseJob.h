#pragma once
// One erase job: the record the job driver hands to the worker thread.

#include "engine/CancelFlag.h"
#include "engine/EraseNotice.h"

#include <windows.h>

#include <cstdint>

struct EraseJob {
    // A file, or a folder ending with "\"; a "\\?\" prefix is passed on unchanged.
    const wchar_t* target;
    int32_t methodId; // 1..6; any other value runs the Gutmann method
    NoticeCallback notify;
    CancelFlag* cancel;
};

// The worker thread's procedure; its argument is the EraseJob, alive until the job ends.
DWORD WINAPI RunEraseJob(LPVOID job);
