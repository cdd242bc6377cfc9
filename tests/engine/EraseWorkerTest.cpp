// Whole jobs on real temporary trees: what is erased, in which order, what is reported, and
// what is left alone.

#include "engine/DirectoryListing.h"
#include "engine/EraseJob.h"
#include "engine/EraseMethod.h"
#include "engine/EraseWorker.h"
#include "tests/engine/MemoryFile.h"
#include "tests/engine/NoticeRecorder.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/Links.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

constexpr int kRandomMethod = 4;
constexpr int kThreePassMethod = 3;

class EraseWorkerTest : public ::testing::Test {
protected:
    // Runs the job to its end on this thread.
    void RunJob(const std::wstring& target, int methodId = kRandomMethod)
    {
        EraseJob job = {{target}, methodId, NoticeRecorder::Callback, &m_cancel};
        RunEraseJob(&job);
    }

    int32_t LastType() const { return m_notices.notices.empty() ? -1 : m_notices.notices.back().type; }
    std::vector<int32_t> ProblemCodes() const
    {
        std::vector<int32_t> codes;
        for (const RecordedNotice* n : m_notices.OfType(Problem))
            codes.push_back(n->code);
        return codes;
    }

    TempDir m_dir;
    NoticeRecorder m_notices;
    CancelFlag m_cancel{kCancelNone};
};

TEST_F(EraseWorkerTest, SingleFileOnItsOwnThread)
{
    const std::wstring file = m_dir.WriteFile(L"single.txt", std::string(200000, 'x'));
    EraseJob job = {{file}, kRandomMethod, NoticeRecorder::Callback, &m_cancel};
    UniqueHandle thread(::CreateThread(nullptr, 0, RunEraseJob, &job, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread.Get(), 60000));

    std::vector<int32_t> types = m_notices.Types();
    types.erase(std::remove(types.begin(), types.end(), Progress), types.end());
    EXPECT_EQ((std::vector<int32_t>{JobStarted, FileStarted, FileOverwritten, JobCompleted}), types);
    EXPECT_EQ(std::vector<std::wstring>{file}, m_notices.PathsOf(FileStarted));
    EXPECT_EQ(100, m_notices.OfType(Progress).back()->filePercent);
    EXPECT_FALSE(m_notices.notices.front().hasPath);
    EXPECT_FALSE(PathExists(file));
    EXPECT_TRUE(FolderNames(m_dir.Path()).empty());
}

TEST_F(EraseWorkerTest, FilesFirstThenFoldersDeepestFirstAndTheTargetLast)
{
    const std::wstring target = m_dir.MakeFolder(L"target") + L"\\";
    m_dir.MakeFolder(L"target\\a");
    m_dir.MakeFolder(L"target\\a\\b");
    m_dir.WriteFile(L"target\\top.txt", "1");
    m_dir.WriteFile(L"target\\a\\middle.txt", "22");
    m_dir.WriteFile(L"target\\a\\b\\deep.txt", "333");
    ::SetFileAttributesW((m_dir / L"target\\a\\middle.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);

    RunJob(target);
    std::vector<std::wstring> files = m_notices.PathsOf(FileStarted);
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::wstring>{target + L"a\\b\\deep.txt", target + L"a\\middle.txt", target + L"top.txt"}),
              files);
    EXPECT_EQ((std::vector<std::wstring>{target + L"a\\b\\", target + L"a\\", target}), m_notices.PathsOf(FolderStarted));
    EXPECT_EQ(m_notices.PathsOf(FolderStarted), m_notices.PathsOf(FolderRemoved));
    // No folder is touched before the last file.
    const auto types = m_notices.Types();
    const auto firstFolder = std::find(types.begin(), types.end(), FolderStarted);
    EXPECT_EQ(types.end(), std::find(firstFolder, types.end(), FileStarted));
    EXPECT_EQ(JobCompleted, LastType());
    EXPECT_TRUE(FolderNames(m_dir.Path()).empty());
    // The sizes of all files, summed before the first write, make the total.
    EXPECT_EQ(100, m_notices.OfType(Progress).back()->totalPercent);
}

