#include "locks/FileNameProbe.h"

#include "locks/INtDll.h"
#include "locks/NtRecords.h"
#include "win32/ScopedHandle.h"

#include <memory>
#include <new>

namespace {

constexpr DWORD kProbeTimeoutMs = 100;
// After TerminateThread the thread may still run for a moment; its state is only given
// back once it has surely stopped.
constexpr DWORD kProbeReapMs = 1000;
constexpr ULONG kProbeBufferSize = 4096;

// Everything the probe thread touches. The thread allocates nothing and waits only on kernel
// events, so ending it wherever it is leaves no lock of the heap or of the process held.
struct ProbeState {
    UniqueHandle request; // set by the asking thread once file is filled in
    UniqueHandle answer;  // set by the probe thread once status and buffer are filled in
    HANDLE file = nullptr;
    IoStatusBlock ioStatus = {};
    NTSTATUS status = 0;
    alignas(8) BYTE buffer[kProbeBufferSize];
};

DWORD WINAPI ProbeThread(LPVOID parameter)
{
    auto* state = static_cast<ProbeState*>(parameter);
    DWORD woken = ::WaitForSingleObject(state->request.Get(), INFINITE);
    while (woken == WAIT_OBJECT_0) {
        state->status = INtDll::NtQueryInformationFile(state->file, &state->ioStatus, state->buffer, kProbeBufferSize,
                                                       kFileNameInformation);
        // Answering and waiting for the next request in one call.
        woken = ::SignalObjectAndWait(state->answer.Get(), state->request.Get(), INFINITE, FALSE);
    }
    return 0;
}

// One thread, kept from probe to probe. Replaced only when a probe did not answer in time.
class Prober {
public:
    bool Probe(HANDLE file, std::wstring& name)
    {
        if (!m_state && !Start()) {
            name.clear(); // as if it had not answered: the handle is passed over
            return true;
        }
        m_state->file = file;
        if (::SignalObjectAndWait(m_state->request.Get(), m_state->answer.Get(), kProbeTimeoutMs, FALSE) != WAIT_OBJECT_0) {
            Abandon();
            name.clear();
            return true;
        }
        std::wstring probed;
        if (m_state->status != kStatusSuccess
            || !NtRecords::ParseFileNameInformation(m_state->buffer, kProbeBufferSize, probed))
            return false;
        name = probed;
        return true;
    }

private:
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

bool ProbeFileName(HANDLE file, std::wstring& name)
{
    // Never destroyed: its idle thread ends with the process, and no destructor can pull its
    // state away while the thread or a late lookup still uses it.
    static Prober* const prober = new (std::nothrow) Prober();
    if (!prober) {
        name.clear();
        return true;
    }
    ::AcquireSRWLockExclusive(&g_probeLock);
    const bool result = prober->Probe(file, name);
    ::ReleaseSRWLockExclusive(&g_probeLock);
    return result;
}
