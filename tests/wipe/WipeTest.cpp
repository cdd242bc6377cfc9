// The free-space wipe: what counts as a drive, which leftovers are the wipe's and what of
// them is removed; and, on a real NTFS image that wipe-image.sh maps to a drive letter,
// whole wipes, a cancel and the refusals.

#include "tests/engine/NoticeRecorder.h"
#include "tests/support/Links.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"
#include "engine/EraseJob.h"
#include "wipe/FillFile.h"
#include "wipe/WipeFolder.h"
#include "wipe/WipeJob.h"
#include "wipe/WipeNotice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

constexpr int kRandomMethod = 4;

TEST(WipeDriveTest, OnlyADriveLettersRootIsADrive)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"E:", L"E:\\"}, {L"e:\\", L"E:\\"}, {L"E", L""},     {L"E:\\x", L""},  {L"E:/", L""},
        {L"\\\\?\\E:\\", L""}, {L"1:", L""},  {L"\u00E9:", L""}, {L"", L""},
    };
    for (const auto& [drive, root] : cases)
        EXPECT_EQ(root, DriveRootOf(drive)) << drive;
    EXPECT_EQ(L"", DriveRootOf(nullptr));
}

// Every path below the folder, relative to it, sorted; links are listed, never entered.
std::vector<std::wstring> TreeBelow(const std::wstring& folder, const std::wstring& prefix = L"")
{
    std::vector<std::wstring> paths;
    for (const std::wstring& name : FolderNames(folder)) {
        const std::wstring path = folder + L"\\" + name;
        paths.push_back(prefix + name);
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            for (const std::wstring& below : TreeBelow(path, prefix + name + L"\\"))
                paths.push_back(below);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// A temporary folder stands in for the drive's root.
struct LeftoverCase {
    const char* what;
    std::function<void(const TempDir& root)> plant;
    std::vector<std::wstring> left; // below the root, after the clean-up
};

const std::wstring kFolder = kWipeFolderName;
const std::wstring kMarker = kFolder + L"\\" + kWipeMarkerName;

// What a wipe interrupted in its records phase leaves.
void PlantLeftover(const TempDir& root, const std::string& markerText = kWipeMarkerText)
{
    root.MakeFolder(kFolder);
    root.WriteFile(kMarker, markerText);
    for (const wchar_t* folder : {L"\\records", L"\\records\\2", L"\\records\\3", L"\\records\\2\\2"})
        root.MakeFolder(kFolder + folder);
    for (const wchar_t* file : {L"\\00000001.fill", L"\\00000002.fill", L"\\records\\0", L"\\records\\1",
                                L"\\records\\2\\0", L"\\records\\2\\1", L"\\records\\3\\0"})
        root.WriteFile(kFolder + file, "old content");
}

const std::vector<std::wstring> kWholeLeftover = {
    kFolder,
    kFolder + L"\\00000001.fill",
    kFolder + L"\\00000002.fill",
    kMarker,
    kFolder + L"\\records",
    kFolder + L"\\records\\0",
    kFolder + L"\\records\\1",
    kFolder + L"\\records\\2",
    kFolder + L"\\records\\2\\0",
    kFolder + L"\\records\\2\\1",
    kFolder + L"\\records\\2\\2",
    kFolder + L"\\records\\3",
    kFolder + L"\\records\\3\\0",
};

TEST(WipeLeftoverTest, OnlyWhatIsUnmistakablyTheWipesIsRemoved)
{
    const LeftoverCase cases[] = {
        {"a leftover goes whole", [](const TempDir& root) { PlantLeftover(root); }, {}},
        {"without the marker the folder is the user's",
         [](const TempDir& root) {
             PlantLeftover(root);
             ::DeleteFileW((root / kMarker).c_str());
         },
         [] {
             auto left = kWholeLeftover;
             left.erase(std::find(left.begin(), left.end(), kMarker));
             return left;
         }()},
        {"a marker with other content is no marker",
         [](const TempDir& root) { PlantLeftover(root, std::string(kWipeMarkerText) + "!"); }, kWholeLeftover},
        {"what a wipe never makes stays, and the marker with it",
         [](const TempDir& root) {
             PlantLeftover(root);
             root.WriteFile(kFolder + L"\\notes.txt", "mine");
             root.MakeFolder(kFolder + L"\\00000003.fill");
             root.WriteFile(kFolder + L"\\0000004.fill", "mine");
             root.WriteFile(kFolder + L"\\records\\4", "mine");
             root.MakeFolder(kFolder + L"\\records\\1x");
             root.WriteFile(kFolder + L"\\records\\2\\2\\2", "mine: a file where a wipe makes folders");
         },
         {kFolder, kFolder + L"\\00000003.fill", kFolder + L"\\0000004.fill", kMarker, kFolder + L"\\notes.txt",
          kFolder + L"\\records", kFolder + L"\\records\\1x", kFolder + L"\\records\\2", kFolder + L"\\records\\2\\2",
          kFolder + L"\\records\\2\\2\\2", kFolder + L"\\records\\4"}},
    };
    for (const LeftoverCase& c : cases) {
        TempDir root;
        c.plant(root);
        RemoveWipeLeftoverAt(root.Path() + L"\\");
        EXPECT_EQ(c.left, TreeBelow(root.Path())) << c.what;
    }
}

TEST(WipeLeftoverTest, LinksAreNeverFollowed)
{
    TempDir root;
    TempDir elsewhere;
    elsewhere.WriteFile(L"0", "mine");
    elsewhere.WriteFile(L"00000001.fill", "mine");
    elsewhere.WriteFile(kWipeMarkerName, kWipeMarkerText);
    PlantLeftover(root);
    ::RemoveDirectoryW((root / kFolder + L"\\records\\3").c_str());
    ::DeleteFileW((root / kFolder + L"\\records\\3\\0").c_str());
    ASSERT_TRUE(MakeFolderLink(root / kFolder + L"\\records\\3", elsewhere.Path()));
    RemoveWipeLeftoverAt(root.Path() + L"\\");
    EXPECT_EQ((std::vector<std::wstring>{kFolder, kMarker, kFolder + L"\\records", kFolder + L"\\records\\3"}),
              TreeBelow(root.Path()));

    // A link of the wipe's name at the root, to a folder that looks like a leftover.
    TempDir other;
    ASSERT_TRUE(MakeFolderLink(other / kFolder, elsewhere.Path()));
    RemoveWipeLeftoverAt(other.Path() + L"\\");
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"00000001.fill", kWipeMarkerName}), TreeBelow(elsewhere.Path()));
}

