// Closing a holder's handle and ending a holder, each reaching only what the lookup found.

#include "locks/HandleOwner.h"
#include "locks/HandleQuery.h"
#include "locks/OwnerProcess.h"
#include "locks/UnlockActions.h"
#include "tests/locks/NtDllOverride.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

namespace {

bool OpensWithoutSharing(const std::wstring& path)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.IsValid();
}

// A target and a second file in a fresh folder, and the target's holder as the lookup finds it.
class HeldFileTest : public ::testing::Test {
protected:
    // Starts the holder with these arguments and looks up the target's owner.
    void Hold(const std::wstring& arguments)
    {
        ASSERT_TRUE(holder.Start(arguments));
        ASSERT_TRUE(FindHandleOwner(target, owner));
    }

    TempDir dir;
    const std::wstring target = dir.WriteFile(L"target.txt", "x");
    const std::wstring other = dir.WriteFile(L"other.txt", "x");
    HolderProcess holder;
    LockOwnerInfo owner = {};
};

using UnlockActionsTest = HeldFileTest;

TEST_F(UnlockActionsTest, CloseOwnerHandleFreesOnlyTheHandleFound)
{
    Hold(L"open " + Quoted(other) + L" open " + Quoted(target));
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

TEST_F(UnlockActionsTest, CloseOwnerHandleFailsWithoutTouchingAnything)
{
    const LockOwnerInfo none = {}; // no process kept
    EXPECT_FALSE(CloseOwnerHandle(none));

    Hold(L"open " + Quoted(target));
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

TEST_F(UnlockActionsTest, ActionsRefuseAValueThatNamesSomethingElseByNow)
{
    Hold(L"open " + Quoted(target));
    ASSERT_TRUE(ReuseHandleValueFor(holder.Process(), owner.Handle, other));
    EXPECT_FALSE(CloseOwnerHandle(owner));
    EXPECT_FALSE(KillOwner(owner));
    EXPECT_TRUE(holder.IsRunning());
    EXPECT_TRUE(holder.HandleIsOpen(owner.Handle));
    EXPECT_FALSE(OpensWithoutSharing(other));
}

TEST_F(UnlockActionsTest, KillOwnerEndsOnlyTheOwnerFound)
{
    HolderProcess bystander;
    ASSERT_TRUE(bystander.Start(L"open " + Quoted(other)));
    Hold(L"open " + Quoted(target));
    ASSERT_EQ(holder.Pid(), owner.ProcessId);
    EXPECT_TRUE(KillOwner(owner));

    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(holder.Process(), 0));
    DWORD exitCode = 1;
    ::GetExitCodeProcess(holder.Process(), &exitCode);
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(bystander.IsRunning());
    EXPECT_TRUE(OpensWithoutSharing(target));
}

TEST_F(UnlockActionsTest, KillOwnerOfAnEndedOwnerEndsNothing)
{
    Hold(L"open " + Quoted(target));
    holder.Stop();

    // Started after the owner ended: whatever id it gets, it is not the one found.
    HolderProcess later;
    ASSERT_TRUE(later.Start(L"open " + Quoted(target)));
    EXPECT_FALSE(KillOwner(owner));
    EXPECT_TRUE(later.IsRunning());
}

TEST_F(UnlockActionsTest, KillOwnerNeverEndsTheCaller)
{
    LockOwnerInfo self = {};
    self.ProcessId = ::GetCurrentProcessId();
    self.Process.Reset(::OpenProcess(SYNCHRONIZE, FALSE, self.ProcessId));
    ASSERT_TRUE(self.Process);
    EXPECT_FALSE(KillOwner(self));
}

} // namespace