UniqueFile ForRenaming(const std::wstring& path)
{
    return UniqueFile(::CreateFileW(path.c_str(), DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
}

TEST_F(EraseWorkerTest, NamesRunFromAToZKeepingLengthAndDots)
{
    const std::wstring file = m_dir.WriteFile(L"report.v2.doc", "keep");
    EXPECT_EQ(m_dir / L"ZZZZZZ.ZZ.ZZZ", EraseWorker::ScrambleName(ForRenaming(file).Get(), file));
    EXPECT_EQ(std::vector<std::wstring>{L"ZZZZZZ.ZZ.ZZZ"}, FolderNames(m_dir.Path()));
    EXPECT_EQ("keep", ReadWholeFile(m_dir / L"ZZZZZZ.ZZ.ZZZ"));
}

TEST_F(EraseWorkerTest, FileWithAStepsNameStopsTheRenamingAndSurvives)
{
    const std::wstring file = m_dir.WriteFile(L"report.doc", "secret");
    const std::wstring blocker = m_dir.WriteFile(L"CCCCCC.CCC", "blocker");
    EXPECT_EQ(m_dir / L"BBBBBB.BBB", EraseWorker::ScrambleName(ForRenaming(file).Get(), file));
    EXPECT_EQ("blocker", ReadWholeFile(blocker));
    EXPECT_EQ("secret", ReadWholeFile(m_dir / L"BBBBBB.BBB"));

    // In a job, the file is then deleted under the last name it reached.
    const std::wstring second = m_dir.WriteFile(L"letter.doc", "text");
    m_dir.WriteFile(L"BBBBBB.BBB", "x"); // now blocks the second step
    RunJob(second);
    EXPECT_EQ(JobCompleted, LastType());
    EXPECT_EQ((std::vector<std::wstring>{L"BBBBBB.BBB", L"CCCCCC.CCC"}), FolderNames(m_dir.Path()));
    EXPECT_EQ("blocker", ReadWholeFile(blocker));
}

TEST_F(EraseWorkerTest, FailedDeleteLeavesTheFileUnderItsLastNameOnSkip)
{
    const std::wstring file = m_dir.WriteFile(L"stay.txt", "data");
    // Read-only after the overwrite: renames still work, the delete does not.
    m_notices.onNotice = [](const RecordedNotice& n) {
        if (n.type == FileOverwritten)
            ::SetFileAttributesW(n.path.c_str(), FILE_ATTRIBUTE_READONLY);
    };
    std::vector<std::wstring> namesAtProblem;
    m_notices.answer = [&](const RecordedNotice&) {
        namesAtProblem = FolderNames(m_dir.Path());
        return kAnswerSkip;
    };
    RunJob(file);
    EXPECT_EQ(std::vector<int32_t>{kProblemDeleteFailed}, ProblemCodes());
    EXPECT_EQ(file, m_notices.OfType(Problem)[0]->path);
    EXPECT_EQ(std::vector<std::wstring>{L"ZZZZ.ZZZ"}, namesAtProblem);
    EXPECT_EQ(JobCompleted, LastType());

    // Any other answer stops the job.
    m_notices.notices.clear();
    m_notices.answer = nullptr;
    const std::wstring other = m_dir.WriteFile(L"stop.txt", "data");
    RunJob(other);
    EXPECT_EQ(JobTerminated, LastType());
}

TEST_F(EraseWorkerTest, LockedFileIsFreedByClosingTheHoldersHandle)
{
    const std::wstring file = m_dir.WriteFile(L"locked.txt", std::string(5000, 'L'));
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(file)));
    m_notices.answer = [](const RecordedNotice&) { return kAnswerRetry; };
    RunJob(file);
    ASSERT_EQ(std::vector<int32_t>{kProblemFileLocked}, ProblemCodes());
    EXPECT_EQ(L"LockHolder.exe", m_notices.OfType(Problem)[0]->owner);
    EXPECT_EQ(file, m_notices.OfType(Problem)[0]->path);
    EXPECT_EQ(JobCompleted, LastType());
    EXPECT_FALSE(PathExists(file));
    EXPECT_TRUE(holder.IsRunning());
}

