// The real program, started as Explorer or the user starts it, and used as a user would.

#include "resources/resource.h"
#include "tests/support/Gui.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/Links.h"
#include "tests/support/RegistryState.h"
#include "tests/support/RemoteTree.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kSettingsKey[] = L"Software\\Kestrium\\Morvane\\settings";

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() : m_keyGuard(HKEY_CURRENT_USER, kSettingsKey), m_methodGuard(HKEY_CURRENT_USER, kSettingsKey, L"file_method") {}

    static void StoreMethod(DWORD index)
    {
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"file_method", REG_DWORD, &index, sizeof(index));
    }
    static DWORD StoredMethod()
    {
        DWORD value = 99, size = sizeof(value);
        ::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"file_method", RRF_RT_REG_DWORD, nullptr, &value, &size);
        return value;
    }

    // Confirms with Yes, picks the method in the chooser and presses OK, waits for the end of
    // the job and presses "Finish". The chooser's preselected index goes to `offered`.
    static void ConfirmChooseAndFinish(ProgramRun& program, int methodIndex, int* offered = nullptr)
    {
        HWND confirm = program.Window(L"Tarnwick");
        ASSERT_TRUE(confirm);
        PressButton(confirm, IDYES);
        HWND chooser = program.Window(L"Choose delete method");
        ASSERT_TRUE(chooser);
        HWND list = ::GetDlgItem(chooser, IDC_METHOD);
        if (offered)
            *offered = static_cast<int>(::SendMessageW(list, CB_GETCURSEL, 0, 0));
        ::SendMessageW(list, CB_SETCURSEL, methodIndex, 0);
        PressButton(chooser, IDOK);
        HWND progress = program.Window(L"Deleting ...");
        ASSERT_TRUE(progress);
        ASSERT_TRUE(WaitUntil([progress] { return ItemText(progress, IDC_CANCEL_FINISH) == L"Finish"; }));
        PressButton(progress, IDC_CANCEL_FINISH);
        EXPECT_TRUE(program.HasEnded());
    }

    TempDir m_dir;
    KeyPathGuard m_keyGuard;
    ValueGuard m_methodGuard;
};

TEST_F(ProgramTest, QuotedFilePathWithBlanksIsConfirmedErasedAndItsMethodRemembered)
{
    m_dir.MakeFolder(L"a b");
    const std::wstring file = m_dir.WriteFile(L"a b\\c d.txt", "secret");
    StoreMethod(2);
    ProgramRun program(L"\"" + file + L"\"");
    ASSERT_TRUE(program.Started());
    HWND confirm = program.Window(L"Tarnwick");
    ASSERT_TRUE(confirm);
    EXPECT_EQ(L"Do you really want to delete " + file + L" ?", MessageBoxText(confirm));
    int offered = -2;
    ConfirmChooseAndFinish(program, 3, &offered);
    EXPECT_EQ(2, offered);
    EXPECT_FALSE(PathExists(file));
    EXPECT_EQ(3u, StoredMethod());
}

TEST_F(ProgramTest, FolderWithoutItsSeparatorIsErasedWhole)
{
    const std::wstring folder = m_dir.MakeFolder(L"old");
    m_dir.MakeFolder(L"old\\inner");
    m_dir.WriteFile(L"old\\inner\\x.txt", "x");
    m_dir.WriteFile(L"old\\y.txt", "y");
    ProgramRun program(L"\"" + folder + L"\"");
    ConfirmChooseAndFinish(program, 3);
    EXPECT_FALSE(PathExists(folder));
}

TEST_F(ProgramTest, MissingPathIsReportedAndNothingChanges)
{
    StoreMethod(1);
    const std::wstring missing = m_dir / L"nothing.txt";
    ProgramRun program(L"\"" + missing + L"\"");
    HWND box = program.Window(L"Tarnwick :: Error");
    ASSERT_TRUE(box);
    EXPECT_EQ(L"Path " + missing + L" not exist", MessageBoxText(box));
    PressButton(box, IDOK);
    EXPECT_TRUE(program.HasEnded());
    EXPECT_EQ(1u, StoredMethod());
}

