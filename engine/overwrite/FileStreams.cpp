#include "engine/overwrite/FileStreams.h"

#include "engine/RecordChain.h"
#include "engine/overwrite/EraserFileNTFS.h"

namespace {

// Enough for hundreds of streams; a file with more is asked again with more room.
constexpr size_t kFirstBufferBytes = 4096;
constexpr size_t kLargestBufferBytes = 1 << 20;

// The answers of a file system that keeps no streams (Wine's: invalid function), and of a file
// that has none at all, not even its main one (a folder).
bool KeepsNoStreams(DWORD error)
{
    return error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED
           || error == ERROR_HANDLE_EOF;
}

class CSystemStreams final : public CFileStreams {
public:
    bool List(HANDLE file, const std::wstring& path, std::vector<NamedStream>& streams) override
    {
        streams.clear();
        // Asked of the open file: listing by name would open the file once more.
        for (size_t bytes = kFirstBufferBytes; bytes <= kLargestBufferBytes; bytes *= 4) {
            std::vector<BYTE> buffer(bytes);
            if (::GetFileInformationByHandleEx(file, FileStreamInfo, buffer.data(), static_cast<DWORD>(bytes))) {
                if (ParseStreamRecords(buffer.data(), bytes, path, streams))
                    return true;
                ::SetLastError(ERROR_INVALID_DATA);
                return false;
            }
            const DWORD error = ::GetLastError();
            if (KeepsNoStreams(error))
                return true;
            if (error != ERROR_MORE_DATA)
                return false;
        }
        ::SetLastError(ERROR_MORE_DATA);
        return false;
    }

    std::unique_ptr<CEraserFile> Open(const NamedStream& stream, OpenResult& result) override
    {
        auto file = std::make_unique<CEraserFileNTFS>();
        result = file->Open(stream.path.c_str(), kOpenAlone);
        if (result != kOpenOk)
            return nullptr;
        // As for the file's main data; where refused, the file's own answer has told.
        file->ZeroOnDeallocation();
        return file;
    }
};

} // namespace

CFileStreams& SystemFileStreams()
{
    static CSystemStreams streams;
    return streams;
}

bool ParseStreamRecords(const void* buffer, size_t size, const std::wstring& file, std::vector<NamedStream>& streams)
{
    return ForEachRecord(buffer, size, offsetof(FILE_STREAM_INFO, StreamName), &FILE_STREAM_INFO::StreamNameLength,
                         [&](const FILE_STREAM_INFO& record, std::wstring&& name) {
                             // The main stream is listed as "::$DATA".
                             if (name.size() > 1 && name[0] == L':' && name[1] != L':')
                                 streams.push_back({file + name, static_cast<ULONGLONG>(record.StreamSize.QuadPart)});
                         });
}