TEST_F(EraseWorkerTest, HolderWhoseHandleCannotBeClosedIsEnded)
{
    const std::wstring file = m_dir.WriteFile(L"locked.txt", "L");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"deny 20 open " + Quoted(file)));
    m_notices.answer = [](const RecordedNotice&) { return kAnswerRetry; };
    RunJob(file);
    EXPECT_EQ((std::vector<int32_t>{kProblemFileLocked, kProblemCloseHandleFailed}), ProblemCodes());
    EXPECT_EQ(L"LockHolder.exe", m_notices.OfType(Problem)[1]->owner);
    EXPECT_EQ(JobCompleted, LastType());
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(holder.IsRunning());
}

TEST_F(EraseWorkerTest, EveryHolderIsAskedToLetGoBeforeAnyIsEnded)
{
    // Two holders of one file, both sharing reading and writing: the first keeps it from being
    // opened, the second from being renamed. Two of one folder, each keeping it.
    const std::wstring target = m_dir.MakeFolder(L"target") + L"\\";
    const std::wstring file = m_dir.WriteFile(L"target\\shared.txt", std::string(5000, 'S'));
    const std::wstring folder = m_dir.MakeFolder(L"target\\busy");
    HolderProcess fileFirst, fileSecond, folderFirst, folderSecond;
    ASSERT_TRUE(fileFirst.Start(L"sharerw " + Quoted(file)));
    ASSERT_TRUE(fileSecond.Start(L"sharerw " + Quoted(file)));
    ASSERT_TRUE(folderFirst.Start(L"cd " + Quoted(folder)));
    ASSERT_TRUE(folderSecond.Start(L"cd " + Quoted(folder)));
    m_notices.answer = [](const RecordedNotice&) { return kAnswerRetry; };

    RunJob(target);
    EXPECT_EQ((std::vector<int32_t>{kProblemFileLocked, kProblemFileLocked, kProblemFolderInUse, kProblemFolderInUse}),
              ProblemCodes());
    EXPECT_EQ(JobCompleted, LastType());
    EXPECT_FALSE(PathExists(target));
    for (HolderProcess* holder : {&fileFirst, &fileSecond, &folderFirst, &folderSecond})
        EXPECT_TRUE(holder->IsRunning());
}

TEST_F(EraseWorkerTest, TheProgramItselfIsNeverOfferedAsAHolder)
{
    const std::wstring file = m_dir.WriteFile(L"mine.txt", "mine");
    const std::wstring folder = m_dir.MakeFolder(L"current");
    UniqueFile mine(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(mine);
    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
    m_notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };

    RunJob(file);
    RunJob(folder);
    ::SetCurrentDirectoryW(previous);
    mine.Reset();
    EXPECT_EQ((std::vector<int32_t>{kProblemOpen, kProblemFolderNotRemovable}), ProblemCodes());
    EXPECT_EQ("mine", ReadWholeFile(file));
    EXPECT_TRUE(PathExists(folder));
}

TEST_F(EraseWorkerTest, SkippedFileStaysByteIdenticalAndTheNextFollows)
{
    const std::wstring target = m_dir.MakeFolder(L"target") + L"\\";
    const std::string content(70000, 'K');
    const std::wstring kept = m_dir.WriteFile(L"target\\kept.txt", content);
    const std::wstring erased = m_dir.WriteFile(L"target\\erased.txt", "E");
    // A holder that cannot be looked into: with no owner to name, the file cannot be opened.
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"deny 40 open " + Quoted(kept)));
    m_notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };
    RunJob(target);
    holder.Stop();

    const auto codes = ProblemCodes();
    EXPECT_EQ((std::vector<int32_t>{kProblemOpen, kProblemFolderNotEmpty}), codes);
    EXPECT_FALSE(m_notices.OfType(Problem)[0]->hasOwner);
    EXPECT_EQ(content, ReadWholeFile(kept));
    EXPECT_FALSE(PathExists(erased));
    EXPECT_EQ(JobCompleted, LastType());
}

