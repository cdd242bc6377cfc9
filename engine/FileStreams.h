#pragma once
// The named data streams of a file, beside its main one: content that goes when the file is
// deleted, and so must be overwritten like the file. Behind a seam, so that the flow over the
// streams can be tested where the file system has none.

#include "engine/EraserFile.h"

#include <memory>
#include <string>
#include <vector>

struct NamedStream {
    std::wstring path; // the file's path followed by ":name:$DATA"
    ULONGLONG size;
};

class CFileStreams {
public:
    // Empty where the file has none, and where the file system knows no streams.
    virtual std::vector<NamedStream> List(const std::wstring& file) = 0;
    // The stream opened for overwriting; `result` says why there is none.
    virtual std::unique_ptr<CEraserFile> Open(const NamedStream& stream, OpenResult& result) = 0;

protected:
    ~CFileStreams() = default;
};

// The file system's own streams.
CFileStreams& SystemFileStreams();
