// Whole jobs on real temporary trees: what is erased, in which order, what is reported, and
// what is left alone.

#include "engine/DirectoryListing.h"
#include "engine/EraseJob.h"
#include "engine/EraseWorker.h"
#include "engine/overwrite/EraseMethod.h"
#include "tests/engine/MemoryFile.h"
#include "tests/engine/NoticeRecorder.h"
#include "tests/engine/StillClock.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/Links.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

namespace {

constexpr int kRandomMethod = 4;

constexpr int kThreePassMethod = 3;

// The share of the job a Progress notice gives: 0 while the job's size is still being counted.
void ExpectTotal(int32_t expected, const RecordedNotice& progress)
{
    EXPECT_EQ(progress.count.complete ? expected : 0, progress.totalPercent);
}

class EraseWorkerTest : public ::testing::Test {
protected:
    // Runs the job to its end on this thread.
    void RunJob(const std::wstring& target, int methodId = kRandomMethod)
    {
        EraseJob job = {{target}, methodId, NoticeRecorder::Callback, &m_cancel};
        RunEraseJob(&job);
    }

    // Every file turns read-only once overwritten: renames still work, the delete does not, and
    // the file stays under its last name.
    void KeepFilesOnceOverwritten()
    {
        m_notices.onNotice = [](const RecordedNotice& n) {
            if (n.type == FileOverwritten)
                ::SetFileAttributesW(n.path.c_str(), FILE_ATTRIBUTE_READONLY);
        };
    }

