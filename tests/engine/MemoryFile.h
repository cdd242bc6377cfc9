#pragma once
// A file in memory that records every seek and write, and fails on request: its slack, a
// write that writes less, a read-back that differs.

#include "engine/overwrite/EraserFile.h"

#include <functional>
#include <vector>

class MemoryFile final : public CEraserFile {
public:
    struct WriteCall {
        ULONGLONG offset;
        std::vector<BYTE> data;
        bool operator==(const WriteCall& other) const { return offset == other.offset && data == other.data; }
    };
    struct SeekCall {
        LONGLONG distance;
        DWORD origin;
        bool operator==(const SeekCall& other) const { return distance == other.distance && origin == other.origin; }
    };

    explicit MemoryFile(size_t size) : content(size, 0xEE) {}

    OpenResult Open(const wchar_t*, OpenSharing) override { return kOpenOk; }
    bool GetSize(ULONGLONG& size) override;
    bool ReachClusterEnd(ULONGLONG& end) override;
    bool RestoreSize() override;
    bool ReadUncached(ULONGLONG offset, void* buffer, DWORD count, DWORD* read) override;
    bool Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin) override;
    bool Write(const void* buffer, DWORD count, DWORD* written) override;
    void Close() override {}

    std::vector<BYTE> content;
    ULONGLONG position = 0;
    std::vector<SeekCall> seeks;
    std::vector<WriteCall> writes;

    ULONGLONG allocation = 0; // the end of the last cluster, where beyond the content
    ULONGLONG dataSize = 0;   // as the frame found it
    ULONGLONG extendedTo = 0;
    bool readBackDiffers = false;
    size_t shortWriteAt = SIZE_MAX; // index of the write call that writes one byte less
    bool failSize = false;
    size_t failSeekAt = SIZE_MAX;  // index of the seek call that fails
    size_t failWriteAt = SIZE_MAX; // index of the write call that fails
    std::function<void(size_t writeIndex)> afterWrite;
};
