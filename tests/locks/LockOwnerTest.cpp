// Owner lookups against real second processes under the running system.

#include "locks/DevicePath.h"
#include "locks/FileNameProbe.h"
#include "locks/HandleOwner.h"
#include "tests/locks/NtDllOverride.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

namespace {

TEST(LockOwnerTest, FileHeldWithoutSharingIsReportedWithItsHolder)
{
    TempDir dir;
    const std::wstring file = dir.WriteFile(L"held file.txt", "secret");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(file)));
    ASSERT_EQ(1u, holder.Handles().size());

    for (const std::wstring& asked : {file, L"\\\\?\\" + file}) {
        LockOwnerInfo owner = {};
        ASSERT_TRUE(FindHandleOwner(asked, owner)) << "for " << std::string(asked.begin(), asked.end());
        EXPECT_STREQ(L"LockHolder.exe", owner.ProcessName);
        EXPECT_EQ(holder.Pid(), owner.ProcessId);
        EXPECT_EQ(holder.Handles()[0], owner.Handle);
    }
}

TEST(LockOwnerTest, EverySpellingOfTheItemFindsItsHolderAndNoOtherNameDoes)
{
    TempDir dir;
    const std::wstring folder = dir.MakeFolder(L"Long folder name");
    const std::wstring file = dir.WriteFile(L"Long folder name\\report.txt", "x");
    dir.WriteFile(L"Long folder name\\report.txt.bak", "x");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(file)));
    wchar_t shortFolder[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetShortPathNameW(folder.c_str(), shortFolder, MAX_PATH));
    std::wstring upper = file;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);

    for (const std::wstring& spelling : {upper, L"\\\\?\\" + upper, std::wstring(shortFolder) + L"\\report.txt"}) {
        LockOwnerInfo owner = {};
        ASSERT_TRUE(FindHandleOwner(spelling, owner)) << std::string(spelling.begin(), spelling.end());
        EXPECT_EQ(holder.Handles()[0], owner.Handle);
    }
    LockOwnerInfo owner = {};
    EXPECT_FALSE(FindHandleOwner(file + L".bak", owner));
    EXPECT_FALSE(FindHandleOwner(file.substr(0, file.size() - 1), owner));
}

TEST(LockOwnerTest, FolderIsFoundThroughItsOwnHandleOnly)
{
    TempDir dir;
    const std::wstring current = dir.MakeFolder(L"current");
    const std::wstring busy = dir.MakeFolder(L"busy");
    const std::wstring inside = dir.WriteFile(L"busy\\inside.txt", "x");

    HolderProcess cwdHolder;
    ASSERT_TRUE(cwdHolder.Start(L"cd " + Quoted(current)));
    HolderProcess fileHolder;
    ASSERT_TRUE(fileHolder.Start(L"open " + Quoted(inside)));

    // As the engine passes folders: long form with a final separator.
    LockOwnerInfo owner = {};
    ASSERT_TRUE(FindHandleOwner(L"\\\\?\\" + current + L"\\", owner));
    EXPECT_EQ(cwdHolder.Pid(), owner.ProcessId);
    EXPECT_STREQ(L"LockHolder.exe", owner.ProcessName);

    // A file open inside a folder does not make the folder match.
    EXPECT_FALSE(FindHandleOwner(L"\\\\?\\" + busy + L"\\", owner));
}

TEST(LockOwnerTest, FreePathHasNoOwnerAndLeavesTheRecordAlone)
{
    TempDir dir;
    const std::wstring file = dir.WriteFile(L"free.txt", "x");
    LockOwnerInfo owner = {};
    owner.ProcessId = 77;
    EXPECT_FALSE(FindHandleOwner(file, owner));
    EXPECT_EQ(77u, owner.ProcessId);
}

TEST(LockOwnerTest, HandlesThatCannotBeTheCauseAreNeverReported)
{
    TempDir dir;
    const std::wstring file = dir.WriteFile(L"mine.txt", "x");
    UniqueFile mine(::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(mine);
    // Reading attributes takes part in no sharing check: such a handle blocks nothing.
    HolderProcess attributes;
    ASSERT_TRUE(attributes.Start(L"attrs " + Quoted(file)));
    LockOwnerInfo owner = {};
    EXPECT_FALSE(FindHandleOwner(file, owner));

    // Another holder of the same file is found behind them.
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"share " + Quoted(file) + L" 1"));
    ASSERT_TRUE(FindHandleOwner(file, owner));
    EXPECT_EQ(holder.Pid(), owner.ProcessId);
}

TEST(LockOwnerTest, TwoFilesOfOneHolderAreToldApart)
{
    TempDir dir;
    const std::wstring files[] = {dir.WriteFile(L"first.txt", "1"), dir.WriteFile(L"second.txt", "2")};
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(files[0]) + L" open " + Quoted(files[1])));
    // Asked in both orders, so that neither answer can be left over from the query before.
    for (size_t i : {1, 0, 1}) {
        LockOwnerInfo owner = {};
        ASSERT_TRUE(FindHandleOwner(files[i], owner));
        EXPECT_EQ(holder.Handles()[i], owner.Handle);
        std::wstring device;
        ASSERT_TRUE(DosPathToDevicePath(files[i], device));
        EXPECT_TRUE(SameName(device, owner.ObjectName));
    }
}

// Never answers for the one handle chosen; all else goes to the system.
HANDLE g_hangingFile = nullptr;
INtDll::NtQueryObjectFn g_realObjectQuery = nullptr;

NTSTATUS NTAPI QueryThatHangsOnOneFile(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    if (handle == g_hangingFile)
        ::Sleep(INFINITE);
    return g_realObjectQuery(handle, infoClass, buffer, length, returned);
}

TEST(FileNameProbeTest, ProbeThatHangsIsAbandonedAndTheOthersStillAnswerWhole)
{
    TempDir dir;
    // A name longer than a probe's first buffer holds is asked again, alone.
    std::wstring deep = L"\\\\?\\" + dir.Path();
    for (wchar_t letter = L'a'; letter < L'm'; ++letter) {
        deep += L"\\" + std::wstring(200, letter);
        ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
    }
    const std::wstring leaves[] = {L"\\first.txt", L"\\hangs.txt", L"\\second.txt",
                                   deep.substr(dir.Path().size() + 4) + L"\\deep.txt"};
    UniqueFile files[4];
    for (int i = 0; i < 4; ++i) {
        files[i].Reset(::CreateFileW((L"\\\\?\\" + dir.Path() + leaves[i]).c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(files[i]);
    }
    NtDllOverride restore;
    g_realObjectQuery = INtDll::NtQueryObject;
    INtDll::NtQueryObject = QueryThatHangsOnOneFile;
    g_hangingFile = files[1].Get();

    // A probe that runs out of its guard answers with an empty name; those after it answer in
    // time, each with its own name, and so do the next probes.
    const int order[] = {0, 1, 3, 2, 0, 2};
    HANDLE probedFiles[6];
    std::wstring names[6];
    for (int n = 0; n < 6; ++n)
        probedFiles[n] = files[order[n]].Get();
    ProbeFileNames(probedFiles, 4, names);
    ProbeFileNames(probedFiles + 4, 2, names + 4);
    for (int n = 0; n < 6; ++n) {
        const std::wstring& name = names[n];
        const std::wstring tail = order[n] == 1 ? L"" : leaves[order[n]];
        EXPECT_EQ(tail.empty(), name.empty());
        EXPECT_TRUE(name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0)
            << std::string(name.begin(), name.end());
    }
}

} // namespace
