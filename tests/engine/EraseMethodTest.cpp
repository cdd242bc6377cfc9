// The bytes every method writes, pass by pass, on files of telling sizes, with the clock
// held still; progress arithmetic, cancel and failures.

#include "engine/overwrite/EraseMethod.h"
#include "tests/engine/MemoryFile.h"
#include "tests/engine/NoticeRecorder.h"
#include "tests/engine/StillClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

using Writes = std::vector<MemoryFile::WriteCall>;
using ChunkBytes = std::function<std::vector<BYTE>(ULONGLONG offset, size_t count)>;

// One pass in 64 KiB chunks from offset 0.
void AddPass(Writes& writes, size_t size, const ChunkBytes& chunk)
{
    for (size_t offset = 0; offset < size; offset += 65536) {
        const size_t count = std::min<size_t>(65536, size - offset);
        writes.push_back({offset, chunk(offset, count)});
    }
}

ChunkBytes Filled(BYTE value)
{
    return [value](ULONGLONG, size_t count) { return std::vector<BYTE>(count, value); };
}

ChunkBytes RandomChunk()
{
    return [](ULONGLONG, size_t count) { return RandomBytes(count); };
}

// Passes 5 to 31 of Gutmann's table, in his order.
const BYTE kGutmannFixed[27][3] = {
    {0x55, 0x55, 0x55}, {0xAA, 0xAA, 0xAA}, {0x92, 0x49, 0x24}, {0x49, 0x24, 0x92}, {0x24, 0x92, 0x49},
    {0x00, 0x00, 0x00}, {0x11, 0x11, 0x11}, {0x22, 0x22, 0x22}, {0x33, 0x33, 0x33}, {0x44, 0x44, 0x44},
    {0x55, 0x55, 0x55}, {0x66, 0x66, 0x66}, {0x77, 0x77, 0x77}, {0x88, 0x88, 0x88}, {0x99, 0x99, 0x99},
    {0xAA, 0xAA, 0xAA}, {0xBB, 0xBB, 0xBB}, {0xCC, 0xCC, 0xCC}, {0xDD, 0xDD, 0xDD}, {0xEE, 0xEE, 0xEE},
    {0xFF, 0xFF, 0xFF}, {0x92, 0x49, 0x24}, {0x49, 0x24, 0x92}, {0x24, 0x92, 0x49}, {0x6D, 0xB6, 0xDB},
    {0xB6, 0xDB, 0x6D}, {0xDB, 0x6D, 0xB6},
};

Writes ExpectedWrites(int methodId, size_t size)
{
    Writes writes;
    if (size == 0)
        return writes;
    switch (methodId) {
    case 1: {
        // Four random patterns at each end, drawn in pairs: table byte k, then byte 93 + k.
        BYTE table[105];
        const std::vector<BYTE> draws = RandomBytes(24);
        for (size_t k = 0; k < 12; ++k) {
            table[k] = draws[2 * k];
            table[93 + k] = draws[2 * k + 1];
        }
        std::memcpy(table + 12, kGutmannFixed, sizeof(kGutmannFixed));
        for (int pass = 0; pass < 35; ++pass) {
            const BYTE* pattern = table + 3 * pass;
            AddPass(writes, size, [pattern](ULONGLONG offset, size_t count) {
                std::vector<BYTE> bytes(count);
                for (size_t i = 0; i < count; ++i)
                    bytes[i] = pattern[(offset + i) % 3];
                return bytes;
            });
        }
        break;
    }
    case 2:
    case 3: {
        const BYTE x = RandomBytes(1)[0];
        if (methodId == 2) {
            AddPass(writes, size, Filled(x));
            AddPass(writes, size, Filled(static_cast<BYTE>(~x)));
            AddPass(writes, size, RandomChunk());
            AddPass(writes, size, RandomChunk());
        }
        AddPass(writes, size, Filled(x)); // the same second draws the same byte again
        AddPass(writes, size, Filled(static_cast<BYTE>(~x)));
        AddPass(writes, size, RandomChunk());
        break;
    }
    case 4:
        AddPass(writes, size, RandomChunk());
        break;
    case 5: {
        if (size < 4096) {
            writes.push_back({0, RandomBytes(size)});
        } else {
            const std::vector<BYTE> bytes = RandomBytes(4096);
            writes.push_back({0, std::vector<BYTE>(bytes.begin(), bytes.begin() + 2048)});
            writes.push_back({size - 2048, std::vector<BYTE>(bytes.begin() + 2048, bytes.end())});
        }
        break;
    }
    case 6:
        AddPass(writes, size, Filled(0x00));
        AddPass(writes, size, Filled(0x01));
        for (int pass = 2; pass < 7; ++pass)
            AddPass(writes, size, RandomChunk());
        break;
    }
    return writes;
}

