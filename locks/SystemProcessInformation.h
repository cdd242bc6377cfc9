#pragma once
// A snapshot of all processes, searchable by process id.

#include "locks/INtDll.h"
#include "win32/VirtualBuffer.h"

#include <map>
#include <string>

class SystemProcessInformation : public INtDll {
public:
    // One process record inside the snapshot buffer, in the system's own format; valid until
    // the next snapshot or the object's end. Read it through ImageName.
    struct _SYSTEM_PROCESS_INFORMATION;

    // A desktop's process list outgrows the first 64 KiB easily: a later snapshot can start
    // at the size an earlier one needed (BufferSize).
    static constexpr size_t kFirstBufferSize = 65536;
    explicit SystemProcessInformation(size_t bufferSize = kFirstBufferSize);
    virtual ~SystemProcessInformation();

    SystemProcessInformation(const SystemProcessInformation&) = delete;
    SystemProcessInformation& operator=(const SystemProcessInformation&) = delete;

    bool TakeSnapshot();
    const _SYSTEM_PROCESS_INFORMATION* FindProcess(DWORD processId) const;
    // False when the record carries no image name.
    bool ImageName(const _SYSTEM_PROCESS_INFORMATION* record, std::wstring& name) const;
    size_t BufferSize() const { return m_buffer.Size(); }

private:
    VirtualBuffer m_buffer;
    std::map<ULONG, size_t> m_recordsByPid;
};
