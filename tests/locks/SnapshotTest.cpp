// The snapshots and the queries behind them, against a stand-in for the native interface:
// buffer sizing, retries, filtering and the version rule.

#include "locks/HandleOwner.h"
#include "locks/HandleQuery.h"
#include "locks/SystemHandleInformation.h"
#include "tests/locks/NtDllOverride.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace {

constexpr NTSTATUS kInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
constexpr NTSTATUS kInvalidHandle = static_cast<NTSTATUS>(0xC0000008);
constexpr size_t kPtr = sizeof(void*);

struct FakeSystem {
    bool extendedSupported = false;
    bool reportsLength = true;  // whether a too-small answer tells the length needed
    size_t growthPerQuery = 0;  // handles opened elsewhere between two queries
    bool neverFits = false;     // a table that always outgrows the buffer offered
    std::vector<NtRecords::SystemHandle> handles;
    std::map<ULONG, std::wstring> typeNames; // by handle value
    std::vector<std::pair<ULONG, ULONG>> queries; // (class, buffer length)
    int objectQueries = 0;
};

FakeSystem* g_fake = nullptr;

template <class T>
void Store(void* buffer, size_t offset, T value)
{
    std::memcpy(static_cast<BYTE*>(buffer) + offset, &value, sizeof(T));
}

NTSTATUS WriteHandleTable(FakeSystem& fake, bool extended, PVOID buffer, ULONG length, PULONG returned)
{
    for (size_t i = 0; i < fake.growthPerQuery; ++i)
        fake.handles.push_back(NtRecords::SystemHandle{9999, 0, 4, 0, 0});
    const size_t header = extended ? 2 * kPtr : kPtr;
    const size_t entrySize = extended ? 3 * kPtr + 16 : 8 + 2 * kPtr;
    const size_t needed = header + fake.handles.size() * entrySize;
    if (returned)
        *returned = fake.reportsLength ? static_cast<ULONG>(fake.neverFits ? length + 1024 : needed) : 0;
    if (length < needed || fake.neverFits)
        return kStatusInfoLengthMismatch;
    std::memset(buffer, 0, needed);
    Store<ULONG_PTR>(buffer, 0, fake.handles.size());
    for (size_t i = 0; i < fake.handles.size(); ++i) {
        const NtRecords::SystemHandle& e = fake.handles[i];
        const size_t at = header + i * entrySize;
        if (extended) {
            Store<ULONG_PTR>(buffer, at + kPtr, e.ProcessId);
            Store<ULONG_PTR>(buffer, at + 2 * kPtr, e.HandleValue);
            Store<USHORT>(buffer, at + 3 * kPtr + 6, e.ObjectType & 0xFF);
            Store<ULONG>(buffer, at + 3 * kPtr + 8, e.ObjectType >> 8);
        } else {
            Store<ULONG>(buffer, at, e.ProcessId);
            Store<USHORT>(buffer, at + 4, e.ObjectType);
            Store<USHORT>(buffer, at + 6, static_cast<USHORT>(e.HandleValue));
        }
    }
    return kStatusSuccess;
}

NTSTATUS NTAPI FakeQuerySystemInformation(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    FakeSystem& fake = *g_fake;
    fake.queries.emplace_back(infoClass, length);
    if (infoClass == kSystemExtendedHandleInformation && fake.extendedSupported)
        return WriteHandleTable(fake, true, buffer, length, returned);
    if (infoClass == kSystemHandleInformation)
        return WriteHandleTable(fake, false, buffer, length, returned);
    if (returned)
        *returned = 0;
    return kInvalidInfoClass;
}

NTSTATUS NTAPI FakeQueryObject(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    FakeSystem& fake = *g_fake;
    ++fake.objectQueries;
    const auto type = fake.typeNames.find(static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(handle)));
    if (infoClass != kObjectTypeInformation || type == fake.typeNames.end())
        return kInvalidHandle;
    const size_t fixed = kPtr == 8 ? 104 : 96;
    const size_t needed = fixed + 2 * (type->second.size() + 1);
    if (returned)
        *returned = static_cast<ULONG>(needed);
    if (length < needed)
        return kStatusInfoLengthMismatch;
    Store<USHORT>(buffer, 0, static_cast<USHORT>(2 * type->second.size()));
    Store<ULONG_PTR>(buffer, kPtr, reinterpret_cast<ULONG_PTR>(buffer) + fixed);
    std::memcpy(static_cast<BYTE*>(buffer) + fixed, type->second.c_str(), 2 * (type->second.size() + 1));
    return kStatusSuccess;
}