// Where two write lists first differ, for a readable failure.
std::string FirstDifference(const Writes& actual, const Writes& expected)
{
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        if (i >= actual.size() || i >= expected.size())
            return "write counts differ: " + std::to_string(actual.size()) + " vs " + std::to_string(expected.size());
        if (actual[i].offset != expected[i].offset || actual[i].data.size() != expected[i].data.size())
            return "write " + std::to_string(i) + " differs in offset or length";
        for (size_t b = 0; b < actual[i].data.size(); ++b)
            if (actual[i].data[b] != expected[i].data[b])
                return "write " + std::to_string(i) + " differs at byte " + std::to_string(b);
    }
    return "";
}

class EraseMethodTest : public ::testing::Test {
protected:
    EraseMethodTest() : m_previousClock(SetEraseClock(StillClock)) {}
    ~EraseMethodTest() override { SetEraseClock(m_previousClock); }

    // Runs one method on one file as the worker would.
    Ended Run(int methodId, MemoryFile& file, ULONGLONG doneBefore = 0, ULONGLONG totalSize = 0)
    {
        m_method = CreateEraseMethod(methodId);
        m_context = EraseContext{&file, NoticeRecorder::Callback, L"C:\\dir\\file.bin", 0,
                                 totalSize ? totalSize : file.content.size(), doneBefore,
                                 PassCountOfMethod(methodId), &m_cancel};
        return m_method->Erase(&m_context).ended;
    }

    std::vector<std::pair<int32_t, int32_t>> Progress() const
    {
        std::vector<std::pair<int32_t, int32_t>> values;
        for (const RecordedNotice* n : m_notices.OfType(::Progress))
            values.emplace_back(n->filePercent, n->totalPercent);
        return values;
    }

    EraseClock m_previousClock;
    NoticeRecorder m_notices;
    CancelFlag m_cancel{kCancelNone};
    std::unique_ptr<CEraseMethod> m_method;
    EraseContext m_context = {};
};

TEST_F(EraseMethodTest, EveryMethodWritesItsPassesExactly)
{
    for (int methodId = 1; methodId <= kEraseMethodCount; ++methodId) {
        for (size_t size : {0u, 1000u, 4096u, 65536u, 65537u}) {
            SCOPED_TRACE(testing::Message() << "method " << methodId << ", " << size << " bytes");
            MemoryFile file(size);
            m_notices.notices.clear();
            ASSERT_EQ(Ended::Done, Run(methodId, file));
            EXPECT_EQ("", FirstDifference(file.writes, ExpectedWrites(methodId, size)));
            if (size == 0) {
                EXPECT_TRUE(m_notices.notices.empty());
                continue;
            }
            EXPECT_EQ(size, m_context.fileSize);
            const auto progress = Progress();
            ASSERT_GE(progress.size(), 2u);
            EXPECT_EQ(0, progress.front().first);
            EXPECT_EQ(100, progress.back().first);
            EXPECT_EQ(100, progress.back().second);
        }
    }
}

TEST_F(EraseMethodTest, PassesStartAtTheBeginningExceptTheSmallFirstLastWrite)
{
    MemoryFile dod(1000);
    Run(2, dod);
    EXPECT_EQ(std::vector<MemoryFile::SeekCall>(7, {0, FILE_BEGIN}), dod.seeks);

    MemoryFile small(1000);
    Run(5, small);
    EXPECT_TRUE(small.seeks.empty());

    MemoryFile large(10000);
    m_notices.notices.clear();
    Run(5, large);
    EXPECT_EQ((std::vector<MemoryFile::SeekCall>{{0, FILE_BEGIN}, {-2048, FILE_END}}), large.seeks);
    EXPECT_EQ((std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {50, 50}, {100, 100}}), Progress());
}

TEST_F(EraseMethodTest, RandomChunksAreEqualWithinASecondAndDifferAcrossSeconds)
{
    MemoryFile still(131072);
    Run(4, still);
    ASSERT_EQ(2u, still.writes.size());
    EXPECT_EQ(still.writes[0].data, still.writes[1].data);

    static int64_t ticking;
    ticking = kStillNow;
    SetEraseClock([]() -> int64_t { return ticking++; });
    MemoryFile moving(131072);
    Run(4, moving);
    ASSERT_EQ(2u, moving.writes.size());
    EXPECT_NE(moving.writes[0].data, moving.writes[1].data);
    EXPECT_EQ(RandomBytes(65536, static_cast<uint32_t>(kStillNow + 1)), moving.writes[1].data);
}

