#pragma once
// The erasing engine's view of one file being overwritten.

#include <windows.h>

class PassDigest;

// How Open shares the file with the handles other processes have on it.
enum OpenSharing : int {
    kOpenAlone = 0,          // no other handle may read, write or delete meanwhile
    // Once a holder has been freed: the handles that remain, and share reading and writing, no
    // longer keep the file from being overwritten.
    kOpenBesideHolders = 1,
};

enum OpenResult : int {
    kOpenOk = 0,
    kOpenFailed = 1,
    kOpenLocked = 2, // another process holds the file (a sharing or lock violation)
};

// Reads at an offset, through a handle that may be unbuffered; past the end nothing is read.
bool ReadFileAt(HANDLE file, ULONGLONG offset, void* buffer, DWORD count, DWORD* read);

class CEraserFile {
public:
    virtual ~CEraserFile() = default;
    virtual OpenResult Open(const wchar_t* path, OpenSharing sharing) = 0;
    virtual bool GetSize(ULONGLONG& size) = 0;
    // Makes the file reach the end of its last cluster, so that the passes overwrite the slack
    // there (what longer content left before the file was cut); `end`: its size then. Where the
    // file grew since, its new end is its data's. Nothing beyond the data is ever shown to a
    // reader meanwhile: the file system shows zeros there until a pass has written it.
    virtual bool ReachClusterEnd(ULONGLONG& end) { return GetSize(end); }
    // Gives the file back the size of its data, cutting what ReachClusterEnd added.
    virtual bool RestoreSize() { return true; }
    // origin: FILE_BEGIN or FILE_END; newPosition may be null.
    virtual bool Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin) = 0;
    // A write that wrote less than asked is a failure too.
    virtual bool Write(const void* buffer, DWORD count, DWORD* written) = 0;
    // What was written is on the disk.
    virtual bool Flush() { return true; }
    // From then on reads go past the cache, from the disk.
    virtual bool StartReadBack() { return true; }
    // `count` bytes at `offset`, both multiples of kReadBackAlignment, into a buffer aligned so;
    // fewer at the end of the file.
    virtual bool ReadUncached(ULONGLONG offset, void* buffer, DWORD count, DWORD* read) = 0;
    virtual void Close() = 0;

    // What lands in the file from then on is added to `digest`; null ends that.
    void RecordWrites(PassDigest* digest) { m_record = digest; }

    // A multiple of every sector size in use.
    static constexpr DWORD kReadBackAlignment = 4096;

protected:
    // Called by the implementations for what reached the file.
    void Landed(ULONGLONG offset, const void* data, DWORD count);
    PassDigest* Recording() const { return m_record; }

private:
    PassDigest* m_record = nullptr;
};