// A snapshot that keeps file handles only, as the owner lookup takes it.
class FileHandles : public SystemHandleInformation {
public:
    explicit FileHandles(size_t tableSize = 0) : SystemHandleInformation(tableSize) { SetTypeFilter(L"File"); }
};

class SnapshotTest : public ::testing::Test {
protected:
    SnapshotTest()
    {
        g_fake = &m_fake;
        INtDll::NtQuerySystemInformation = FakeQuerySystemInformation;
        INtDll::NtQueryObject = FakeQueryObject;
    }
    ~SnapshotTest() override { g_fake = nullptr; }

    // Handles of this process, so that their queries go to the fake without duplication. As on
    // a running system, each type name has a type number of its own.
    void AddHandle(ULONG value, const std::wstring& typeName)
    {
        const auto number = m_typeNumbers.emplace(typeName, static_cast<USHORT>(0x1C + m_typeNumbers.size())).first;
        m_fake.handles.push_back(NtRecords::SystemHandle{::GetCurrentProcessId(), number->second, value, 0, 0});
        m_fake.typeNames[value] = typeName;
    }

    // As many handles of one type, from value 4 on: more than a first look at the table holds.
    void AddHandles(ULONG count, const std::wstring& typeName)
    {
        for (ULONG value = 4; value <= 4 * count; value += 4)
            AddHandle(value, typeName);
    }

    std::vector<ULONG> KeptHandles(SystemHandleInformation& snapshot)
    {
        std::vector<ULONG> kept;
        for (const auto& entry : snapshot)
            kept.push_back(entry.HandleValue);
        return kept;
    }

    std::vector<ULONG> QueriesOf(ULONG infoClass) const
    {
        std::vector<ULONG> lengths;
        for (const auto& query : m_fake.queries)
            if (query.first == infoClass)
                lengths.push_back(query.second);
        return lengths;
    }

    NtDllOverride m_override;
    FakeSystem m_fake;
    std::map<std::wstring, USHORT> m_typeNumbers;
};

TEST_F(SnapshotTest, ClassicTableIsSizedByTheFirstAnswerPlus256)
{
    AddHandles(600, L"Event");
    FileHandles snapshot;
    ASSERT_TRUE(snapshot.TakeSnapshot());
    const ULONG needed = static_cast<ULONG>(kPtr + 600 * (8 + 2 * kPtr));
    EXPECT_EQ((std::vector<ULONG>{8192, needed + 256}), QueriesOf(kSystemHandleInformation));

    // The next snapshot starts at the size this one needed and reads the table at once.
    FileHandles next(snapshot.TableSize());
    m_fake.queries.clear();
    ASSERT_TRUE(next.TakeSnapshot());
    EXPECT_EQ((std::vector<ULONG>{needed + 256}), QueriesOf(kSystemHandleInformation));
}

TEST_F(SnapshotTest, FirstAnswerWithoutALengthEndsTheSnapshot)
{
    AddHandles(600, L"File");
    m_fake.reportsLength = false;
    FileHandles snapshot;
    EXPECT_FALSE(snapshot.TakeSnapshot());
    EXPECT_TRUE(snapshot.empty());
    EXPECT_EQ(1u, QueriesOf(kSystemHandleInformation).size());
}

TEST_F(SnapshotTest, TableThatGrowsBetweenQueriesIsReadAgainWithMoreRoom)
{
    AddHandles(600, L"Event");
    m_fake.growthPerQuery = 100; // a busy system: 100 more handles at every look
    FileHandles snapshot;
    EXPECT_TRUE(snapshot.TakeSnapshot());
    const auto lengths = QueriesOf(kSystemHandleInformation);
    EXPECT_GT(lengths.size(), 2u);
    EXPECT_LE(lengths.size(), 9u);

    // A table that outgrows every buffer is given up after a bounded number of queries.
    m_fake.queries.clear();
    m_fake.neverFits = true;
    EXPECT_FALSE(snapshot.TakeSnapshot());
    EXPECT_LE(QueriesOf(kSystemHandleInformation).size(), 9u);
}

TEST_F(SnapshotTest, EmptyTableIsAnEmptyListAndSuccess)
{
    FileHandles snapshot;
    EXPECT_TRUE(snapshot.TakeSnapshot());
    EXPECT_TRUE(snapshot.empty());
}

TEST_F(SnapshotTest, OnlyExactTypeNamesAreKeptInTableOrder)
{
    AddHandle(0x40, L"File");
    AddHandle(0x44, L"file");
    AddHandle(0x48, L"Files");
    AddHandle(0x4C, L"Event");
    AddHandle(0x50, L"");
    AddHandle(0x30, L"File");
    FileHandles snapshot;
    ASSERT_TRUE(snapshot.TakeSnapshot());
    EXPECT_EQ((std::vector<ULONG>{0x40, 0x30}), KeptHandles(snapshot));
}