TEST_F(EraseMethodTest, ProgressIsSentOnIntegerChangesCountingDodThreePassFromZero)
{
    // 300,000 bytes: five chunks a pass. After a chunk, the bytes before it count.
    MemoryFile file(300000);
    ASSERT_EQ(Ended::Done, Run(3, file, 100000, 1000000));
    const auto progress = Progress();
    std::vector<int32_t> filePercents;
    for (const auto& p : progress)
        filePercents.push_back(p.first);
    EXPECT_EQ((std::vector<int32_t>{0, 7, 14, 21, 29, 33, 40, 47, 55, 62, 66, 73, 81, 88, 95, 100}), filePercents);
    EXPECT_EQ(10, progress.front().second);
    EXPECT_EQ(12, progress[1].second);
    EXPECT_EQ(40, progress.back().second);
}

TEST_F(EraseMethodTest, TotalPercentIsZeroWhenTheJobSizeIsUnknown)
{
    MemoryFile file(1000);
    m_method = CreateEraseMethod(4);
    m_context = EraseContext{&file, NoticeRecorder::Callback, L"f", 0, 0, 0, 1, &m_cancel};
    ASSERT_EQ(Ended::Done, m_method->Erase(&m_context).ended);
    EXPECT_EQ((std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {100, 0}}), Progress());
}

TEST_F(EraseMethodTest, CancelDuringThePassThreeOfSevenStopsAfterTheChunk)
{
    MemoryFile file(300000);
    // Pass three starts with the eleventh write; cancel after its second chunk.
    file.afterWrite = [this](size_t index) {
        if (index == 11)
            m_cancel = kCancelRequested;
    };
    EXPECT_EQ(Ended::Stopped, Run(6, file));
    EXPECT_EQ(12u, file.writes.size());
    EXPECT_NE(100, Progress().back().first);
    EXPECT_TRUE(m_notices.OfType(Problem).empty());
}

TEST_F(EraseMethodTest, FailuresAreReportedAndTheAnswerDecides)
{
    struct Case {
        const char* what;
        std::function<void(MemoryFile&)> breakFile;
        int32_t code;
    };
    const Case cases[] = {
        {"size", [](MemoryFile& f) { f.failSize = true; }, 25},
        {"seek", [](MemoryFile& f) { f.failSeekAt = 1; }, 25},
        {"write", [](MemoryFile& f) { f.failWriteAt = 2; }, 29},
    };
    for (const Case& c : cases) {
        for (int32_t answer : {kAnswerSkip, 0, 1, 2, kAnswerRetry, 4, 6, kAnswerTerminate}) {
            SCOPED_TRACE(testing::Message() << c.what << " failure, answer " << answer);
            MemoryFile file(200000);
            c.breakFile(file);
            m_notices.notices.clear();
            m_notices.answer = [answer](const RecordedNotice&) { return answer; };
            EXPECT_EQ(answer == kAnswerSkip ? Ended::Skipped : Ended::Stopped, Run(6, file));
            const auto problems = m_notices.OfType(Problem);
            ASSERT_EQ(1u, problems.size());
            EXPECT_EQ(c.code, problems[0]->code);
            EXPECT_EQ(L"C:\\dir\\file.bin", problems[0]->path);
            EXPECT_NE(100, Progress().empty() ? 0 : Progress().back().first);
        }
    }
}

TEST_F(EraseMethodTest, FailedWriteEndsThePassAtOnce)
{
    MemoryFile file(200000);
    file.failWriteAt = 5; // second chunk of the second pass
    m_notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };
    EXPECT_EQ(Ended::Skipped, Run(2, file));
    EXPECT_EQ(6u, file.writes.size());
    EXPECT_EQ(2u, file.seeks.size());
}

TEST(EraseMethodListTest, NamesAndPassCountsInListOrder)
{
    EXPECT_STREQ(L"Guttmann (35 passes)", kEraseMethods[0].name);
    EXPECT_STREQ(L"US DoD 5220.22-M (8-306. / E, C and E) (7 passes)", kEraseMethods[1].name);
    EXPECT_STREQ(L"US DoD 5220.22-M (8-306. / E) (3 passes)", kEraseMethods[2].name);
    EXPECT_STREQ(L"Pseudorandom Data (1 pass)", kEraseMethods[3].name);
    EXPECT_STREQ(L"Only first and last 2KB (1 pass)", kEraseMethods[4].name);
    EXPECT_STREQ(L"Schneier's 7 pass (7 passes)", kEraseMethods[5].name);
    const int passes[] = {35, 35, 7, 3, 1, 1, 7, 35};
    for (int id = 0; id <= 7; ++id)
        EXPECT_EQ(passes[id], PassCountOfMethod(id)) << "method id " << id;
}

} // namespace
