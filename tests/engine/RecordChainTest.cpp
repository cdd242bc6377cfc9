// The chains of records the file system fills, read from buffers built here, hostile ones too.

#include "engine/overwrite/FileStreams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A chain of FILE_STREAM_INFO records as the file system lays them out, 8-byte aligned.
std::vector<BYTE> StreamChain(const std::vector<std::pair<std::wstring, LONGLONG>>& streams)
{
    std::vector<BYTE> buffer;
    size_t previous = 0;
    for (const auto& stream : streams) {
        const size_t at = (buffer.size() + 7) / 8 * 8;
        if (!buffer.empty())
            reinterpret_cast<FILE_STREAM_INFO*>(&buffer[previous])->NextEntryOffset = static_cast<DWORD>(at - previous);
        buffer.resize(at + offsetof(FILE_STREAM_INFO, StreamName) + stream.first.size() * sizeof(wchar_t));
        auto* record = reinterpret_cast<FILE_STREAM_INFO*>(&buffer[at]);
        record->StreamNameLength = static_cast<DWORD>(stream.first.size() * sizeof(wchar_t));
        record->StreamSize.QuadPart = stream.second;
        std::memcpy(record->StreamName, stream.first.data(), record->StreamNameLength);
        previous = at;
    }
    return buffer;
}

TEST(RecordChainTest, StreamsAreReadWithinTheBufferOnly)
{
    const std::vector<BYTE> chain = StreamChain({{L"::$DATA", 5}, {L":s1:$DATA", 10}, {L":s2:$DATA", 20}});
    std::vector<BYTE> beyond = chain, odd = chain;
    reinterpret_cast<FILE_STREAM_INFO*>(beyond.data())->NextEntryOffset = static_cast<DWORD>(beyond.size());
    reinterpret_cast<FILE_STREAM_INFO*>(odd.data())->StreamNameLength = 3;
    const struct {
        const char* what;
        std::vector<BYTE> buffer;
        bool read;
        std::vector<std::wstring> streams; // handed on before the end, or before the fault
    } cases[] = {
        {"the whole chain", chain, true, {L"C:\\f:s1:$DATA", L"C:\\f:s2:$DATA"}},
        {"the main stream alone", StreamChain({{L"::$DATA", 5}}), true, {}},
        {"the last name cut short", {chain.begin(), chain.end() - 2}, false, {L"C:\\f:s1:$DATA"}},
        {"a next record past the end", beyond, false, {}},
        {"a name of an odd length", odd, false, {}},
        {"nothing", {}, false, {}},
    };
    for (const auto& c : cases) {
        std::vector<NamedStream> streams;
        EXPECT_EQ(c.read, ParseStreamRecords(c.buffer.data(), c.buffer.size(), L"C:\\f", streams)) << c.what;
        std::vector<std::wstring> paths;
        for (const NamedStream& stream : streams)
            paths.push_back(stream.path);
        EXPECT_EQ(c.streams, paths) << c.what;
        if (c.read && !streams.empty()) {
            EXPECT_EQ(20u, streams.back().size) << c.what;
        }
    }
}

} // namespace