namespace {

constexpr NTSTATUS kInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
constexpr NTSTATUS kAccessDenied = static_cast<NTSTATUS>(0xC0000022);

// The process queries' answers for one made-up process, by its handle value. Other handles
// are real processes; the one whose id is g_criticalPid is called critical.
struct MadeUpProcess {
    ULONG_PTR handle;
    NTSTATUS criticalStatus; // of the query for the critical mark
    ULONG critical, session;
    const wchar_t* image; // null: its query is refused
};
MadeUpProcess g_madeUp = {};
DWORD g_criticalPid = 0;
INtDll::NtQueryInformationProcessFn g_realProcessQuery = nullptr;

NTSTATUS NTAPI QueryMadeUpProcess(HANDLE process, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    auto* value = static_cast<ULONG*>(buffer);
    if (reinterpret_cast<ULONG_PTR>(process) != g_madeUp.handle) {
        if (infoClass != 29 || ::GetProcessId(process) != g_criticalPid)
            return g_realProcessQuery(process, infoClass, buffer, length, returned);
        *value = 1;
        return kStatusSuccess;
    }
    if (infoClass != 43) {
        *value = infoClass == 29 ? g_madeUp.critical : g_madeUp.session;
        return infoClass == 29 ? g_madeUp.criticalStatus : kStatusSuccess;
    }
    if (!g_madeUp.image)
        return kAccessDenied;
    // A counted string whose text follows it in the same buffer.
    auto* text = reinterpret_cast<wchar_t*>(static_cast<BYTE*>(buffer) + 2 * sizeof(void*));
    const USHORT bytes = static_cast<USHORT>(2 * std::wcslen(g_madeUp.image));
    std::memcpy(text, g_madeUp.image, bytes);
    std::memcpy(buffer, &bytes, sizeof(bytes));
    std::memcpy(static_cast<BYTE*>(buffer) + sizeof(void*), &text, sizeof(text));
    return kStatusSuccess;
}

class WindowsProcessTest : public HeldFileTest {
protected:
    WindowsProcessTest()
    {
        g_realProcessQuery = INtDll::NtQueryInformationProcess;
        INtDll::NtQueryInformationProcess = QueryMadeUpProcess;
    }
    ~WindowsProcessTest() override
    {
        g_madeUp = {};
        g_criticalPid = 0;
    }
    NtDllOverride m_restore;
};

TEST_F(WindowsProcessTest, WindowsOwnProcessesAreToldFromUsersProgramsOfTheSameName)
{
    const struct {
        DWORD pid;
        MadeUpProcess process;
        bool windows;
    } kCases[] = {
        {0, {0x100, kStatusSuccess, 0, 0, L"C:\\Users\\u\\idle.exe"}, true},
        {4, {0x104, kStatusSuccess, 0, 1, L"C:\\Users\\u\\system.exe"}, true},
        {1000, {0x108, kStatusSuccess, 1, 1, L"C:\\Users\\u\\app.exe"}, true},
        {1004, {0x10C, kStatusSuccess, 0, 0, L"C:\\Windows\\System32\\csrss.exe"}, true},
        {1008, {0x110, kStatusSuccess, 0, 0, L"C:\\WINDOWS\\system32\\LSASS.EXE"}, true},
        {1012, {0x114, kStatusSuccess, 0, 1, L"C:\\Users\\u\\lsass.exe"}, false},
        // A system that keeps no critical mark knows no such query.
        {1020, {0x11C, kInvalidInfoClass, 0, 1, L"C:\\Program Files\\Editor\\editor.exe"}, false},
        // What cannot be read counts against the process.
        {1024, {0x120, kAccessDenied, 0, 1, L"C:\\Users\\u\\app.exe"}, true},
        {1028, {0x124, kStatusSuccess, 0, 1, nullptr}, true},
    };
    for (const auto& c : kCases) {
        g_madeUp = c.process;
        const ProcessFacts facts = ReadProcessFacts(reinterpret_cast<HANDLE>(c.process.handle));
        EXPECT_EQ(c.windows, IsWindowsItself(c.pid, facts)) << c.pid;
    }
}

TEST_F(WindowsProcessTest, OwnerWindowsMarksCriticalIsNamedButNeitherUnlockedNorEnded)
{
    ASSERT_TRUE(holder.Start(L"open " + Quoted(target)));
    g_criticalPid = holder.Pid();
    ASSERT_TRUE(FindHandleOwner(target, owner));
    EXPECT_TRUE(owner.HeldByWindows);
    EXPECT_STREQ(L"LockHolder.exe", owner.ProcessName);
    // Refused also when the mark comes after the lookup.
    for (bool markedAtLookup : {true, false}) {
        owner.HeldByWindows = markedAtLookup;
        EXPECT_FALSE(CloseOwnerHandle(owner));
        EXPECT_FALSE(KillOwner(owner));
    }
    EXPECT_TRUE(holder.IsRunning());
    EXPECT_TRUE(holder.HandleIsOpen(holder.Handles()[0]));
}

} // namespace