TEST_F(EraseWorkerTest, CancelMidFileKeepsItsNameAndRemovesNoFolder)
{
    const std::wstring target = m_dir.MakeFolder(L"target") + L"\\";
    m_dir.MakeFolder(L"target\\sub");
    const std::wstring big = m_dir.WriteFile(L"target\\sub\\big.bin", std::string(1 << 20, 'B'));
    m_notices.onNotice = [this](const RecordedNotice& n) {
        if (n.type == Progress && n.filePercent > 0)
            m_cancel = kCancelRequested;
    };
    RunJob(target, 1);
    EXPECT_EQ(JobTerminated, LastType());
    EXPECT_TRUE(PathExists(big));
    EXPECT_TRUE(m_notices.OfType(FolderStarted).empty());
    EXPECT_TRUE(m_notices.OfType(FileOverwritten).empty());
    EXPECT_TRUE(PathExists(target + L"sub"));
}

TEST_F(EraseWorkerTest, TerminateInTheFilePhaseStillRunsTheFolderPhase)
{
    const std::wstring target = m_dir.MakeFolder(L"target") + L"\\";
    m_dir.MakeFolder(L"target\\a");
    const std::wstring locked = m_dir.WriteFile(L"target\\a\\locked.txt", "L");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(locked)));
    m_notices.answer = [](const RecordedNotice& n) { return n.code == kProblemFileLocked ? 0 : kAnswerSkip; };
    RunJob(target);
    holder.Stop();
    EXPECT_EQ((std::vector<int32_t>{kProblemFileLocked, kProblemFolderNotEmpty, kProblemFolderNotEmpty}), ProblemCodes());
    EXPECT_EQ((std::vector<std::wstring>{target + L"a\\", target}), m_notices.PathsOf(FolderStarted));
    EXPECT_EQ(JobTerminated, LastType());
    EXPECT_EQ("L", ReadWholeFile(locked));
}

TEST_F(EraseWorkerTest, FolderLinkIsNeverWalkedInto)
{
    const std::wstring outside = m_dir.MakeFolder(L"outside");
    const std::wstring inner = m_dir.WriteFile(L"outside\\inner.txt", "inner");
    const std::wstring target = m_dir.MakeFolder(L"target") + L"\\";
    m_dir.WriteFile(L"target\\own.txt", "own");
    ASSERT_TRUE(MakeFolderLink(target + L"link", outside));
    m_notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };

    RunJob(target);
    EXPECT_EQ("inner", ReadWholeFile(inner));
    EXPECT_EQ(std::vector<std::wstring>{L"inner.txt"}, FolderNames(outside));
    EXPECT_EQ(std::vector<std::wstring>{target + L"own.txt"}, m_notices.PathsOf(FileStarted));
    // The link itself is removed where the file system knows links; where it only imitates
    // them, removing it fails and the user is asked, but nothing behind it is touched.
    EXPECT_EQ(target + L"link", m_notices.PathsOf(FolderStarted).at(0));
    EXPECT_EQ(JobCompleted, LastType());
}

TEST_F(EraseWorkerTest, FolderSwappedForALinkAfterTheWalkLeadsNothingOutside)
{
    // Before the file is opened, and once it is overwritten, before its name goes.
    const struct {
        NoticeType moment;
        int32_t problem;
    } kSwaps[] = {{FileStarted, kProblemOpen}, {FileOverwritten, kProblemDeleteFailed}};
    for (const auto& swap : kSwaps) {
        TempDir dir;
        const std::wstring outside = dir.MakeFolder(L"outside");
        const std::wstring kept = dir.WriteFile(L"outside\\x.txt", "outside");
        const std::wstring target = dir.MakeFolder(L"target") + L"\\";
        dir.MakeFolder(L"target\\sub");
        dir.WriteFile(L"target\\sub\\x.txt", "inside");
        bool swapped = false;
        m_notices.notices.clear();
        m_notices.onNotice = [&](const RecordedNotice& n) {
            if (n.type == swap.moment && n.path == target + L"sub\\x.txt")
                swapped = ::MoveFileW((target + L"sub").c_str(), (dir / L"moved").c_str()) && MakeFolderLink(target + L"sub", outside);
        };
        m_notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };
        RunJob(target);
        ASSERT_TRUE(swapped);
        EXPECT_EQ(std::vector<std::wstring>{L"x.txt"}, FolderNames(outside));
        EXPECT_EQ("outside", ReadWholeFile(kept));
        EXPECT_EQ(swap.problem, m_notices.OfType(Problem).at(0)->code);
    }
}

