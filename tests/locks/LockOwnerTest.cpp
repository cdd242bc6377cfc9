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

TEST(LockOwnerTest, NamesAreComparedWholeAndWithTheirCase)
{
    TempDir dir;
    const std::wstring file = dir.WriteFile(L"report.txt", "x");
    dir.WriteFile(L"report.txt.bak", "x");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(file)));

    LockOwnerInfo owner = {};
    std::wstring upper = file;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    EXPECT_FALSE(FindHandleOwner(upper, owner));
    EXPECT_FALSE(FindHandleOwner(file + L".bak", owner));
    EXPECT_FALSE(FindHandleOwner(file.substr(0, file.size() - 1), owner));
    EXPECT_TRUE(FindHandleOwner(file, owner));
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

TEST(LockOwnerTest, OwnProcessIsNeverReported)
{
    TempDir dir;
    const std::wstring file = dir.WriteFile(L"mine.txt", "x");
    UniqueFile mine(::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(mine);
    LockOwnerInfo owner = {};
    EXPECT_FALSE(FindHandleOwner(file, owner));

    // Another holder of the same file is found behind this process's handle.
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
        EXPECT_EQ(device, owner.ObjectName);
    }
}

// Answers the process-list query with the system process alone; all else goes to the system.
INtDll::NtQuerySystemInformationFn g_realQuery = nullptr;

NTSTATUS NTAPI QueryWithoutTheHolder(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    if (infoClass != kSystemProcessInformation)
        return g_realQuery(infoClass, buffer, length, returned);
    if (length < 512)
        return kStatusInfoLengthMismatch;
    std::memset(buffer, 0, 512);
    const size_t ptr = sizeof(void*);
    static const wchar_t kName[] = L"System";
    auto* bytes = static_cast<BYTE*>(buffer);
    const USHORT nameLength = sizeof(kName) - sizeof(wchar_t);
    const ULONG_PTR nameAddress = reinterpret_cast<ULONG_PTR>(bytes + 256);
    const ULONG_PTR pid = 4;
    std::memcpy(bytes + 56, &nameLength, sizeof(nameLength));
    std::memcpy(bytes + 56 + ptr, &nameAddress, ptr);
    std::memcpy(bytes + (ptr == 8 ? 80 : 68), &pid, ptr);
    std::memcpy(bytes + 256, kName, sizeof(kName));
    return kStatusSuccess;
}

TEST(LockOwnerTest, HolderMissingFromTheProcessListIsUnknown)
{
    TempDir dir;
    const std::wstring file = dir.WriteFile(L"held.txt", "x");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(file)));

    NtDllOverride restore;
    g_realQuery = restore.RealQuerySystemInformation();
    INtDll::NtQuerySystemInformation = QueryWithoutTheHolder;
    LockOwnerInfo owner = {};
    ASSERT_TRUE(FindHandleOwner(file, owner));
    EXPECT_STREQ(L"<unknown>", owner.ProcessName);
    EXPECT_EQ(holder.Pid(), owner.ProcessId);
    EXPECT_EQ(holder.Handles()[0], owner.Handle);
}

// Never answers for the one handle chosen; all else goes to the system.
HANDLE g_hangingFile = nullptr;
INtDll::NtQueryInformationFileFn g_realFileQuery = nullptr;

NTSTATUS NTAPI QueryThatHangsOnOneFile(HANDLE file, IoStatusBlock* ioStatus, PVOID buffer, ULONG length, ULONG infoClass)
{
    if (file == g_hangingFile)
        ::Sleep(INFINITE);
    return g_realFileQuery(file, ioStatus, buffer, length, infoClass);
}

TEST(FileNameProbeTest, ProbeThatHangsIsAbandonedAndTheOthersStillAnswer)
{
    TempDir dir;
    const std::wstring leaves[] = {L"first.txt", L"hangs.txt", L"second.txt"};
    UniqueFile files[3];
    for (int i = 0; i < 3; ++i) {
        files[i].Reset(::CreateFileW(dir.WriteFile(leaves[i], "x").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(files[i]);
    }
    NtDllOverride restore;
    g_realFileQuery = INtDll::NtQueryInformationFile;
    INtDll::NtQueryInformationFile = QueryThatHangsOnOneFile;
    g_hangingFile = files[1].Get();

    // A probe that runs out of its guard answers with an empty name; those after it answer in
    // time, each with its own name, and so do the next probes.
    const int order[] = {0, 1, 2, 0, 2};
    HANDLE probedFiles[5];
    ProbedName probed[5];
    for (int n = 0; n < 5; ++n)
        probedFiles[n] = files[order[n]].Get();
    ProbeFileNames(probedFiles, 5, probed);
    ProbeFileNames(probedFiles + 3, 2, probed + 3);
    for (int n = 0; n < 5; ++n) {
        const std::wstring& name = probed[n].name;
        const std::wstring tail = order[n] == 1 ? L"" : L"\\" + leaves[order[n]];
        EXPECT_TRUE(probed[n].answered);
        EXPECT_EQ(tail.empty(), name.empty());
        EXPECT_TRUE(name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0)
            << std::string(name.begin(), name.end());
    }
}

} // namespace
