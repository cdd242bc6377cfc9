#include "locks/NtRecords.h"
#include "tests/locks/RecordBuffer.h"

#include <gtest/gtest.h>

#include <tuple>

using NtRecords::Layout;

namespace {

// An entry's fields side by side, so that one comparison shows every field that differs.
std::tuple<ULONG, ULONG, USHORT, ULONG, ULONGLONG> FieldsOf(const NtRecords::SystemHandle& entry)
{
    return {entry.ProcessId, entry.HandleValue, entry.ObjectType, entry.GrantedAccess, entry.ObjectAddress};
}

class NtRecordsTest : public ::testing::TestWithParam<Layout> {
protected:
    bool Is64() const { return GetParam() == Layout::Bits64; }
};

TEST_P(NtRecordsTest, CountedTextStopsAtItsLengthAndAtTheBufferEnd)
{
    RecordBuffer b(GetParam(), 520);
    b.PutCountedString(0, L"abc.exe", 500);
    b.Put<uint16_t>(0, 6); // length says three characters
    std::wstring name;
    ASSERT_TRUE(NtRecords::ParseObjectName(b.Data(), b.Size(), GetParam(), name));
    EXPECT_EQ(L"abc", name);

    b.Put<uint16_t>(0, 200); // runs past the end: the text ends with the buffer
    ASSERT_TRUE(NtRecords::ParseObjectName(b.Data(), b.Size(), GetParam(), name));
    EXPECT_EQ(L"abc.exe", name);
}

TEST_P(NtRecordsTest, HandleTableEntriesAreReadWithTheirWidths)
{
    const size_t header = (Is64() ? 8u : 4u);
    const size_t entry = Is64() ? 24 : 16;
    RecordBuffer b(GetParam(), header + 2 * entry);
    b.Put<ULONG>(0, 2);
    b.Put<ULONG>(header, 1234);
    b.Put<uint16_t>(header + 4, 0x011C);
    b.Put<uint16_t>(header + 6, 0xFFFC);
    b.PutPointer(header + 8, 0x8123ABCDull);
    b.Put<ULONG>(header + 8 + b.PointerSize(), 0x0012019F);
    b.Put<ULONG>(header + entry, 8);

    std::vector<NtRecords::SystemHandle> entries;
    ASSERT_TRUE(NtRecords::ParseHandleTable(b.Data(), b.Size(), GetParam(), entries));
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(std::make_tuple(1234u, 0xFFFCu, USHORT(0x011C), 0x0012019Fu, 0x8123ABCDull), FieldsOf(entries[0]));
    EXPECT_EQ(8u, entries[1].ProcessId);
}

TEST_P(NtRecordsTest, HandleTableCountMustFitTheBuffer)
{
    const size_t header = (Is64() ? 8u : 4u);
    RecordBuffer empty(GetParam(), header);
    std::vector<NtRecords::SystemHandle> entries(1);
    EXPECT_TRUE(NtRecords::ParseHandleTable(empty.Data(), empty.Size(), GetParam(), entries));
    EXPECT_TRUE(entries.empty());

    RecordBuffer truncated(GetParam(), header + 20);
    truncated.Put<ULONG>(0, 2);
    EXPECT_FALSE(NtRecords::ParseHandleTable(truncated.Data(), truncated.Size(), GetParam(), entries));
    RecordBuffer huge(GetParam(), 64);
    huge.Put<ULONG>(0, 0xFFFFFFFF);
    EXPECT_FALSE(NtRecords::ParseHandleTable(huge.Data(), huge.Size(), GetParam(), entries));
}

TEST_P(NtRecordsTest, ExtendedHandleTableKeepsFullValues)
{
    const size_t ptr = Is64() ? 8 : 4;
    const size_t entry = 3 * ptr + 16;
    RecordBuffer b(GetParam(), 2 * ptr + 2 * entry);
    b.PutPointer(0, 2);
    size_t at = 2 * ptr;
    b.PutPointer(at, 0xFEED0000);          // object
    b.PutPointer(at + ptr, 70000);         // process id beyond 16 bits
    b.PutPointer(at + 2 * ptr, 0x12344);   // handle value beyond 16 bits
    b.Put<ULONG>(at + 3 * ptr, 0x00100080); // access
    b.Put<uint16_t>(at + 3 * ptr + 6, 37);  // type number
    b.Put<ULONG>(at + 3 * ptr + 8, 0x02);   // attributes
    at += entry;
    b.PutPointer(at + ptr, 4);
    b.PutPointer(at + 2 * ptr, 8);

    std::vector<NtRecords::SystemHandle> entries;
    ASSERT_TRUE(NtRecords::ParseExtendedHandleTable(b.Data(), b.Size(), GetParam(), entries));
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(std::make_tuple(70000u, 0x12344u, USHORT(0x0225), 0x00100080u, 0xFEED0000ull), FieldsOf(entries[0]));
    EXPECT_EQ(std::make_tuple(4u, 8u), std::make_tuple(entries[1].ProcessId, entries[1].HandleValue));
}

TEST(NtRecordsWideTest, ExtendedEntryWhoseValuesDoNotFitIsDropped)
{
    RecordBuffer b(Layout::Bits64, 16 + 2 * 40);
    b.PutPointer(0, 2);
    b.PutPointer(16 + 8, 0x100000004ull); // process id wider than 32 bits
    b.PutPointer(16 + 16, 8);
    b.PutPointer(56 + 8, 4);
    b.PutPointer(56 + 16, 0x100000008ull); // handle value wider than 32 bits
    std::vector<NtRecords::SystemHandle> entries;
    ASSERT_TRUE(NtRecords::ParseExtendedHandleTable(b.Data(), b.Size(), Layout::Bits64, entries));
    EXPECT_TRUE(entries.empty());
}

TEST_P(NtRecordsTest, TypeNameIsTakenBehindTheFixedPartUpToItsLength)
{
    const size_t at = Is64() ? 104 : 96;
    RecordBuffer b(GetParam(), at + 64);
    b.PutCountedString(0, L"File", at);
    std::wstring name;
    ASSERT_TRUE(NtRecords::ParseTypeName(b.Data(), b.Size(), GetParam(), name));
    EXPECT_EQ(L"File", name);

    // Whatever follows the counted length is not part of the name.
    b.PutText(at, L"Filesystem");
    ASSERT_TRUE(NtRecords::ParseTypeName(b.Data(), b.Size(), GetParam(), name));
    EXPECT_EQ(L"File", name);

    RecordBuffer shortRecord(GetParam(), at - 8);
    EXPECT_FALSE(NtRecords::ParseTypeName(shortRecord.Data(), shortRecord.Size(), GetParam(), name));
}

TEST_P(NtRecordsTest, ObjectNameEmptyNullAndText)
{
    RecordBuffer b(GetParam(), 256);
    std::wstring name = L"x";
    ASSERT_TRUE(NtRecords::ParseObjectName(b.Data(), b.Size(), GetParam(), name));
    EXPECT_EQ(L"", name); // both lengths zero

    b.Put<uint16_t>(0, 10);
    name = L"x";
    ASSERT_TRUE(NtRecords::ParseObjectName(b.Data(), b.Size(), GetParam(), name));
    EXPECT_EQ(L"", name); // lengths set, pointer null

    b.PutCountedString(0, L"\\Device\\HarddiskVolume1\\dir", 32);
    ASSERT_TRUE(NtRecords::ParseObjectName(b.Data(), b.Size(), GetParam(), name));
    EXPECT_EQ(L"\\Device\\HarddiskVolume1\\dir", name);

    b.PutPointer(b.PointerSize(), 0x20); // outside the buffer
    name = L"unchanged";
    EXPECT_FALSE(NtRecords::ParseObjectName(b.Data(), b.Size(), GetParam(), name));
    EXPECT_EQ(L"unchanged", name);
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, NtRecordsTest, ::testing::Values(Layout::Bits32, Layout::Bits64),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return info.param == Layout::Bits64 ? "Bits64" : "Bits32";
                         });

} // namespace
