// Closing a holder's handle and ending a holder, each reaching only what the lookup found.

#include "locks/HandleOwner.h"
#include "locks/HandleQuery.h"
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

TEST(UnlockActionsTest, CloseOwnerHandleFreesOnlyTheHandleFound)
{
    TempDir dir;
    const std::wstring target = dir.WriteFile(L"target.txt", "x");
    const std::wstring other = dir.WriteFile(L"other.txt", "x");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(other) + L" open " + Quoted(target)));

    LockOwnerInfo owner = {};
    ASSERT_TRUE(FindHandleOwner(target, owner));
    ASSERT_EQ(holder.Handles()[1], owner.Handle);
    EXPECT_TRUE(CloseOwnerHandle(owner));

    // The engine's second open, with read and write sharing, now succeeds.
    UniqueFile reopened(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr));
    EXPECT_TRUE(reopened.IsValid());
    EXPECT_TRUE(holder.IsRunning());
    EXPECT_FALSE(holder.HandleIsOpen(holder.Handles()[1]));
    EXPECT_TRUE(holder.HandleIsOpen(holder.Handles()[0]));
    EXPECT_FALSE(OpensWithoutSharing(other));
}

TEST(UnlockActionsTest, CloseOwnerHandleFailsWithoutTouchingAnything)
{
    const LockOwnerInfo none = {}; // no process kept
    EXPECT_FALSE(CloseOwnerHandle(none));

    TempDir dir;
    const std::wstring file = dir.WriteFile(L"held.txt", "x");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(file)));
    LockOwnerInfo owner = {};
    ASSERT_TRUE(FindHandleOwner(file, owner));
    owner.Handle = 0xFFF0; // not a handle of the holder
    EXPECT_FALSE(CloseOwnerHandle(owner));
    EXPECT_TRUE(holder.IsRunning());
    EXPECT_TRUE(holder.HandleIsOpen(holder.Handles()[0]));
}

// Closes the holder's handle and hands it handles on another file until one of them takes the
// freed value, as when the holder closes its file and opens the next.
bool ReuseHandleValueFor(HANDLE holder, DWORD value, const std::wstring& other)
{
    HANDLE closed = nullptr;
    if (!::DuplicateHandle(holder, HandleFromValue(value), ::GetCurrentProcess(), &closed, 0, FALSE,
                           DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS))
        return false;
    ::CloseHandle(closed);
    UniqueFile file(::CreateFileW(other.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    for (int attempt = 0; file && attempt < 64; ++attempt) {
        HANDLE copy = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), file.Get(), holder, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
            return false;
        if (copy == HandleFromValue(value))
            return true;
    }
    return false;
}

TEST(UnlockActionsTest, CloseOwnerHandleRefusesAValueThatNamesSomethingElseByNow)
{
    TempDir dir;
    const std::wstring target = dir.WriteFile(L"target.txt", "x");
    const std::wstring other = dir.WriteFile(L"other.txt", "x");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(target)));
    LockOwnerInfo owner = {};
    ASSERT_TRUE(FindHandleOwner(target, owner));

    ASSERT_TRUE(ReuseHandleValueFor(holder.Process(), owner.Handle, other));
    EXPECT_FALSE(CloseOwnerHandle(owner));
    EXPECT_TRUE(holder.HandleIsOpen(owner.Handle));
    EXPECT_FALSE(OpensWithoutSharing(other));
}

TEST(UnlockActionsTest, KillOwnerEndsOnlyTheOwnerFound)
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
    EXPECT_TRUE(KillOwner(found));

    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(owner.Process(), 0));
    DWORD exitCode = 1;
    ::GetExitCodeProcess(owner.Process(), &exitCode);
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(bystander.IsRunning());
    EXPECT_TRUE(OpensWithoutSharing(target));
}

TEST(UnlockActionsTest, KillOwnerOfAnEndedOwnerEndsNothing)
{
    TempDir dir;
    const std::wstring target = dir.WriteFile(L"target.txt", "x");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(target)));
    LockOwnerInfo found = {};
    ASSERT_TRUE(FindHandleOwner(target, found));
    holder.Stop();

    // Started after the owner ended: whatever id it gets, it is not the one found.
    HolderProcess later;
    ASSERT_TRUE(later.Start(L"open " + Quoted(target)));
    EXPECT_FALSE(KillOwner(found));
    EXPECT_TRUE(later.IsRunning());
}

TEST(UnlockActionsTest, KillOwnerNeverEndsTheCaller)
{
    LockOwnerInfo self = {};
    self.ProcessId = ::GetCurrentProcessId();
    self.Process.Reset(::OpenProcess(SYNCHRONIZE, FALSE, self.ProcessId));
    ASSERT_TRUE(self.Process);
    EXPECT_FALSE(KillOwner(self));
}

} // namespace
