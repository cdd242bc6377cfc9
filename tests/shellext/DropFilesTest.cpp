// The drop-file list reader on blocks built byte by byte, well-formed and not.

#include "shellext/DropFiles.h"
#include "tests/shellext/DropDataObject.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <cstring>

namespace {

std::wstring PathAt(const std::vector<unsigned char>& block, const DropPath& at)
{
    std::wstring path(at.length, L'\0');
    std::memcpy(&path[0], block.data() + at.offset, at.length * sizeof(wchar_t));
    return path;
}

void SetListOffset(std::vector<unsigned char>& block, DWORD offset)
{
    std::memcpy(block.data() + offsetof(DROPFILES, pFiles), &offset, sizeof(offset));
}

}  // namespace

TEST(DropFiles, LocatesEveryPathInOrder)
{
    const std::vector<std::wstring> paths = {L"C:\\Docs\\a b.txt", L"C:\\Docs\\c.txt", L"C:\\Docs\\d"};
    const auto block = DropFilesBlock(paths);
    DropFileList list;
    ASSERT_TRUE(ParseDropFiles(block.data(), block.size(), list));
    ASSERT_EQ(3u, list.paths.size());
    EXPECT_TRUE(list.wide);
    EXPECT_EQ(sizeof(DROPFILES), list.paths[0].offset);
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(paths[i], PathAt(block, list.paths[i]));

    const auto narrow = DropFilesBlock({L"C:\\x.txt", L"C:\\y.txt"}, false);
    ASSERT_TRUE(ParseDropFiles(narrow.data(), narrow.size(), list));
    ASSERT_EQ(2u, list.paths.size());
    EXPECT_FALSE(list.wide);
    EXPECT_EQ(8u, list.paths[1].length);
    EXPECT_EQ(0, std::memcmp(narrow.data() + list.paths[1].offset, "C:\\y.txt", 9));
}

TEST(DropFiles, EmptyListsAndListsEndingWithTheBlockAreWellFormed)
{
    const auto empty = DropFilesBlock({});
    DropFileList list;
    ASSERT_TRUE(ParseDropFiles(empty.data(), empty.size(), list));
    EXPECT_TRUE(list.paths.empty());

    // Without the closing empty path, and with nothing at all after the header.
    auto block = DropFilesBlock({L"C:\\a"});
    ASSERT_TRUE(ParseDropFiles(block.data(), block.size() - 2, list));
    EXPECT_EQ(1u, list.paths.size());
    ASSERT_TRUE(ParseDropFiles(block.data(), sizeof(DROPFILES), list));
    EXPECT_TRUE(list.paths.empty());
}

TEST(DropFiles, WideListAtAnOddOffsetIsReadWhole)
{
    auto block = DropFilesBlock({L"C:\\odd"});
    block.insert(block.begin() + sizeof(DROPFILES), 0x7F);
    SetListOffset(block, sizeof(DROPFILES) + 1);
    DropFileList list;
    ASSERT_TRUE(ParseDropFiles(block.data(), block.size(), list));
    ASSERT_EQ(1u, list.paths.size());
    EXPECT_EQ(sizeof(DROPFILES) + 1, list.paths[0].offset);
    EXPECT_EQ(6u, list.paths[0].length);
}

TEST(DropFiles, NothingIsReadOutsideTheBlock)
{
    auto block = DropFilesBlock({L"C:\\first", L"C:\\second"});
    DropFileList list;
    // A path cut off by the end of the block, in the first or a later place; half a wide NUL.
    EXPECT_FALSE(ParseDropFiles(block.data(), sizeof(DROPFILES) + 8, list));
    EXPECT_FALSE(ParseDropFiles(block.data(), block.size() - 6, list));
    EXPECT_FALSE(ParseDropFiles(block.data(), block.size() - 3, list));
    // A header that does not fit, a list offset past the end or into the header.
    EXPECT_FALSE(ParseDropFiles(block.data(), sizeof(DROPFILES) - 1, list));
    EXPECT_FALSE(ParseDropFiles(nullptr, block.size(), list));
    SetListOffset(block, static_cast<DWORD>(block.size() + 1));
    EXPECT_FALSE(ParseDropFiles(block.data(), block.size(), list));
    SetListOffset(block, sizeof(DROPFILES) - 4);
    EXPECT_FALSE(ParseDropFiles(block.data(), block.size(), list));
    EXPECT_TRUE(list.paths.empty());
}