TEST_F(EraseWorkerTest, FileLinkIsRemovedNotWrittenThrough)
{
    const std::wstring pointed = m_dir.WriteFile(L"pointed.txt", "pointed");
    const std::wstring target = m_dir.MakeFolder(L"target") + L"\\";
    const std::wstring topLink = m_dir / L"top-link.txt";
    if (!MakeFileSymlink(target + L"link.txt", pointed) || !MakeFileSymlink(topLink, pointed))
        GTEST_SKIP() << "this file system cannot make file links that show as links";

    RunJob(target);
    RunJob(topLink);
    EXPECT_TRUE(m_notices.OfType(FileOverwritten).empty());
    EXPECT_FALSE(PathExists(target));
    EXPECT_FALSE(PathExists(topLink));
    EXPECT_EQ("pointed", ReadWholeFile(pointed));
}

TEST(EraseWorkerLinkTest, OnlyNameSurrogatesAndUnknownReparsePointsAreLinks)
{
    constexpr DWORD kFile = FILE_ATTRIBUTE_ARCHIVE;
    constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
    constexpr DWORD kReparse = FILE_ATTRIBUTE_REPARSE_POINT;
    constexpr DWORD kDeduplicated = 0x80000013;
    EXPECT_TRUE(IsLink(kFolder | kReparse, IO_REPARSE_TAG_MOUNT_POINT));
    EXPECT_TRUE(IsLink(kFile | kReparse, IO_REPARSE_TAG_SYMLINK));
    EXPECT_TRUE(IsLink(kFolder | kReparse, 0));
    EXPECT_FALSE(IsLink(kFile | kReparse, kDeduplicated));
    EXPECT_FALSE(IsLink(kFolder, IO_REPARSE_TAG_MOUNT_POINT)); // the tag means nothing without the bit
    EXPECT_FALSE(IsLink(kFile, 0));
}

TEST_F(EraseWorkerTest, EmptyTargetTouchesNothing)
{
    const std::wstring file = m_dir.WriteFile(L"kept.txt", "kept");
    for (const std::vector<std::wstring>& targets : {std::vector<std::wstring>{}, std::vector<std::wstring>{file, L""}}) {
        m_notices.notices.clear();
        EraseJob job = {targets, kRandomMethod, NoticeRecorder::Callback, &m_cancel};
        RunEraseJob(&job);
        EXPECT_EQ((std::vector<int32_t>{JobStarted, Problem, JobTerminated}), m_notices.Types());
        EXPECT_EQ(kProblemOpen, m_notices.notices[1].code);
    }
    EXPECT_EQ("kept", ReadWholeFile(file));
}

TEST_F(EraseWorkerTest, SeveralTargetsAreOneJobWithOneTotal)
{
    const std::wstring first = m_dir.WriteFile(L"first.txt", std::string(30000, '1'));
    const std::wstring folder = m_dir.MakeFolder(L"folder") + L"\\";
    m_dir.WriteFile(L"folder\\inner.txt", std::string(10000, 'i'));
    const std::wstring kept = m_dir.WriteFile(L"kept.txt", "kept");
    EraseJob job = {{first, folder}, kRandomMethod, NoticeRecorder::Callback, &m_cancel};
    RunEraseJob(&job);
    EXPECT_EQ(JobCompleted, LastType());
    EXPECT_EQ((std::vector<std::wstring>{first, folder + L"inner.txt"}), m_notices.PathsOf(FileStarted));
    // The first file is three quarters of the job.
    const auto progress = m_notices.OfType(Progress);
    const auto endOfFirst = std::find_if(progress.begin(), progress.end(),
                                         [&](const RecordedNotice* n) { return n->path == first && n->filePercent == 100; });
    ASSERT_NE(progress.end(), endOfFirst);
    EXPECT_EQ(75, (*endOfFirst)->totalPercent);
    EXPECT_EQ(std::vector<std::wstring>{L"kept.txt"}, FolderNames(m_dir.Path()));
    EXPECT_EQ("kept", ReadWholeFile(kept));
}

