#include "locks/FileNameProbe.h"

#include "locks/INtDll.h"
#include "locks/NtRecords.h"
#include "win32/ScopedHandle.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

constexpr LONGLONG kProbeTimeoutMs = 100;
// After TerminateThread the thread may still run for a moment; its state is only given
// back once it has surely stopped.
constexpr DWORD kProbeReapMs = 1000;
constexpr ULONG kProbeBufferSize = 4096;
// Handles probed per wake of the thread: waking it costs as much as a probe.
constexpr LONG kBatchSize = 32;
constexpr LONG kNotStarted = -1;

// Everything the probe thread touches. The thread allocates nothing and waits only on kernel
// events, so ending it wherever it is leaves no lock of the heap or of the process held.
struct ProbeState {
    UniqueHandle request; // set by the asking thread once files and count are filled in
    UniqueHandle answer;  // set by the probe thread once every file of the batch is answered
    HANDLE files[kBatchSize] = {};
    LONG count = 0;
    // The file being probed, published after its start time; count once all are answered.
    volatile LONG current = kNotStarted;
    LONGLONG started[kBatchSize] = {}; // performance counter
    NTSTATUS status[kBatchSize] = {};
    IoStatusBlock ioStatus = {};
    alignas(8) BYTE buffers[kBatchSize][kProbeBufferSize];
};

LONGLONG Now()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

DWORD WINAPI ProbeThread(LPVOID parameter)
{
    auto* state = static_cast<ProbeState*>(parameter);
    DWORD woken = ::WaitForSingleObject(state->request.Get(), INFINITE);
    while (woken == WAIT_OBJECT_0) {
        for (LONG i = 0; i < state->count; ++i) {
            state->started[i] = Now();
            ::InterlockedExchange(&state->current, i);
            state->status[i] = INtDll::NtQueryInformationFile(state->files[i], &state->ioStatus, state->buffers[i],
                                                              kProbeBufferSize, kFileNameInformation);
        }
        ::InterlockedExchange(&state->current, state->count);
        // Answering and waiting for the next request in one call.
        woken = ::SignalObjectAndWait(state->answer.Get(), state->request.Get(), INFINITE, FALSE);
    }
    return 0;
}

// One thread, kept from probe to probe. Replaced only when a probe did not answer in time.
class Prober {
public:
    void Probe(const HANDLE* files, size_t count, ProbedName* results)
    {
        for (size_t first = 0; first < count;) {
            if (!m_state && !Start()) {
                // As if none had answered: the handles are passed over.
                std::fill(results + first, results + count, ProbedName{true, {}});
                return;
            }
            const LONG batch = static_cast<LONG>(std::min<size_t>(count - first, kBatchSize));
            std::copy_n(files + first, batch, m_state->files);
            m_state->count = batch;
            m_state->current = kNotStarted;
            const LONG answered = RunBatch();
            for (LONG i = 0; i < answered; ++i)
                results[first + i] = Read(i);
            first += answered;
            if (answered < batch) {
                Abandon();
                results[first++] = ProbedName{true, {}};
            }
        }
    }

private:
    // The number of files answered in time: the whole batch, or those before the one that hung.
    LONG RunBatch()
    {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        const LONGLONG timeout = kProbeTimeoutMs * frequency.QuadPart / 1000;
        const LONGLONG submitted = Now();
        DWORD waited = ::SignalObjectAndWait(m_state->request.Get(), m_state->answer.Get(), kProbeTimeoutMs, FALSE);
        for (;;) {
            if (waited == WAIT_OBJECT_0)
                return m_state->count;
            const LONG current = ::InterlockedOr(&m_state->current, 0);
            if (waited != WAIT_TIMEOUT)
                return std::max(current, 0L);
            // Every file gets its time from the moment its own query began.
            LONGLONG elapsed = 0;
            if (current < m_state->count)
                elapsed = Now() - (current == kNotStarted ? submitted : m_state->started[current]);
            if (elapsed >= timeout)
                return std::max(current, 0L);
            const LONGLONG left = (timeout - elapsed) * 1000 / frequency.QuadPart + 1;
            waited = ::WaitForSingleObject(m_state->answer.Get(), static_cast<DWORD>(left));
        }
    }

    ProbedName Read(LONG index) const
    {
        ProbedName probed;
        probed.answered = m_state->status[index] == kStatusSuccess
                          && NtRecords::ParseFileNameInformation(m_state->buffers[index], kProbeBufferSize, probed.name);
        return probed;
    }

    bool Start()
    {
        std::unique_ptr<ProbeState> state(new (std::nothrow) ProbeState());
        if (!state)
            return false;
        state->request.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        state->answer.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!state->request || !state->answer)
            return false;
        m_thread.Reset(::CreateThread(nullptr, 0, ProbeThread, state.get(), 0, nullptr));
        if (!m_thread)
            return false;
        m_state = std::move(state);
        return true;
    }

    void Abandon()
    {
        ::TerminateThread(m_thread.Get(), 0);
        if (::WaitForSingleObject(m_thread.Get(), kProbeReapMs) == WAIT_OBJECT_0)
            m_state.reset();
        else
            m_state.release(); // still in use by a thread that would not stop: leave it to it
        m_thread.Reset();
    }

    std::unique_ptr<ProbeState> m_state;
    UniqueHandle m_thread;
};

SRWLOCK g_probeLock = SRWLOCK_INIT;

} // namespace

void ProbeFileNames(const HANDLE* files, size_t count, ProbedName* results)
{
    // Never destroyed: its idle thread ends with the process, and no destructor can pull its
    // state away while the thread or a late lookup still uses it.
    static Prober* const prober = new (std::nothrow) Prober();
    if (!prober) {
        std::fill(results, results + count, ProbedName{true, {}});
        return;
    }
    ::AcquireSRWLockExclusive(&g_probeLock);
    prober->Probe(files, count, results);
    ::ReleaseSRWLockExclusive(&g_probeLock);
}