TEST(WipeLeftoverTest, TheFolderOfARunningWipeIsNotALeftover)
{
    TempDir root;
    WipeFolder running;
    ASSERT_EQ(0, running.Create(root.Path() + L"\\"));
    root.WriteFile(kFolder + L"\\00000001.fill", "being written");
    RemoveWipeLeftoverAt(root.Path() + L"\\");
    EXPECT_TRUE(PathExists(root / kFolder + L"\\00000001.fill"));
    // A second wipe of the same drive is refused, and leaves the first one's folder alone.
    WipeFolder second;
    EXPECT_EQ(kProblemWipeRunning, second.Create(root.Path() + L"\\"));
    EXPECT_TRUE(PathExists(root / kFolder + L"\\00000001.fill"));
    EXPECT_TRUE(running.Remove());
    EXPECT_TRUE(FolderNames(root.Path()).empty());
}

TEST(WipeLeftoverTest, RecordFoldersNumberABinaryTree)
{
    const std::pair<unsigned long long, const wchar_t*> cases[] = {
        {0, L"R\\"}, {1, L"R\\2\\"}, {2, L"R\\3\\"}, {3, L"R\\2\\2\\"}, {4, L"R\\2\\3\\"}, {6, L"R\\3\\3\\"}, {9, L"R\\2\\3\\2\\"},
    };
    for (const auto& [number, path] : cases)
        EXPECT_EQ(path, WipeFolder::RecordFolderPath(L"R\\", number)) << number;
}

// ---- On the NTFS image (wipe-image.sh): the files of the user, deleted the ordinary way.

struct Planted {
    const wchar_t* path;
    size_t size;
};
// Some small enough to stay inside their file-table record, one in a folder that stays.
const Planted kDeleted[] = {
    {L"Tallowmere-ledger-1.txt", 90},
    {L"Tallowmere-ledger-2.txt", 650},
    {L"Tallowmere-ledger-3.txt", 3000},
    {L"Outbox\\Tallowmere-ledger-4.txt", 400},
    {L"Outbox\\Tallowmere-ledger-5.bin", 70000},
    {L"Kept\\Tallowmere-ledger-6.txt", 500},
    {L"Kept\\Tallowmere-ledger-7.bin", 1500000},
    {L"Tallowmere-ledger-8-whose-name-is-long-enough-to-take-a-good-part-of-its-file-table-record-"
     L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.txt",
     200},
};
const Planted kKept[] = {{L"Kept\\keeper.bin", 100000}, {L"Kept\\small keeper.txt", 300}};

// The deleted files' content repeats "ZQXJ-CONTENT-<n>-", which the image search looks for.
std::string ContentOf(const std::string& tag, size_t size)
{
    std::string content;
    while (content.size() < size)
        content += tag;
    content.resize(size);
    return content;
}

class WipeImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const wchar_t* drive = _wgetenv(L"MORVANE_WIPE_DRIVE");
        m_root = DriveRootOf(drive);
        // Never a wipe of a real drive: the image carries a sign of its own.
        if (m_root.empty() || !PathExists(m_root + L"morvane-wipe-test-image"))
            GTEST_SKIP() << "runs on the NTFS image that tests/wipe/wipe-image.sh maps to a drive letter";
    }

    void RunWipe(std::function<std::unique_ptr<FillFile>()> makeFillFile = nullptr)
    {
        WipeJob job = {m_root, kRandomMethod, NoticeRecorder::Callback, &m_cancel, true, makeFillFile};
        RunWipeJob(&job);
    }

    ULONGLONG FreeBytes() const
    {
        ULONGLONG free = 0;
        EXPECT_TRUE(QueryFreeBytes(m_root, free));
        return free;
    }

    void WriteFile(const std::wstring& path, const std::string& content) const
    {
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(file && ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
    }

    void ExpectKeptIntact() const
    {
        for (const Planted& kept : kKept)
            EXPECT_EQ(ContentOf("kept content ", kept.size), ReadWholeFile(m_root + kept.path)) << kept.path;
    }

    // The drive is as the user left it: no folder of the wipe, free space as before.
    void ExpectNothingOfTheWipeLeft(ULONGLONG freeBefore) const
    {
        EXPECT_FALSE(PathExists(m_root + kFolder));
        EXPECT_EQ(freeBefore, FreeBytes());
        ExpectKeptIntact();
    }

    std::wstring m_root;
    NoticeRecorder m_notices;
    CancelFlag m_cancel{kCancelNone};
};

using WipeImageRefusalTest = WipeImageTest;
using WipeImageReadOnlyTest = WipeImageTest;
using WipeImageEraseTest = WipeImageTest;

// First stage, on the fresh image: refusals that must change nothing, then the user's files.
TEST_F(WipeImageRefusalTest, FolderOfTheWipesNameThatIsNotItsStopsTheWipe)
{
    const ULONGLONG before = FreeBytes();
    ASSERT_TRUE(::CreateDirectoryW((m_root + kFolder).c_str(), nullptr));
    WriteFile(m_root + kFolder + L"\\mine.txt", "mine");
    RunWipe();
    EXPECT_EQ(std::vector<int32_t>{kProblemFolderTaken}, m_notices.CodesOf(Problem));
    EXPECT_EQ(JobTerminated, m_notices.notices.back().type);
    EXPECT_EQ("mine", ReadWholeFile(m_root + kFolder + L"\\mine.txt"));
    EXPECT_EQ((std::vector<std::wstring>{L"mine.txt"}), FolderNames(m_root + kFolder));
    RemoveTree(m_root + kFolder);
    EXPECT_EQ(before, FreeBytes());
}

