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
// Holds the name record of nearly every path; a longer one is asked again, alone, into a
// buffer that holds the longest name the system can give.
constexpr ULONG kProbeBufferSize = 4096;
constexpr ULONG kLongNameBufferSize = 16 + 65536;
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
    // A batch of one file whose name did not fit its buffer, asked again into longName.
    bool askingLong = false;
    // The file being probed, published after its start time; count once all are answered.
    volatile LONG current = kNotStarted;
    LONGLONG started[kBatchSize] = {}; // performance counter
    NTSTATUS status[kBatchSize] = {};
    alignas(8) BYTE buffers[kBatchSize][kProbeBufferSize];
    alignas(8) BYTE longName[kLongNameBufferSize];

    BYTE* Buffer(LONG index) { return askingLong ? longName : buffers[index]; }
    ULONG BufferSize() const { return askingLong ? kLongNameBufferSize : kProbeBufferSize; }
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
            state->status[i] = INtDll::NtQueryObject(state->files[i], kObjectNameInformation, state->Buffer(i),
                                                     state->BufferSize(), nullptr);
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
    void Probe(const HANDLE* files, size_t count, std::wstring* names)
    {
        for (size_t first = 0; first < count;) {
            const LONG batch = static_cast<LONG>(std::min<size_t>(count - first, kBatchSize));
            if (!Ask(files + first, batch, false)) {
                // As if none had answered: the handles are passed over.
                std::fill(names + first, names + count, std::wstring());
                return;
            }
            const LONG answered = RunBatch();
            LONG tooLong[kBatchSize];
            LONG tooLongCount = 0;
            for (LONG i = 0; i < answered; ++i) {
                if (!Read(i, names[first + i]) && IsBufferTooSmall(m_state->status[i]))
                    tooLong[tooLongCount++] = i;
            }
            if (answered < batch) {
                Abandon();
                names[first + answered].clear();
            }
            for (LONG n = 0; n < tooLongCount; ++n)
                AskAlone(files[first + tooLong[n]], names[first + tooLong[n]]);
            first += answered < batch ? answered + 1 : answered;
        }
    }

private:
    // Hands a batch to the thread, started first when there is none; false when none starts.
    bool Ask(const HANDLE* files, LONG count, bool longNames)
    {
        if (!m_state && !Start())
            return false;
        std::copy_n(files, count, m_state->files);
        m_state->count = count;
        m_state->askingLong = longNames;
        m_state->current = kNotStarted;
        return true;
    }

    void AskAlone(HANDLE file, std::wstring& name)
    {
        name.clear();
        if (!Ask(&file, 1, true))
            return;
        if (RunBatch() == 1)
            Read(0, name);
        else
            Abandon();
    }

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

    bool Read(LONG index, std::wstring& name) const
    {
        name.clear();
        return m_state->status[index] == kStatusSuccess
               && NtRecords::ParseObjectName(m_state->Buffer(index), m_state->BufferSize(), NtRecords::kNativeLayout,
                                             name);
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

void ProbeFileNames(const HANDLE* files, size_t count, std::wstring* names)
{
    // Never destroyed: its idle thread ends with the process, and no destructor can pull its
    // state away while the thread or a late lookup still uses it.
    static Prober* const prober = new (std::nothrow) Prober();
    if (!prober) {
        std::fill(names, names + count, std::wstring());
        return;
    }
    ::AcquireSRWLockExclusive(&g_probeLock);
    prober->Probe(files, count, names);
    ::ReleaseSRWLockExclusive(&g_probeLock);
}