TEST_F(EraseWorkerTest, FolderWithoutItsSeparatorIsWalkedNotItsSiblings)
{
    const std::wstring target = m_dir.MakeFolder(L"a");
    m_dir.WriteFile(L"a\\inside.txt", "in");
    const std::wstring sibling = m_dir.WriteFile(L"a.txt", "sibling");
    const std::wstring lookalike = m_dir.WriteFile(L"aa.txt", "lookalike");
    RunJob(target);
    EXPECT_EQ(JobCompleted, LastType());
    EXPECT_FALSE(PathExists(target));
    EXPECT_EQ("sibling", ReadWholeFile(sibling));
    EXPECT_EQ("lookalike", ReadWholeFile(lookalike));
}

TEST_F(EraseWorkerTest, HardLinkedContentGoesOnlyWhenEveryNameIsInTheJob)
{
    const std::wstring outside = m_dir.WriteFile(L"outside.txt", "outside");
    ::SetFileAttributesW(outside.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::wstring target = m_dir.MakeFolder(L"target") + L"\\";
    const std::wstring linked = target + L"linked.txt";
    ASSERT_TRUE(::CreateHardLinkW(linked.c_str(), outside.c_str(), nullptr));
    const std::wstring first = m_dir.WriteFile(L"target\\first.txt", std::string(3000, 'P'));
    ASSERT_TRUE(::CreateHardLinkW((target + L"second.txt").c_str(), first.c_str(), nullptr));

    RunJob(target);
    EXPECT_EQ(JobCompleted, LastType());
    EXPECT_FALSE(PathExists(target));
    // The name outside keeps the content and the file keeps its attributes.
    EXPECT_EQ("outside", ReadWholeFile(outside));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY), ::GetFileAttributesW(outside.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(std::vector<std::wstring>{linked}, m_notices.PathsOf(NameRemoved));
    // The pair inside is one file: overwritten once, through the name met first.
    EXPECT_EQ(1u, m_notices.PathsOf(FileOverwritten).size());
    EXPECT_EQ(100, m_notices.OfType(Progress).back()->totalPercent);
}

// Named streams of one file, kept in memory by the test.
class MemoryStreams final : public CFileStreams {
public:
    MemoryStreams(const std::wstring& file, const std::map<std::wstring, size_t>& sizes)
    {
        for (const auto& stream : sizes)
            streams.emplace(file + L":" + stream.first + L":$DATA", MemoryFile(stream.second));
    }

    std::vector<NamedStream> List(const std::wstring& file) override
    {
        std::vector<NamedStream> listed;
        for (const auto& stream : streams) {
            if (stream.first.compare(0, file.size() + 1, file + L":") == 0)
                listed.push_back({stream.first, stream.second.content.size()});
        }
        return listed;
    }

    std::unique_ptr<CEraserFile> Open(const NamedStream& stream, OpenResult& result) override
    {
        result = opens ? kOpenOk : kOpenFailed;
        return opens ? std::make_unique<Borrowed>(streams.at(stream.path)) : nullptr;
    }

    std::map<std::wstring, MemoryFile> streams;
    bool opens = true;

private:
    class Borrowed final : public CEraserFile {
    public:
        explicit Borrowed(MemoryFile& file) : m_file(file) {}
        OpenResult Open(const wchar_t*, OpenSharing) override { return kOpenOk; }
        bool GetSize(ULONGLONG& size) override { return m_file.GetSize(size); }
        bool Seek(LONGLONG distance, ULONGLONG* position, DWORD origin) override { return m_file.Seek(distance, position, origin); }
        bool Write(const void* data, DWORD count, DWORD* written) override { return m_file.Write(data, count, written); }
        void Close() override {}

    private:
        MemoryFile& m_file;
    };
};

TEST_F(EraseWorkerTest, NamedStreamsAreOverwrittenWithEveryPassAndCounted)
{
    const std::wstring file = m_dir.WriteFile(L"streams.txt", std::string(1000, 'M'));
    MemoryStreams streams(file, {{L"small", 3000}, {L"large", 70000}});
    EraseJob job = {{file}, kThreePassMethod, NoticeRecorder::Callback, &m_cancel, &streams};
    RunEraseJob(&job);
    EXPECT_EQ(JobCompleted, LastType());
    EXPECT_FALSE(PathExists(file));
    for (const auto& stream : streams.streams) {
        size_t written = 0;
        for (const MemoryFile::WriteCall& write : stream.second.writes)
            written += write.data.size();
        EXPECT_EQ(3 * stream.second.content.size(), written);
    }
    // The main data is 1,000 of the 74,000 bytes the job writes.
    const auto progress = m_notices.OfType(Progress);
    const auto firstOfStream = std::find_if(progress.begin(), progress.end(),
                                            [](const RecordedNotice* n) { return n->path.find(L":$DATA") != std::wstring::npos; });
    ASSERT_NE(progress.end(), firstOfStream);
    EXPECT_EQ(1, (*firstOfStream)->totalPercent);
    EXPECT_EQ(100, progress.back()->totalPercent);

    // A stream that cannot be overwritten keeps the file from being deleted as if it had been.
    m_notices.notices.clear();
    const std::wstring kept = m_dir.WriteFile(L"kept.txt", "K");
    MemoryStreams locked(kept, {{L"s", 10}});
    locked.opens = false;
    m_notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };
    EraseJob second = {{kept}, kThreePassMethod, NoticeRecorder::Callback, &m_cancel, &locked};
    RunEraseJob(&second);
    EXPECT_EQ(std::vector<int32_t>{kProblemOpen}, ProblemCodes());
    EXPECT_EQ(kept + L":s:$DATA", m_notices.OfType(Problem)[0]->path);
    EXPECT_TRUE(PathExists(kept));
}

