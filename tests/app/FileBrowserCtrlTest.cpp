// The file browser tree on the main window's own tree control, over real drives and a real
// temporary folder: the paths it gives for erasing, what it lists, and how expanding,
// collapsing and refreshing after an erase change it. Expansions are made as a user's are
// (keys), because the tree tells of a programmatic one only the first time.

#include "app/browser/FileBrowserCtrl.h"
#include "resources/resource.h"
#include "tests/app/HostDialog.h"
#include "tests/support/Links.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

const std::wstring kLong = L"\\\\?\\";

TEST(FileBrowserPathsTest, TextsJoinBelowADriveWithOneSeparatorAndNoneAtTheEnd)
{
    EXPECT_EQ(L"C:", JoinItemPath({L"C:\\"}));
    EXPECT_EQ(L"C:\\Windows", JoinItemPath({L"C:\\", L"Windows"}));
    EXPECT_EQ(L"C:\\Windows\\System32\\a b.txt", JoinItemPath({L"C:\\", L"Windows", L"System32", L"a b.txt"}));
    EXPECT_EQ(L"", JoinItemPath({}));
}

TEST(FileBrowserPathsTest, OnlyNotFoundMeansGoneAndAFailedQueryIsNoFolder)
{
    EXPECT_EQ(PathKind::Folder, PathKindFromAttributes(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 0));
    EXPECT_EQ(PathKind::File, PathKindFromAttributes(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, 0));
    EXPECT_EQ(PathKind::Missing, PathKindFromAttributes(INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(PathKind::Missing, PathKindFromAttributes(INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND));
    for (const DWORD error : {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_NOT_READY, ERROR_INVALID_NAME}) {
        SCOPED_TRACE(error);
        EXPECT_EQ(PathKind::Unknown, PathKindFromAttributes(INVALID_FILE_ATTRIBUTES, error));
    }
}

struct Images {
    int normal;
    int selected;
    bool operator==(const Images& other) const { return normal == other.normal && selected == other.selected; }
};

Images ImagesOf(const CTreeCtrl& tree, HTREEITEM item)
{
    TVITEMW data = {};
    data.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    data.hItem = item;
    tree.SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return {data.iImage, data.iSelectedImage};
}

constexpr Images kClosedFolder{0, 1}; // as listed: the open picture while selected
constexpr Images kCollapsed{0, 0};
constexpr Images kExpanded{1, 1};
constexpr Images kFile{2, 2};
constexpr Images kDrive{3, 3};

std::vector<HTREEITEM> Children(const CTreeCtrl& tree, HTREEITEM parent)
{
    std::vector<HTREEITEM> children;
    for (HTREEITEM child = tree.GetChildItem(parent); child; child = tree.GetNextSiblingItem(child))
        children.push_back(child);
    return children;
}

std::vector<std::wstring> ChildTexts(const CTreeCtrl& tree, HTREEITEM parent)
{
    std::vector<std::wstring> texts;
    for (HTREEITEM child : Children(tree, parent))
        texts.push_back(tree.GetItemText(child));
    return texts;
}

// Folders come first, each in the file system's order, which the test does not know.
void ExpectListing(const CTreeCtrl& tree, HTREEITEM parent, const std::vector<std::wstring>& folders,
                   const std::vector<std::wstring>& files)
{
    const std::vector<std::wstring> texts = ChildTexts(tree, parent);
    ASSERT_EQ(folders.size() + files.size(), texts.size()) << ::testing::PrintToString(texts);
    const auto firstFile = texts.begin() + static_cast<std::ptrdiff_t>(folders.size());
    EXPECT_TRUE(std::is_permutation(texts.begin(), firstFile, folders.begin())) << ::testing::PrintToString(texts);
    EXPECT_TRUE(std::is_permutation(firstFile, texts.end(), files.begin())) << ::testing::PrintToString(texts);
}

HTREEITEM FindChild(const CTreeCtrl& tree, HTREEITEM parent, const std::wstring& text)
{
    for (HTREEITEM child : Children(tree, parent)) {
        const std::wstring childText = tree.GetItemText(child);
        if (::CompareStringOrdinal(childText.c_str(), -1, text.c_str(), -1, TRUE) == CSTR_EQUAL)
            return child;
    }
    return nullptr;
}

bool IsUnread(const CTreeCtrl& tree, HTREEITEM folder)
{
    return ChildTexts(tree, folder) == std::vector<std::wstring>{L"*"};
}

// The keys act on the selected item.
void UserExpand(CTreeCtrl& tree, HTREEITEM item)
{
    tree.SelectItem(item);
    tree.SendMessage(WM_KEYDOWN, VK_ADD, 0);
}

void UserCollapse(CTreeCtrl& tree, HTREEITEM item)
{
    tree.SelectItem(item);
    tree.SendMessage(WM_KEYDOWN, VK_SUBTRACT, 0);
}

// Opens the tree down to a path below a drive, as a user would, and returns its item.
HTREEITEM Reveal(CTreeCtrl& tree, const std::wstring& path)
{
    HTREEITEM item = FindChild(tree, TVI_ROOT, path.substr(0, 3));
    for (size_t start = 3; item && start < path.size();) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        UserExpand(tree, item);
        item = FindChild(tree, item, path.substr(start, end - start));
        start = end + 1;
    }
    return item;
}

class FileBrowserCtrlTest : public ::testing::Test {
protected:
    TempDir m_temp;

    // The tree as the main window shows it, after InitTree.
    void Browse(const std::function<void(CFileBrowserCtrl&)>& check)
    {
        CFileBrowserCtrl tree;
        RunInDialog(
            IDD_VANTREL_DIALOG, [&](CDataExchange* exchange) { DDX_Control(exchange, IDC_TREE, tree); },
            [&](CDialog&) {
                tree.InitTree();
                check(tree);
            });
    }
};

TEST_F(FileBrowserCtrlTest, DrivesAreRootsWithTheirFirstLevelReadAndKeepTheirPicture)
{
    Browse([&](CFileBrowserCtrl& tree) {
        EXPECT_EQ(TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                  tree.GetStyle() & (TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS));
        EXPECT_TRUE(tree.GetStyle() & WS_TABSTOP); // the template's own
        const auto images = reinterpret_cast<HIMAGELIST>(tree.SendMessage(TVM_GETIMAGELIST));
        EXPECT_EQ(4, ::ImageList_GetImageCount(images));
        // The pictures follow the size of the system's small icons, whatever the DPI.
        int width = 0, height = 0;
        ::ImageList_GetIconSize(images, &width, &height);
        EXPECT_EQ(::GetSystemMetrics(SM_CXSMICON), width);
        EXPECT_EQ(width, height);

        std::vector<std::wstring> drives;
        const DWORD mask = ::GetLogicalDrives();
        for (int letter = 0; letter < 26; ++letter)
            if (mask & (1u << letter))
                drives.push_back(std::wstring(1, static_cast<wchar_t>(L'A' + letter)) + L":\\");
        EXPECT_EQ(drives, ChildTexts(tree, TVI_ROOT));

        // Read from C:\*, not from C:* (the current folder of drive C).
        HTREEITEM c = FindChild(tree, TVI_ROOT, L"C:\\");
        ASSERT_NE(nullptr, c);
        std::vector<std::wstring> folders, files;
        for (const auto& entry : std::filesystem::directory_iterator(L"C:\\"))
            (entry.is_directory() ? folders : files).push_back(entry.path().filename().wstring());
        ExpectListing(tree, c, folders, files);
        EXPECT_TRUE(IsUnread(tree, FindChild(tree, c, L"windows")));
        EXPECT_EQ(kClosedFolder, ImagesOf(tree, FindChild(tree, c, L"windows")));

        UserExpand(tree, c);
        EXPECT_EQ(kDrive, ImagesOf(tree, c));
        EXPECT_EQ(kLong + L"C:\\", tree.GetSelectedPath());
        HTREEITEM windows = FindChild(tree, c, L"windows");
        ASSERT_NE(nullptr, windows);
        tree.SelectItem(windows);
        EXPECT_EQ(kLong + L"C:\\" + tree.GetItemText(windows) + L"\\", tree.GetSelectedPath());
        UserCollapse(tree, c);
        EXPECT_EQ(kDrive, ImagesOf(tree, c));
    });
}

TEST_F(FileBrowserCtrlTest, FilesAndFoldersGiveTheirLongPathsAndNoSelectionGivesNothing)
{
    m_temp.MakeFolder(L"a");
    m_temp.WriteFile(L"a\\b c.txt", "b");
    Browse([&](CFileBrowserCtrl& tree) {
        HTREEITEM file = Reveal(tree, m_temp / L"a\\b c.txt");
        ASSERT_NE(nullptr, file);
        tree.SelectItem(file);
        EXPECT_EQ(kLong + m_temp.Path() + L"\\a\\b c.txt", tree.GetSelectedPath());
        tree.SelectItem(tree.GetParentItem(file));
        EXPECT_EQ(kLong + m_temp.Path() + L"\\a\\", tree.GetSelectedPath());

        // Nothing selected: no target, and nothing read into the tree.
        tree.SelectItem(nullptr);
        ASSERT_EQ(nullptr, tree.GetSelectedItem());
        EXPECT_EQ(L"", tree.GetSelectedPath());
        const std::vector<std::wstring> roots = ChildTexts(tree, TVI_ROOT);
        tree.RefreshSelected();
        EXPECT_EQ(roots, ChildTexts(tree, TVI_ROOT));
    });
}

TEST_F(FileBrowserCtrlTest, ListsAllButDotEntriesFoldersFirstAndAnEmptyFolderLosesItsButtonWhenOpened)
{
    m_temp.MakeFolder(L"empty");
    m_temp.MakeFolder(L"system");
    ::SetFileAttributesW((m_temp / L"system").c_str(), FILE_ATTRIBUTE_SYSTEM);
    m_temp.WriteFile(L"system\\inside.txt", "i");
    m_temp.WriteFile(L"hidden.txt", "h");
    ::SetFileAttributesW((m_temp / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    m_temp.WriteFile(L"plain.txt", "p");
    const bool linked = MakeFolderLink(m_temp / L"link", m_temp / L"system");
    Browse([&](CFileBrowserCtrl& tree) {
        HTREEITEM temp = Reveal(tree, m_temp.Path());
        ASSERT_NE(nullptr, temp);
        UserExpand(tree, temp);
        std::vector<std::wstring> folders{L"empty", L"system"};
        if (linked)
            folders.push_back(L"link");
        ExpectListing(tree, temp, folders, {L"hidden.txt", L"plain.txt"});

        for (const std::wstring& folder : folders) {
            SCOPED_TRACE(folder);
            HTREEITEM item = FindChild(tree, temp, folder);
            // Listed, not followed: a link is read only when it is expanded.
            EXPECT_TRUE(IsUnread(tree, item));
            EXPECT_EQ(kClosedFolder, ImagesOf(tree, item));
        }
        EXPECT_EQ(kFile, ImagesOf(tree, FindChild(tree, temp, L"hidden.txt")));

        // Its button stays until the first expansion shows there is nothing in it.
        HTREEITEM empty = FindChild(tree, temp, L"empty");
        EXPECT_TRUE(tree.ItemHasChildren(empty));
        UserExpand(tree, empty);
        EXPECT_FALSE(tree.ItemHasChildren(empty));
        EXPECT_EQ(nullptr, tree.GetChildItem(empty));
    });
}

TEST_F(FileBrowserCtrlTest, FoldersThatOnlyTheLongFormReachesShowTheirContent)
{
    // Past MAX_PATH (three levels of 100 characters), and a name ending in a dot, which the
    // short form drops. Both made through the long form, which reaches them wherever the tests
    // run.
    const std::wstring top = m_temp / std::wstring(100, L'a');
    const std::wstring middle = top + L"\\" + std::wstring(100, L'b');
    const std::wstring deep = middle + L"\\" + std::wstring(100, L'c');
    const std::wstring dotted = m_temp / L"dot.";
    ASSERT_GT(deep.size(), 300u);
    for (const std::wstring& folder : {top, middle, deep, dotted})
        ASSERT_TRUE(::CreateDirectoryW((kLong + folder).c_str(), nullptr));
    for (const std::wstring& folder : {deep, dotted})
        ASSERT_TRUE(UniqueFile(::CreateFileW((kLong + folder + L"\\inside.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_NEW, 0, nullptr)));
    Browse([&](CFileBrowserCtrl& tree) {
        for (const std::wstring& folder : {deep, dotted}) {
            SCOPED_TRACE(folder);
            HTREEITEM item = Reveal(tree, folder);
            ASSERT_NE(nullptr, item);
            UserExpand(tree, item);
            ExpectListing(tree, item, {}, {L"inside.txt"});
        }
    });
    RemoveTree(kLong + top);
    RemoveTree(kLong + dotted);
}

TEST_F(FileBrowserCtrlTest, CollapseKeepsWhatWasReadAndTheNextExpansionReadsTheFolderAgain)
{
    m_temp.MakeFolder(L"a");
    m_temp.MakeFolder(L"a\\sub");
    m_temp.WriteFile(L"a\\sub\\x.txt", "x");
    m_temp.WriteFile(L"a\\old.txt", "o");
    Browse([&](CFileBrowserCtrl& tree) {
        HTREEITEM a = Reveal(tree, m_temp / L"a");
        ASSERT_NE(nullptr, a);
        UserExpand(tree, a);
        EXPECT_EQ(kExpanded, ImagesOf(tree, a));
        HTREEITEM sub = FindChild(tree, a, L"sub");
        ASSERT_NE(nullptr, sub);
        UserExpand(tree, sub);
        EXPECT_EQ(std::vector<std::wstring>{L"x.txt"}, ChildTexts(tree, sub));

        UserCollapse(tree, a);
        EXPECT_EQ(kCollapsed, ImagesOf(tree, a));
        EXPECT_EQ(sub, FindChild(tree, a, L"sub"));
        ExpectListing(tree, a, {L"sub"}, {L"old.txt"});

        ::DeleteFileW((m_temp / L"a\\old.txt").c_str());
        m_temp.WriteFile(L"a\\new.txt", "n");
        UserExpand(tree, a);
        EXPECT_EQ(kExpanded, ImagesOf(tree, a));
        ExpectListing(tree, a, {L"sub"}, {L"new.txt"});
        EXPECT_TRUE(IsUnread(tree, FindChild(tree, a, L"sub")));
    });
}

TEST_F(FileBrowserCtrlTest, RefreshRemovesErasedItemsAndReadsSurvivingFoldersAgain)
{
    m_temp.WriteFile(L"erased.txt", "e");
    m_temp.WriteFile(L"kept.txt", "k");
    m_temp.MakeFolder(L"part");
    m_temp.WriteFile(L"part\\erased.txt", "e");
    m_temp.WriteFile(L"part\\locked.txt", "l");
    m_temp.MakeFolder(L"whole");
    m_temp.WriteFile(L"whole\\x.txt", "x");
    Browse([&](CFileBrowserCtrl& tree) {
        HTREEITEM temp = Reveal(tree, m_temp.Path());
        ASSERT_NE(nullptr, temp);
        UserExpand(tree, temp);

        // What an erase job leaves: some items gone, a folder with a file it could not erase.
        HTREEITEM part = FindChild(tree, temp, L"part");
        ASSERT_NE(nullptr, part);
        UserExpand(tree, part);
        ::DeleteFileW((m_temp / L"erased.txt").c_str());
        ::DeleteFileW((m_temp / L"part\\erased.txt").c_str());
        RemoveTree(m_temp / L"whole");

        for (const wchar_t* gone : {L"erased.txt", L"whole"}) {
            SCOPED_TRACE(gone);
            tree.SelectItem(FindChild(tree, temp, gone));
            EXPECT_EQ(L"", tree.GetSelectedPath());
            tree.RefreshSelected();
            EXPECT_EQ(nullptr, FindChild(tree, temp, gone));
        }

        HTREEITEM kept = FindChild(tree, temp, L"kept.txt");
        tree.SelectItem(kept);
        tree.RefreshSelected();
        EXPECT_EQ(kept, FindChild(tree, temp, L"kept.txt"));

        tree.SelectItem(part);
        EXPECT_EQ(kLong + m_temp.Path() + L"\\part\\", tree.GetSelectedPath());
        tree.RefreshSelected();
        EXPECT_EQ(part, FindChild(tree, temp, L"part"));
        EXPECT_EQ(std::vector<std::wstring>{L"locked.txt"}, ChildTexts(tree, part));
    });
}

} // namespace
