// Closing a holder's handle and ending a holder, each reaching only what the lookup found.

#include "locks/HandleOwner.h"
#include "locks/UnlockActions.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

namespace {

bool OpensWithoutSharing(const std::wstring& path)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.IsValid();
}

TEST(UnlockActionsTest, CloseRemoteHandleFreesOnlyTheHandleFound)
{
    TempDir dir;
    const std::wstring target = dir.WriteFile(L"target.txt", "x");
    const std::wstring other = dir.WriteFile(L"other.txt", "x");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(other) + L" open " + Quoted(target)));

    LockOwnerInfo owner = {};
    ASSERT_TRUE(FindHandleOwner(target, owner));
    ASSERT_EQ(holder.Handles()[1], owner.Handle);
    EXPECT_TRUE(CloseRemoteHandle(owner.ProcessId, owner.Handle));

    // The engine's second open, with read and write sharing, now succeeds.
    UniqueFile reopened(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr));
    EXPECT_TRUE(reopened.IsValid());
    EXPECT_TRUE(holder.IsRunning());
    EXPECT_FALSE(holder.HandleIsOpen(holder.Handles()[1]));
    EXPECT_TRUE(holder.HandleIsOpen(holder.Handles()[0]));
    EXPECT_FALSE(OpensWithoutSharing(other));
}

TEST(UnlockActionsTest, CloseRemoteHandleFailsWithoutTouchingAnything)
{
    EXPECT_FALSE(CloseRemoteHandle(0, 4)); // no process to open

    TempDir dir;
    const std::wstring file = dir.WriteFile(L"held.txt", "x");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(file)));
    EXPECT_FALSE(CloseRemoteHandle(holder.Pid(), 0xFFF0)); // not a handle of the holder
    EXPECT_TRUE(holder.IsRunning());
    EXPECT_TRUE(holder.HandleIsOpen(holder.Handles()[0]));
}

TEST(UnlockActionsTest, KillProcessEndsOnlyTheOwnerFound)
{
    TempDir dir;
    const std::wstring target = dir.WriteFile(L"target.txt", "x");
    const std::wstring other = dir.WriteFile(L"other.txt", "x");
    HolderProcess owner, bystander;
    ASSERT_TRUE(owner.Start(L"open " + Quoted(target)));
    ASSERT_TRUE(bystander.Start(L"open " + Quoted(other)));

    LockOwnerInfo found = {};
    ASSERT_TRUE(FindHandleOwner(target, found));
    ASSERT_EQ(owner.Pid(), found.ProcessId);
    EXPECT_TRUE(KillProcess(found.ProcessId));

    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(owner.Process(), 0));
    DWORD exitCode = 1;
    ::GetExitCodeProcess(owner.Process(), &exitCode);
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(bystander.IsRunning());
    EXPECT_TRUE(OpensWithoutSharing(target));
}

TEST(UnlockActionsTest, KillProcessOfAnEndedProcessIsFalse)
{
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L""));
    const DWORD pid = holder.Pid();
    holder.Stop();
    EXPECT_FALSE(KillProcess(pid));
}

TEST(UnlockActionsTest, KillProcessNeverEndsTheCaller)
{
    EXPECT_FALSE(KillProcess(::GetCurrentProcessId()));
}

} // namespace