TEST_F(SnapshotTest, TypeNamesAreAskedOncePerNumberAndAnewForEverySnapshot)
{
    for (ULONG value = 0x40; value < 0x60; value += 8) {
        AddHandle(value, L"File");
        AddHandle(value + 4, L"Event");
    }
    FileHandles snapshot;
    ASSERT_TRUE(snapshot.TakeSnapshot());
    EXPECT_EQ((std::vector<ULONG>{0x40, 0x48, 0x50, 0x58}), KeptHandles(snapshot));
    EXPECT_EQ(2, m_fake.objectQueries);

    // The same numbers stand for other types now, as after a restart of the system.
    for (auto& type : m_fake.typeNames)
        type.second = type.second == L"File" ? L"Event" : L"File";
    ASSERT_TRUE(snapshot.TakeSnapshot());
    EXPECT_EQ((std::vector<ULONG>{0x44, 0x4C, 0x54, 0x5C}), KeptHandles(snapshot));
}

TEST_F(SnapshotTest, ExtendedTableIsUsedWhereTheSystemOffersIt)
{
    m_fake.extendedSupported = true;
    AddHandle(0x10004, L"File"); // a value the classic table could not hold
    AddHandle(0x8, L"Event");
    FileHandles snapshot;
    ASSERT_TRUE(snapshot.TakeSnapshot());
    EXPECT_EQ((std::vector<ULONG>{0x10004}), KeptHandles(snapshot));
    EXPECT_TRUE(QueriesOf(kSystemHandleInformation).empty());
}

TEST(SkippedOnOldSystemsTest, OnlyTheSystemProcessEntryWithThePlainTypeWordBeforeVersion5)
{
    const NtRecords::SystemHandle plain{2, 0x0010, 4, 0, 0};
    const NtRecords::SystemHandle flagged{2, 0x0110, 4, 0, 0};
    const NtRecords::SystemHandle other{8, 0x0010, 4, 0, 0};
    EXPECT_TRUE(SkippedOnOldSystems(plain, 4));
    EXPECT_TRUE(SkippedOnOldSystems(plain, 0)); // version unknown
    EXPECT_FALSE(SkippedOnOldSystems(plain, 5));
    EXPECT_FALSE(SkippedOnOldSystems(flagged, 4));
    EXPECT_FALSE(SkippedOnOldSystems(other, 4));
}

TEST_F(SnapshotTest, WithoutBoundEntryPointsNothingIsAsked)
{
    AddHandle(0x40, L"File");
    INtDll::EntryPointsBound = FALSE;

    FileHandles handles;
    std::wstring name;
    LockOwnerInfo owner = {};
    EXPECT_FALSE(handles.TakeSnapshot());
    EXPECT_FALSE(QueryTypeName(::GetCurrentProcess(), 0x40, name));
    EXPECT_FALSE(QueryObjectName(::GetCurrentProcess(), 0x40, kFileTypeIndex, name));
    EXPECT_FALSE(FindHandleOwner(L"C:\\windows", owner));
    EXPECT_TRUE(m_fake.queries.empty());
    EXPECT_EQ(0, m_fake.objectQueries);
}

FARPROC ResolveAllButProcessQuery(const char* name)
{
    if (std::strcmp(name, "NtQueryInformationProcess") == 0)
        return nullptr;
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name);
}

TEST(BindEntryPointsTest, OneMissingEntryPointUnbindsTheWholeSet)
{
    NtDllOverride restore;
    EXPECT_TRUE(INtDll::EntryPointsBound);
    EXPECT_FALSE(INtDll::BindEntryPointsWith(ResolveAllButProcessQuery));
    EXPECT_EQ(nullptr, INtDll::NtQueryInformationProcess);
    EXPECT_NE(nullptr, INtDll::NtQueryObject);
}

TEST(TypeIndexTest, TableNamesExactlyAndNothingElse)
{
    ULONG index = 99;
    EXPECT_TRUE(TypeIndexFromName(L"File", index));
    EXPECT_EQ(26u, index);
    EXPECT_TRUE(TypeIndexFromName(L"Directory", index));
    EXPECT_EQ(2u, index);
    EXPECT_TRUE(TypeIndexFromName(L"", index));
    EXPECT_EQ(1u, index);
    EXPECT_FALSE(TypeIndexFromName(L"file", index));
    EXPECT_EQ(0u, index);
    EXPECT_FALSE(TypeIndexFromName(L"ALPC Port", index));
}

} // namespace