TEST_F(WipeImageRefusalTest, FullDriveIsRefusedUntouched)
{
    const std::wstring ballast = m_root + L"ballast.bin";
    {
        UniqueFile file(::CreateFileW(ballast.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file);
        const std::string block(1 << 20, 'b');
        DWORD written = 0;
        for (DWORD size : {1u << 20, 4096u})
            while (::WriteFile(file.Get(), block.data(), size, &written, nullptr))
                ;
    }
    RunWipe();
    EXPECT_EQ(std::vector<int32_t>{kProblemDriveFull}, m_notices.CodesOf(Problem));
    EXPECT_EQ(JobTerminated, m_notices.notices.back().type);
    EXPECT_FALSE(PathExists(m_root + kFolder));
    EXPECT_TRUE(::DeleteFileW(ballast.c_str()));
}

TEST_F(WipeImageRefusalTest, UserFilesArePlantedAndDeletedTheOrdinaryWay)
{
    for (const wchar_t* folder : {L"Outbox", L"Kept"})
        ASSERT_TRUE(::CreateDirectoryW((m_root + folder).c_str(), nullptr));
    int number = 0;
    for (const Planted& file : kDeleted)
        WriteFile(m_root + file.path, ContentOf("ZQXJ-CONTENT-" + std::to_string(++number) + "-", file.size));
    for (const Planted& file : kKept)
        WriteFile(m_root + file.path, ContentOf("kept content ", file.size));
    for (const Planted& file : kDeleted)
        EXPECT_TRUE(::DeleteFileW((m_root + file.path).c_str())) << file.path;
    EXPECT_TRUE(::RemoveDirectoryW((m_root + L"Outbox").c_str()));
}

// Second stage: a cancelled wipe, then a whole one; the image is searched after it.
TEST_F(WipeImageTest, CancelHalfWayLeavesNothingOfTheWipe)
{
    const ULONGLONG before = FreeBytes();
    m_notices.onNotice = [this](const RecordedNotice& notice) {
        if (notice.type == Progress && notice.totalPercent >= 50)
            m_cancel = kCancelRequested;
    };
    RunWipe();
    EXPECT_EQ(JobTerminated, m_notices.notices.back().type);
    EXPECT_TRUE(m_notices.CodesOf(Problem).empty());
    EXPECT_EQ((std::vector<int32_t>{kPhaseClusters, kPhaseRemoving}), m_notices.CodesOf(WipePhaseStarted));
    ExpectNothingOfTheWipeLeft(before);
}

// A fill file whose first write fails.
class FailingFillFile final : public FillFile {
public:
    bool Write(const void* buffer, DWORD count, DWORD* written) override
    {
        ::SetLastError(ERROR_IO_DEVICE);
        return !std::exchange(m_fails, false) && FillFile::Write(buffer, count, written);
    }

private:
    bool m_fails = true;
};

TEST_F(WipeImageTest, SkippedFillFileLeavesTheWipeIncomplete)
{
    const ULONGLONG before = FreeBytes();
    m_notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };
    int made = 0;
    RunWipe([&made]() -> std::unique_ptr<FillFile> {
        return ++made == 1 ? std::make_unique<FailingFillFile>() : std::make_unique<FillFile>();
    });
    // A file system that gave the skipped file its size without clusters (ntfs-3g) may have let
    // the next one outgrow the disk: its read-back tells.
    std::vector<int32_t> problems = m_notices.CodesOf(Problem);
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(kProblemWrite, problems[0]);
    problems.erase(problems.begin());
    EXPECT_EQ(std::vector<int32_t>(problems.size(), kProblemVerifyFailed), problems);
    ASSERT_EQ(1u, m_notices.OfType(WipeIncomplete).size());
    EXPECT_EQ(problems.size() + 1, m_notices.OfType(WipeIncomplete)[0]->count.files);
    EXPECT_EQ(JobTerminated, m_notices.notices.back().type);
    ExpectNothingOfTheWipeLeft(before);
}

TEST_F(WipeImageTest, WipeFillsFreeClustersAndRecordsThenGivesTheSpaceBack)
{
    const ULONGLONG before = FreeBytes();
    RunWipe();
    EXPECT_EQ(JobCompleted, m_notices.notices.back().type);
    EXPECT_TRUE(m_notices.CodesOf(Problem).empty());
    EXPECT_EQ((std::vector<int32_t>{kPhaseClusters, kPhaseRecords, kPhaseRemoving}), m_notices.CodesOf(WipePhaseStarted));
    std::vector<ULONGLONG> reported;
    for (const RecordedNotice* n : m_notices.OfType(WipeFreeSpace))
        reported.push_back(n->count.bytes);
    EXPECT_EQ((std::vector<ULONGLONG>{before, before}), reported);
    EXPECT_EQ(100, m_notices.OfType(Progress).back()->totalPercent);
    ExpectNothingOfTheWipeLeft(before);
}

// Third stage: files the script left erased on the image, which it searches afterwards. One of
// them reported as possibly left in free space leaves a note for the script.
TEST_F(WipeImageEraseTest, FilesCutShortOrCompressedAreErased)
{
    const std::wstring cut = m_root + L"cut short.txt", packed = m_root + L"Packed\\packed.txt";
    ASSERT_TRUE(PathExists(cut) && PathExists(packed));
    EraseJob job = {{cut, packed}, kRandomMethod, NoticeRecorder::Callback, &m_cancel};
    RunEraseJob(&job);
    EXPECT_TRUE(m_notices.CodesOf(Problem).empty());
    EXPECT_EQ(JobCompleted, m_notices.notices.back().type);
    EXPECT_EQ((std::vector<std::wstring>{cut, packed}), m_notices.PathsFinished(ItemKind::File, ItemOutcome::Erased));
    for (const RecordedNotice* end : m_notices.OfType(ItemFinished)) {
        EXPECT_TRUE(end->item.verified);
        if (end->item.mayRemainInFreeSpace)
            WriteFile(m_root + L"reported left in free space.txt", Narrow(end->path));
    }
}

// Last stage, on the image mounted read-only.
TEST_F(WipeImageReadOnlyTest, ReadOnlyMediaIsRefusedUntouched)
{
    RunWipe();
    // Windows says write-protected; Wine reports a read-only mount as access denied.
    const std::vector<int32_t> problems = m_notices.CodesOf(Problem);
    EXPECT_TRUE(problems == std::vector<int32_t>{kProblemWriteProtected} || problems == std::vector<int32_t>{kProblemNoRights})
        << ::testing::PrintToString(problems);
    EXPECT_EQ(JobTerminated, m_notices.notices.back().type);
    ExpectKeptIntact();
}

} // namespace