    int32_t LastType() const { return m_notices.notices.empty() ? -1 : m_notices.notices.back().type; }
    std::vector<int32_t> ProblemCodes() const { return m_notices.CodesOf(Problem); }

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
    EXPECT_EQ((std::vector<int32_t>{JobStarted, FileStarted, FileOverwritten, ItemFinished, Counted, JobCompleted}), types);
    EXPECT_EQ(std::vector<std::wstring>{file}, m_notices.PathsOf(FileStarted));
    EXPECT_EQ(std::vector<std::wstring>{file}, m_notices.PathsFinished(ItemKind::File, ItemOutcome::Erased));
    EXPECT_EQ(200000u, m_notices.OfType(ItemFinished)[0]->item.size);
    EXPECT_EQ(100, m_notices.OfType(Progress).back()->filePercent);
    const JobCount counted = m_notices.OfType(Counted).back()->count;
    EXPECT_TRUE(counted.complete);
    EXPECT_EQ(1u, counted.files);
    EXPECT_EQ(200000u, counted.bytes);
    EXPECT_FALSE(m_notices.notices.front().hasPath);
    EXPECT_FALSE(PathExists(file));
    EXPECT_TRUE(FolderNames(m_dir.Path()).empty());
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
}

TEST_F(EraseWorkerTest, FailedDeleteLeavesTheFileUnderItsLastNameOnSkip)
{
    const std::wstring file = m_dir.WriteFile(L"stay.txt", "data");
    KeepFilesOnceOverwritten();
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

// One holder that lets go when its handle is closed and one that must be ended, each asked about
// once: ProgressDlgTest.UnlockForAllAnswersLaterLocksWhileTheKillQuestionIsStillAsked.
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
    std::vector<int32_t> codes = ProblemCodes();
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ((std::vector<int32_t>{kProblemFileLocked, kProblemFileLocked, kProblemFolderInUse, kProblemFolderInUse}), codes);
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

// The files and folders started, in the order started.
std::vector<std::wstring> Started(const NoticeRecorder& notices)
{
    std::vector<std::wstring> started;
    for (const RecordedNotice& n : notices.notices) {
        if (n.type == FileStarted || n.type == FolderStarted)
            started.push_back(n.path);
    }
    return started;
}

size_t IndexOf(const NoticeRecorder& notices, int32_t type, const std::wstring& path)
{
    for (size_t at = 0; at < notices.notices.size(); ++at) {
        if (notices.notices[at].type == type && notices.notices[at].path == path)
            return at;
    }
    return notices.notices.size();
}

// When each item is done with, and what becomes of it, as the walk goes.
TEST_F(EraseWorkerTest, OrderAndFateOfItemsAsTheWalkMeetsThem)
{
    struct Case {
        const char* what;
        // Makes the items below "target" and the holders they need.
        std::function<void(const std::wstring& target, std::vector<std::unique_ptr<HolderProcess>>& holders)> make;
        std::function<int32_t(const RecordedNotice&)> answer;
        // Acts during the job: the cancel flag is the job's.
        std::function<void(const RecordedNotice&, CancelFlag&)> during;
        std::function<void(const std::wstring& target, const NoticeRecorder&)> check;
    };
    const std::string content(70000, 'C');
    const auto write = [&](const std::wstring& path) {
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    };
    const Case cases[] = {
        {"a folder goes once everything in it is done, deepest first, the target last",
         [&](const std::wstring& target, auto&) {
             for (const wchar_t* folder : {L"a", L"a\\b", L"c"})
                 ::CreateDirectoryW((target + folder).c_str(), nullptr);
             for (const wchar_t* file : {L"top.txt", L"a\\middle.txt", L"a\\b\\deep.txt", L"c\\side.txt"})
                 write(target + file);
             ::SetFileAttributesW((target + L"a\\middle.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
         },
         nullptr, nullptr,
         [](const std::wstring& target, const NoticeRecorder& notices) {
             const std::vector<std::wstring> started = Started(notices);
             ASSERT_EQ(8u, started.size());
             for (size_t at = 0; at < started.size(); ++at) {
                 const std::wstring& path = started[at];
                 size_t inside = 0;
                 for (const std::wstring& other : started)
                     inside += path.back() == L'\\' && other != path && other.compare(0, path.size(), path) == 0;
                 // Right after everything inside it, with nothing else in between.
                 for (size_t before = at - std::min(at, inside); before < at; ++before)
                     EXPECT_EQ(0, started[before].compare(0, path.size(), path)) << Narrow(path);
             }
             EXPECT_EQ(target, started.back());
             EXPECT_EQ(notices.PathsOf(FolderStarted), notices.PathsFinished(ItemKind::Folder, ItemOutcome::Erased));
             ExpectTotal(100, *notices.OfType(Progress).back());
         }},
        {"a file with several names met first is decided once the walk has met everything",
         [&](const std::wstring& target, auto&) {
             for (const wchar_t* folder : {L"a", L"m", L"z"})
                 ::CreateDirectoryW((target + folder).c_str(), nullptr);
             write(target + L"a\\pair.txt");
             ::CreateHardLinkW((target + L"z\\pair.txt").c_str(), (target + L"a\\pair.txt").c_str(), nullptr);
             write(target + L"m\\single.txt");
         },
         nullptr, nullptr,
         [](const std::wstring& target, const NoticeRecorder& notices) {
             const std::vector<std::wstring> overwritten = notices.PathsOf(FileOverwritten);
             ASSERT_EQ(2u, overwritten.size());
             EXPECT_EQ(target + L"m\\single.txt", overwritten[0]);
             // The folders that held its names waited for it; the other one did not.
             const size_t pair = IndexOf(notices, FileOverwritten, overwritten[1]);
             EXPECT_LT(IndexOf(notices, FolderStarted, target + L"m\\"), pair);
             EXPECT_GT(IndexOf(notices, FolderStarted, target + L"a\\"), pair);
             EXPECT_GT(IndexOf(notices, FolderStarted, target + L"z\\"), pair);
             EXPECT_EQ(3u, notices.PathsFinished(ItemKind::File, ItemOutcome::Erased).size());
         }},
        {"a cancel leaves every file not yet reached untouched, and the one it met under its name",
         [&](const std::wstring& target, auto&) {
             ::CreateDirectoryW((target + L"sub").c_str(), nullptr);
             for (const wchar_t* file : {L"1.txt", L"2.txt", L"sub\\3.txt", L"sub\\4.txt", L"sub\\5.txt"})
                 write(target + file);
         },
         nullptr,
         [](const RecordedNotice& n, CancelFlag& cancel) {
             if (n.type == FileStarted && n.path.find(L"sub\\") != std::wstring::npos)
                 cancel = kCancelRequested;
         },
         [&](const std::wstring& target, const NoticeRecorder& notices) {
             const std::vector<std::wstring> started = notices.PathsOf(FileStarted);
             const std::vector<std::wstring> interrupted = notices.PathsFinished(ItemKind::File, ItemOutcome::Interrupted);
             ASSERT_EQ(1u, interrupted.size());
             EXPECT_EQ(started.back(), interrupted[0]);
             EXPECT_TRUE(PathExists(interrupted[0]));
             for (const wchar_t* file : {L"1.txt", L"2.txt", L"sub\\3.txt", L"sub\\4.txt", L"sub\\5.txt"}) {
                 if (std::find(started.begin(), started.end(), target + file) == started.end()) {
                     EXPECT_EQ(content, ReadWholeFile(target + file)) << Narrow(file);
                 }
             }
             EXPECT_LT(started.size(), 5u);
             EXPECT_TRUE(notices.OfType(FolderStarted).empty());
             EXPECT_EQ(JobTerminated, notices.notices.back().type);
         }},
        {"a Stop ends the walk there: nothing after it is touched, no folder is tried",
         [&](const std::wstring& target, auto& holders) {
             ::CreateDirectoryW((target + L"a").c_str(), nullptr);
             write(target + L"a\\locked.txt");
             holders.push_back(std::make_unique<HolderProcess>());
             holders.back()->Start(L"open " + Quoted(target + L"a\\locked.txt"));
         },
         [](const RecordedNotice&) { return kAnswerTerminate; }, nullptr,
         [&](const std::wstring& target, const NoticeRecorder& notices) {
             ASSERT_EQ(1u, notices.OfType(Problem).size());
             EXPECT_EQ(kProblemFileLocked, notices.OfType(Problem)[0]->code);
             EXPECT_TRUE(notices.OfType(FolderStarted).empty());
             EXPECT_EQ(JobTerminated, notices.notices.back().type);
             EXPECT_EQ(content, ReadWholeFile(target + L"a\\locked.txt"));
         }},
        {"a folder a skipped file keeps is not removed: no holder is asked about, it is not empty",
         [&](const std::wstring& target, auto& holders) {
             write(target + L"kept.txt");
             write(target + L"erased.txt");
             // A holder that cannot be looked into: with no owner to name, the file cannot be opened.
             holders.push_back(std::make_unique<HolderProcess>());
             holders.back()->Start(L"deny 40 open " + Quoted(target + L"kept.txt"));
         },
         [](const RecordedNotice&) { return kAnswerSkip; }, nullptr,
         [&](const std::wstring& target, const NoticeRecorder& notices) {
             std::vector<int32_t> codes;
             for (const RecordedNotice* n : notices.OfType(Problem)) {
                 codes.push_back(n->code);
                 EXPECT_FALSE(n->hasOwner);
             }
             EXPECT_EQ((std::vector<int32_t>{kProblemOpen, kProblemFolderNotEmpty}), codes);
             EXPECT_EQ(std::vector<std::wstring>{target}, notices.PathsFinished(ItemKind::Folder, ItemOutcome::NotRemoved));
             EXPECT_EQ(content, ReadWholeFile(target + L"kept.txt"));
             EXPECT_FALSE(PathExists(target + L"erased.txt"));
             EXPECT_EQ(JobCompleted, notices.notices.back().type);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::wstring target = dir.MakeFolder(L"target") + L"\\";
        std::vector<std::unique_ptr<HolderProcess>> holders;
        c.make(target, holders);
        NoticeRecorder notices;
        CancelFlag cancel{kCancelNone};
        notices.answer = c.answer;
        if (c.during)
            notices.onNotice = [&](const RecordedNotice& n) { c.during(n, cancel); };
        EraseJob job = {{target}, kRandomMethod, NoticeRecorder::Callback, &cancel};
        RunEraseJob(&job);
        holders.clear();
        c.check(target, notices);
    }
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
    ExpectTotal(75, **endOfFirst);
    EXPECT_EQ(std::vector<std::wstring>{L"kept.txt"}, FolderNames(m_dir.Path()));
    EXPECT_EQ("kept", ReadWholeFile(kept));
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
    EXPECT_EQ(std::vector<std::wstring>{linked}, m_notices.PathsFinished(ItemKind::File, ItemOutcome::NamesRemoved));
    // The pair inside is one file: overwritten once, through the name met first.
    EXPECT_EQ(1u, m_notices.PathsOf(FileOverwritten).size());
}

// Named streams of one file, kept in memory by the test.
class MemoryStreams final : public CFileStreams {
public:
    MemoryStreams() = default;
    MemoryStreams(const std::wstring& file, const std::map<std::wstring, size_t>& sizes)
    {
        for (const auto& stream : sizes)
            Add(file, stream.first, stream.second);
    }

    MemoryFile& Add(const std::wstring& file, const std::wstring& name, size_t size)
    {
        return streams.emplace(file + L":" + name + L":$DATA", MemoryFile(size)).first->second;
    }

    bool List(HANDLE, const std::wstring& file, std::vector<NamedStream>& listed) override
    {
        listed.clear();
        ::SetLastError(ERROR_IO_DEVICE);
        if (!lists)
            return false;
        for (const auto& stream : streams) {
            if (stream.first.compare(0, file.size() + 1, file + L":") == 0)
                listed.push_back({stream.first, stream.second.content.size()});
        }
        return true;
    }

    std::unique_ptr<CEraserFile> Open(const NamedStream& stream, OpenResult& result) override
    {
        result = opens ? kOpenOk : kOpenFailed;
        return opens ? std::make_unique<Borrowed>(streams.at(stream.path)) : nullptr;
    }

    std::map<std::wstring, MemoryFile> streams;
    bool opens = true;
    bool lists = true;

private:
    class Borrowed final : public CEraserFile {
    public:
        explicit Borrowed(MemoryFile& file) : m_file(file) {}
        OpenResult Open(const wchar_t*, OpenSharing) override { return kOpenOk; }
        bool GetSize(ULONGLONG& size) override { return m_file.GetSize(size); }
        bool ReachClusterEnd(ULONGLONG& end) override { return m_file.ReachClusterEnd(end); }
        bool RestoreSize() override { return m_file.RestoreSize(); }
        bool ReadUncached(ULONGLONG offset, void* data, DWORD count, DWORD* read) override
        {
            return m_file.ReadUncached(offset, data, count, read);
        }
        bool Seek(LONGLONG distance, ULONGLONG* position, DWORD origin) override { return m_file.Seek(distance, position, origin); }
        bool Write(const void* data, DWORD count, DWORD* written) override
        {
            // What lands is recorded by the file the test looks at and by this one alike.
            m_file.RecordWrites(Recording());
            return m_file.Write(data, count, written);
        }
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
    ExpectTotal(1, **firstOfStream);
    ExpectTotal(100, *progress.back());

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

size_t EndOfWrites(const MemoryFile& file)
{
    size_t end = 0;
    for (const MemoryFile::WriteCall& write : file.writes)
        end = std::max<size_t>(end, write.offset + write.data.size());
    return end;
}

// Every byte an item ever held is written, or the user is told why not; whatever the job
// leaves keeps its size and attributes. Streams in memory stand for what Wine lacks.
TEST_F(EraseWorkerTest, OverwritesReachEveryEndAndEveryShortfallIsTold)
{
    struct Case {
        const char* what;
        // Makes the target in the folder, its streams and its holders; returns the target.
        std::function<std::wstring(TempDir& dir, MemoryStreams&, std::unique_ptr<HolderProcess>&)> make;
        std::vector<int32_t> problems; // each answered Skip
        std::function<void(const std::wstring& target, MemoryStreams&, const NoticeRecorder&)> check;
    };
    const auto streamOf = [](MemoryStreams& streams) -> MemoryFile& { return streams.streams.begin()->second; };
    // A file "f.txt" holding "data", with a stream in memory.
    const auto withStream = [](TempDir& dir, MemoryStreams& streams, size_t size) -> MemoryFile& {
        return streams.Add(dir.WriteFile(L"f.txt", "data"), L"s", size);
    };
    const Case cases[] = {
        {"the slack after the data is overwritten to the cluster's end, then the size is given back",
         [&](TempDir& dir, MemoryStreams& streams, auto&) {
             withStream(dir, streams, 1000).allocation = 4096;
             return dir / L"f.txt";
         },
         {},
         [&](const std::wstring& target, MemoryStreams& streams, const NoticeRecorder& notices) {
             EXPECT_EQ(4096u, EndOfWrites(streamOf(streams)));
             EXPECT_EQ(1000u, streamOf(streams).content.size());
             EXPECT_FALSE(PathExists(target));
             EXPECT_TRUE(notices.OfType(ItemFinished).back()->item.verified);
         }},
        {"streams that cannot be listed keep the whole file",
         [&](TempDir& dir, MemoryStreams& streams, auto&) {
             withStream(dir, streams, 10);
             streams.lists = false;
             return dir / L"f.txt";
         },
         {kProblemStreamsNotListed},
         [](const std::wstring& target, MemoryStreams&, const NoticeRecorder& notices) {
             EXPECT_EQ("data", ReadWholeFile(target));
             EXPECT_EQ((std::vector<std::wstring>{target}), notices.PathsFinished(ItemKind::File, ItemOutcome::Skipped));
         }},
        {"a folder's own streams are overwritten before it goes",
         [&](TempDir& dir, MemoryStreams& streams, auto&) {
             streams.Add(dir.MakeFolder(L"sub"), L"s", 3000);
             return dir / L"sub\\";
         },
         {},
         [&](const std::wstring& target, MemoryStreams& streams, const NoticeRecorder&) {
             EXPECT_EQ(3000u, EndOfWrites(streamOf(streams)));
             EXPECT_FALSE(PathExists(target));
         }},
        {"data written during the last pass is overwritten by it once more",
         [&](TempDir& dir, MemoryStreams& streams, auto&) {
             MemoryFile& stream = withStream(dir, streams, 1000);
             stream.afterWrite = [&stream](size_t write) {
                 if (write == 0)
                     stream.content.resize(70000, 'G');
             };
             return dir / L"f.txt";
         },
         {},
         [&](const std::wstring& target, MemoryStreams& streams, const NoticeRecorder&) {
             EXPECT_EQ(70000u, EndOfWrites(streamOf(streams)));
             EXPECT_FALSE(PathExists(target));
         }},
        {"a file that keeps growing is told, and kept",
         [&](TempDir& dir, MemoryStreams& streams, auto&) {
             MemoryFile& stream = withStream(dir, streams, 1000);
             stream.afterWrite = [&stream](size_t) { stream.content.resize(stream.content.size() + 10, 'G'); };
             return dir / L"f.txt";
         },
         {kProblemFileGrew},
         [](const std::wstring& target, MemoryStreams&, const NoticeRecorder&) { EXPECT_TRUE(PathExists(target)); }},
        {"a write that writes less than asked is a failed write",
         [&](TempDir& dir, MemoryStreams& streams, auto&) {
             withStream(dir, streams, 1000).shortWriteAt = 0;
             return dir / L"f.txt";
         },
         {kProblemWrite},
         [](const std::wstring& target, MemoryStreams& streams, const NoticeRecorder&) {
             EXPECT_TRUE(PathExists(target));
             EXPECT_EQ(1000u, streams.streams.begin()->second.content.size());
         }},
        {"a read-back that differs from the last pass is a failed verification",
         [&](TempDir& dir, MemoryStreams& streams, auto&) {
             withStream(dir, streams, 1000).readBackDiffers = true;
             return dir / L"f.txt";
         },
         {kProblemVerifyFailed},
         [](const std::wstring& target, MemoryStreams&, const NoticeRecorder& notices) {
             EXPECT_TRUE(PathExists(target));
             EXPECT_FALSE(notices.OfType(ItemFinished).back()->item.verified);
         }},
        {"a renaming that stops part-way is told with the name reached, under which the file goes",
         [](TempDir& dir, MemoryStreams&, auto&) {
             dir.WriteFile(L"CCCCCC.CCC", "blocker");
             return dir.WriteFile(L"letter.doc", "text");
         },
         {kProblemRenameStopped},
         [](const std::wstring& target, MemoryStreams&, const NoticeRecorder& notices) {
             const std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
             EXPECT_EQ(folder + L"BBBBBB.BBB", notices.OfType(Problem)[0]->path);
             EXPECT_EQ(std::vector<std::wstring>{L"CCCCCC.CCC"}, FolderNames(folder));
             EXPECT_EQ(kProblemRenameStopped, notices.OfType(ItemFinished).back()->code);
         }},
        {"a file skipped after a failed open keeps read-only, hidden and system",
         [](TempDir& dir, MemoryStreams&, std::unique_ptr<HolderProcess>& holder) {
             const std::wstring kept = dir.WriteFile(L"kept.txt", "kept");
             ::SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
             holder = std::make_unique<HolderProcess>();
             holder->Start(L"deny 40 open " + Quoted(kept));
             return kept;
         },
         {kProblemOpen},
         [](const std::wstring& target, MemoryStreams&, const NoticeRecorder&) {
             EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                       ::GetFileAttributesW(target.c_str()) & 7);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        MemoryStreams streams;
        std::unique_ptr<HolderProcess> holder;
        const std::wstring target = c.make(dir, streams, holder);
        NoticeRecorder notices;
        notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };
        EraseJob job = {{target}, kRandomMethod, NoticeRecorder::Callback, &m_cancel, &streams};
        RunEraseJob(&job);
        holder.reset();
        EXPECT_EQ(c.problems, notices.CodesOf(Problem));
        EXPECT_EQ(JobCompleted, notices.notices.back().type);
        c.check(target, streams, notices);
        ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
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
    EXPECT_EQ(std::vector<std::wstring>{root}, m_notices.PathsFinished(ItemKind::DriveRoot, ItemOutcome::Erased));
    EXPECT_TRUE(PathExists(root));
    EXPECT_TRUE(FolderNames(root).empty());
    EXPECT_EQ("outside", ReadWholeFile(outside));
    EXPECT_TRUE(holder.IsRunning());
}

TEST_F(EraseWorkerTest, DriveThatCannotBeReadIsAProblemNotEmptied)
{
    const wchar_t* drive = _wgetenv(L"MORVANE_GONE_DRIVE");
    if (!drive)
        GTEST_SKIP() << "no drive of the tests' own whose folder is gone: ./scripts/test.sh maps one";
    const std::wstring root = L"\\\\?\\" + std::wstring(drive) + L"\\";
    m_notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };
    RunJob(root);
    EXPECT_EQ(std::vector<int32_t>{kProblemRootNotListed}, ProblemCodes());
    EXPECT_EQ(std::vector<std::wstring>{root}, m_notices.PathsFinished(ItemKind::DriveRoot, ItemOutcome::Skipped));
    EXPECT_EQ(1u, m_notices.OfType(ItemFinished).size());
}

std::string RandomChunk(size_t count)
{
    const std::vector<BYTE> bytes = RandomBytes(count);
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(EraseWorkerTest, FileOnDiskHoldsTheLastPass)
{
    const EraseClock previous = SetEraseClock(StillClock);
    // Kept by a failed delete, under its last name: what the passes left is read back.
    KeepFilesOnceOverwritten();
    m_notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };
    const auto erasedContent = [this](const std::wstring& file, int methodId) {
        RunJob(file, methodId);
        const std::wstring left = m_dir / FolderNames(m_dir.Path()).at(0);
        const std::string content = ReadWholeFile(left);
        RemoveTree(left);
        return content;
    };
    EXPECT_EQ(RandomChunk(65536) + RandomChunk(100000 - 65536),
              erasedContent(m_dir.WriteFile(L"schneier.bin", std::string(100000, 'S')), 6));
    const std::string random = RandomChunk(4096);
    EXPECT_EQ(random.substr(0, 2048) + std::string(10000 - 4096, 'E') + random.substr(2048),
              erasedContent(m_dir.WriteFile(L"ends.bin", std::string(10000, 'E')), 5));
    SetEraseClock(previous);
}

} // namespace
