#include "engine/FileStreams.h"

#include "engine/EraserFileNTFS.h"
#include "engine/RecordChain.h"

namespace {

// Enough for hundreds of streams; a file with more is asked again with more room.
constexpr size_t kFirstBufferBytes = 4096;
constexpr size_t kLargestBufferBytes = 1 << 20;

class SystemStreams final : public CFileStreams {
public:
    std::vector<NamedStream> List(HANDLE file, const std::wstring& path) override
    {
        std::vector<NamedStream> streams;
        // Asked of the open file: listing by name would open the file once more. Where the file
        // system keeps no streams the query fails, and there are none.
        for (size_t bytes = kFirstBufferBytes; bytes <= kLargestBufferBytes; bytes *= 4) {
            std::vector<BYTE> buffer(bytes);
            if (::GetFileInformationByHandleEx(file, FileStreamInfo, buffer.data(), static_cast<DWORD>(bytes))) {
                ParseStreamRecords(buffer.data(), bytes, path, streams);
                break;
            }
            if (::GetLastError() != ERROR_MORE_DATA)
                break;
        }
        return streams;
    }

    std::unique_ptr<CEraserFile> Open(const NamedStream& stream, OpenResult& result) override
    {
        auto file = std::make_unique<CEraserFileNTFS>();
        result = file->Open(stream.path.c_str(), kOpenAlone);
        return result == kOpenOk ? std::move(file) : nullptr;
    }
};

} // namespace

CFileStreams& SystemFileStreams()
{
    static SystemStreams streams;
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
