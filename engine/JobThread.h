#pragma once
// What every job's thread procedure does around its worker.

#include "engine/EraseNotice.h"

#include <windows.h>

// Makes the job's worker and runs it. Nothing may leave a thread procedure: running out of
// memory (the only exception the workers let through) ends the job as terminated.
template <class Worker, class Job>
DWORD RunJobThread(LPVOID parameter)
{
    const Job& job = *static_cast<const Job*>(parameter);
    try {
        Worker worker(job);
        worker.Run();
    } catch (...) {
        SendNoMemory(job.notify);
        SendNotice(job.notify, JobTerminated);
    }
    return 0;
}