TEST_F(EraseWorkerTest, DriveRootIsEmptiedButNeverRemovedOrLookedUp)
{
    const wchar_t* drive = _wgetenv(L"MORVANE_TEST_DRIVE");
    if (!drive)
        GTEST_SKIP() << "no drive of the tests' own: ./scripts/test.sh maps one";
    const std::wstring root = L"\\\\?\\" + std::wstring(drive) + L"\\";
    ::CreateDirectoryW((root + L"sub").c_str(), nullptr);
    for (const wchar_t* name : {L"top.txt", L"sub\\inner.txt"})
        ::CloseHandle(::CreateFileW((root + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::wstring outside = m_dir.WriteFile(L"outside.txt", "outside");
    // Holding the root makes any attempt at removing it, and any lookup, show.
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"cd " + std::wstring(drive) + L"\\")); // quoted, "\" would escape the quote

    RunJob(root);
    EXPECT_EQ(JobCompleted, LastType());
    EXPECT_TRUE(ProblemCodes().empty());
    EXPECT_EQ(std::vector<std::wstring>{root + L"sub\\"}, m_notices.PathsOf(FolderStarted));
    EXPECT_EQ(std::vector<std::wstring>{root}, m_notices.PathsOf(RootEmptied));
    EXPECT_TRUE(PathExists(root));
    EXPECT_TRUE(FolderNames(root).empty());
    EXPECT_EQ("outside", ReadWholeFile(outside));
    EXPECT_TRUE(holder.IsRunning());
}

// With the clock held still, every random chunk is known in advance.
int64_t StillClock()
{
    return 1700000000;
}

std::string RandomChunk(size_t count)
{
    std::string bytes(count, '\0');
    uint32_t state = 1700000000u;
    for (char& b : bytes) {
        state = state * 214013u + 2531011u;
        b = static_cast<char>(((state >> 16) & 0x7FFF) % 256);
    }
    return bytes;
}

TEST_F(EraseWorkerTest, FileOnDiskHoldsTheLastPassBeforeItIsRenamed)
{
    const EraseClock previous = SetEraseClock(StillClock);
    const std::wstring schneier = m_dir.WriteFile(L"schneier.bin", std::string(100000, 'S'));
    const std::wstring ends = m_dir.WriteFile(L"ends.bin", std::string(10000, 'E'));
    std::string seen;
    m_notices.onNotice = [&](const RecordedNotice& n) {
        if (n.type == FileOverwritten)
            seen = ReadWholeFile(n.path);
    };
    RunJob(schneier, 6);
    EXPECT_EQ(RandomChunk(65536) + RandomChunk(100000 - 65536), seen);

    RunJob(ends, 5);
    const std::string random = RandomChunk(4096);
    EXPECT_EQ(random.substr(0, 2048) + std::string(10000 - 4096, 'E') + random.substr(2048), seen);
    SetEraseClock(previous);
    EXPECT_TRUE(FolderNames(m_dir.Path()).empty());
}

} // namespace
