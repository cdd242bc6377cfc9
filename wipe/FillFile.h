#pragma once
// A file of the wipe that takes free clusters, seen by the erase methods as the file they
// overwrite. Writes go out unbuffered in large sector-aligned blocks, gathered from the
// methods' chunks. Where the file system runs out of room in the middle of the file (it may
// hand out clusters only as they are written), the rest of every pass is dropped: those
// clusters never became the file's, and the file counts as filled as far as it got.

#include "engine/overwrite/EraserFile.h"
#include "win32/ScopedHandle.h"
#include "win32/VirtualBuffer.h"

#include <windows.h>

class FillFile : public CEraserFile {
public:
    FillFile() = default;
    FillFile(const FillFile&) = delete;
    FillFile& operator=(const FillFile&) = delete;
    ~FillFile() { Close(); }

    // Creates the file; it must not exist. No other process can hold a new file: it is always
    // opened alone.
    OpenResult Open(const wchar_t* path, OpenSharing sharing) override;
    // Gives the new file its size; where the file system allocates at once, a full disk
    // refuses here. False with the system's error.
    bool Reserve(ULONGLONG size);

    bool GetSize(ULONGLONG& size) override;
    // Passes start at the beginning: no other position is supported.
    bool Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin) override;
    bool Write(const void* buffer, DWORD count, DWORD* written) override;
    // Writes what is gathered; false where the disk refused it for another reason than room.
    bool Flush() override;
    bool StartReadBack() override { return Flush(); }
    bool ReadUncached(ULONGLONG offset, void* buffer, DWORD count, DWORD* read) override;
    void Close() override;

    // How far the file was written before the file system had no more room for it.
    ULONGLONG Reached() const { return m_full ? m_limit : m_size; }
    // Why the file system gave no more room: 0, or the system's error (disk full, a quota).
    DWORD Refusal() const { return m_refusal; }

private:
    UniqueFile m_file;
    VirtualBuffer m_block;
    size_t m_staged = 0;
    ULONGLONG m_position = 0; // of the first staged byte
    ULONGLONG m_size = 0;
    bool m_full = false;
    ULONGLONG m_limit = 0;
    DWORD m_refusal = 0;
};

// ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack.
constexpr DWORD kErrorQuotaExceeded = 1295;

// A write error that means the file system has no more room for the file.
bool IsOutOfRoom(DWORD error);
