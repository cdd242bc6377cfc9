// The drop-file list reader on blocks built byte by byte, well-formed and not.

#include "shellext/DropFiles.h"
#include "tests/shellext/DropDataObject.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <cstring>

namespace {

std::wstring FirstPath(const std::vector<unsigned char>& block, const DropFileList& list)
{
    std::wstring path(list.firstLength, L'\0');
    std::memcpy(&path[0], block.data() + list.firstOffset, list.firstLength * sizeof(wchar_t));
    return path;
}

void SetListOffset(std::vector<unsigned char>& block, DWORD offset)
{
    std::memcpy(block.data() + offsetof(DROPFILES, pFiles), &offset, sizeof(offset));
}

}  // namespace

TEST(DropFiles, CountsEveryPathAndLocatesTheFirst)
{
    const auto block = DropFilesBlock({L"C:\\Docs\\a b.txt", L"C:\\Docs\\c.txt", L"C:\\Docs\\d"});
    DropFileList list;
    ASSERT_TRUE(ParseDropFiles(block.data(), block.size(), list));
    EXPECT_EQ(3u, list.count);
    EXPECT_TRUE(list.wide);
    EXPECT_EQ(sizeof(DROPFILES), list.firstOffset);
    EXPECT_EQ(L"C:\\Docs\\a b.txt", FirstPath(block, list));

    const auto narrow = DropFilesBlock({L"C:\\x.txt", L"C:\\y.txt"}, false);
    ASSERT_TRUE(ParseDropFiles(narrow.data(), narrow.size(), list));
    EXPECT_EQ(2u, list.count);
    EXPECT_FALSE(list.wide);
    EXPECT_EQ(8u, list.firstLength);
    EXPECT_EQ(0, std::memcmp(narrow.data() + list.firstOffset, "C:\\x.txt", 9));
}

TEST(DropFiles, EmptyListsAndListsEndingWithTheBlockAreWellFormed)
{
    const auto empty = DropFilesBlock({});
    DropFileList list;
    ASSERT_TRUE(ParseDropFiles(empty.data(), empty.size(), list));
    EXPECT_EQ(0u, list.count);

    // Without the closing empty path, and with nothing at all after the header.
    auto block = DropFilesBlock({L"C:\\a"});
    ASSERT_TRUE(ParseDropFiles(block.data(), block.size() - 2, list));
    EXPECT_EQ(1u, list.count);
    ASSERT_TRUE(ParseDropFiles(block.data(), sizeof(DROPFILES), list));
    EXPECT_EQ(0u, list.count);
}

TEST(DropFiles, WideListAtAnOddOffsetIsReadWhole)
{
    auto block = DropFilesBlock({L"C:\\odd"});
    block.insert(block.begin() + sizeof(DROPFILES), 0x7F);
    SetListOffset(block, sizeof(DROPFILES) + 1);
    DropFileList list;
    ASSERT_TRUE(ParseDropFiles(block.data(), block.size(), list));
    EXPECT_EQ(1u, list.count);
    EXPECT_EQ(sizeof(DROPFILES) + 1, list.firstOffset);
    EXPECT_EQ(6u, list.firstLength);
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
    EXPECT_EQ(0u, list.count);
}
