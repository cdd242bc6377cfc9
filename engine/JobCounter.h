#pragma once
// The count that runs beside an erase job on a thread of its own: the files and bytes of the
// job's targets, listed as the job's walk lists them and nothing more, so that the job's total
// is known soon while the job itself starts at once. It sends no notices: the worker reads it.

#include "engine/JobSize.h"
#include "win32/ScopedHandle.h"

#include <atomic>
#include <string>
#include <vector>

class JobCounter final : public JobSize {
public:
    JobCounter() = default;
    JobCounter(const JobCounter&) = delete;
    JobCounter& operator=(const JobCounter&) = delete;
    ~JobCounter() { Stop(); }

    // Starts counting the targets, which stay alive until the count is stopped; where no
    // thread can be had, counts them here and now.
    void Start(const std::vector<std::wstring>& targets);
    // Ends the count and waits for its thread.
    void Stop();
    // Waits for the count to end by itself.
    void Wait();
    // Any thread.
    JobCount Current() const override;
    // Bytes the count cannot see (a file's named streams), added by the worker as it meets them.
    void AddBytes(ULONGLONG bytes) { m_extraBytes += bytes; }
    // Called by the worker before it acts on the item it meets as the `met`-th (targets and the
    // walk's entries, in the walk's order): waits until the count has seen as far, so that no
    // item is erased before it is counted. The count is far ahead but at the very start.
    void WaitUntilSeen(ULONGLONG met);

private:
    static DWORD WINAPI CountOnThread(LPVOID counter);
    void Count();
    void CountFolder(const std::wstring& folder);
    void Saw();

    const std::vector<std::wstring>* m_targets = nullptr;
    std::atomic<ULONGLONG> m_files{0};
    std::atomic<ULONGLONG> m_bytes{0};
    std::atomic<ULONGLONG> m_extraBytes{0};
    std::atomic<bool> m_complete{false};
    std::atomic<bool> m_stop{false};
    // Items seen, the count's end, and the worker waiting for either, woken by the event.
    std::atomic<ULONGLONG> m_seen{0};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_workerWaits{false};
    UniqueHandle m_progressed;
    UniqueHandle m_thread;
};
