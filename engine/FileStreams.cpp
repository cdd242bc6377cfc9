#include "engine/FileStreams.h"

#include "engine/EraserFileNTFS.h"
#include "win32/ScopedHandle.h"

namespace {

// FindFirstStreamW's handle is closed with FindClose.
class SystemStreams final : public CFileStreams {
public:
    std::vector<NamedStream> List(const std::wstring& file) override
    {
        std::vector<NamedStream> streams;
        WIN32_FIND_STREAM_DATA found;
        UniqueFindHandle search(::FindFirstStreamW(file.c_str(), FindStreamInfoStandard, &found, 0));
        if (!search)
            return streams;
        do {
            // The main stream is listed as "::$DATA".
            if (found.cStreamName[0] == L':' && found.cStreamName[1] != L':')
                streams.push_back({file + found.cStreamName, static_cast<ULONGLONG>(found.StreamSize.QuadPart)});
        } while (::FindNextStreamW(search.Get(), &found));
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
