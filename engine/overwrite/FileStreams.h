#pragma once
// The named data streams of a file, beside its main one: content that goes when the file is
// deleted, and so must be overwritten like the file. Behind a seam, so that the flow over the
// streams can be tested where the file system has none.

#include "engine/overwrite/EraserFile.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct NamedStream {
    std::wstring path; // the file's path followed by ":name:$DATA"
    ULONGLONG size;
};

class CFileStreams {
public:
    // Of the file or folder open as `file`, found at `path` (a folder's without its final
    // separator); none where the file system keeps no streams. False where they could not be
    // listed, with the system's error set.
    virtual bool List(HANDLE file, const std::wstring& path, std::vector<NamedStream>& streams) = 0;
    // The stream opened for overwriting; `result` says why there is none.
    virtual std::unique_ptr<CEraserFile> Open(const NamedStream& stream, OpenResult& result) = 0;

protected:
    ~CFileStreams() = default;
};

// The file system's own streams.
CFileStreams& SystemFileStreams();

// The named streams in a FILE_STREAM_INFO chain, their paths below `file`; the main stream
// ("::$DATA") is left out. False where a record or its name runs outside the buffer.
bool ParseStreamRecords(const void* buffer, size_t size, const std::wstring& file, std::vector<NamedStream>& streams);