TEST_F(ProgramTest, NoAtTheConfirmationOrCancelInTheChooserChangesNothing)
{
    StoreMethod(4);
    const std::wstring file = m_dir.WriteFile(L"keep.txt", "keep");
    {
        ProgramRun program(L"\"" + file + L"\"");
        HWND confirm = program.Window(L"Tarnwick");
        ASSERT_TRUE(confirm);
        PressButton(confirm, IDNO);
        EXPECT_TRUE(program.HasEnded());
    }
    {
        ProgramRun program(L"\"" + file + L"\"");
        HWND confirm = program.Window(L"Tarnwick");
        ASSERT_TRUE(confirm);
        PressButton(confirm, IDYES);
        HWND chooser = program.Window(L"Choose delete method");
        ASSERT_TRUE(chooser);
        ::SendMessageW(::GetDlgItem(chooser, IDC_METHOD), CB_SETCURSEL, 1, 0);
        PressButton(chooser, IDCANCEL);
        EXPECT_TRUE(program.HasEnded());
    }
    EXPECT_EQ("keep", ReadWholeFile(file));
    EXPECT_EQ(4u, StoredMethod());
}

TEST_F(ProgramTest, MainWindowErasesTheSelectedFileAndDropsItFromTheTree)
{
    // Right below the drive, so that the tree has read it at start-up.
    const std::wstring name = L"morvane-e2e-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring folder = L"C:\\" + name;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring file = folder + L"\\victim.txt";
    ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::wstring kept = folder + L"\\kept.txt";
    ::CloseHandle(::CreateFileW(kept.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

    ProgramRun program(L"");
    HWND main = program.Window(L"Tarnwick");
    ASSERT_TRUE(main);
    RemoteTree tree(::GetDlgItem(main, IDC_TREE));
    ASSERT_TRUE(tree.IsReady());
    HTREEITEM drive = tree.FindChild(nullptr, L"C:\\");
    ASSERT_TRUE(drive);
    // Opened level by level, as a user does: expanding reads a level anew, so an item's
    // handle is looked up again after its parent was expanded.
    tree.Expand(drive);
    ASSERT_TRUE(WaitUntil([&] { return tree.IsExpanded(drive); }));
    HTREEITEM folderItem = tree.FindChild(drive, name);
    ASSERT_TRUE(folderItem);

    // With nothing selected, "Delete", pressed by its access key, explains and starts nothing.
    tree.Select(nullptr);
    PressAccessKey(::GetDlgItem(main, IDC_TREE), L'd');
    HWND notice = program.Window(L"Tarnwick", main);
    ASSERT_TRUE(notice);
    EXPECT_EQ(L"Please select an existing drive, folder or file to delete.", MessageBoxText(notice));
    PressButton(notice, IDOK);
    ASSERT_TRUE(WaitForClose(notice));

    tree.Expand(folderItem);
    HTREEITEM fileItem = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (fileItem = tree.FindChild(folderItem, L"victim.txt")) != nullptr; }));
    tree.Select(fileItem);

    // Neither Esc nor Enter closes the window or erases.
    PressKey(::GetDlgItem(main, IDC_TREE), VK_ESCAPE);
    PressKey(::GetDlgItem(main, IDC_TREE), VK_RETURN);
    ::Sleep(300);
    EXPECT_TRUE(::IsWindowVisible(main));
    EXPECT_FALSE(WaitForWindow(L"Tarnwick", 0, 0, main));

    ::SendMessageW(::GetDlgItem(main, IDC_METHOD), CB_SETCURSEL, 3, 0); // "Pseudorandom Data (1 pass)"
    PressButton(main, IDC_DELETE);
    HWND confirm = program.Window(L"Tarnwick", main);
    ASSERT_TRUE(confirm);
    EXPECT_EQ(L"Do you really want to delete " + file + L" ?", MessageBoxText(confirm));
    PressButton(confirm, IDYES);
    HWND progress = program.Window(L"Deleting ...");
    ASSERT_TRUE(progress);
    ASSERT_TRUE(WaitUntil([progress] { return ItemText(progress, IDC_CANCEL_FINISH) == L"Finish"; }));
    PressButton(progress, IDC_CANCEL_FINISH);
    EXPECT_TRUE(WaitUntil([&] { return tree.FindChild(folderItem, L"victim.txt") == nullptr; }));
    EXPECT_TRUE(tree.FindChild(folderItem, L"kept.txt"));
    EXPECT_FALSE(PathExists(file));
    EXPECT_TRUE(PathExists(kept));

    ::PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.HasEnded());
    EXPECT_EQ(3u, StoredMethod());
    RemoveTree(folder);
}

} // namespace
