// Opening a real file for overwriting, against real holders.

#include "engine/overwrite/EraserFileNTFS.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(EraserFileTest, ReadOnlyIsClearedOnlyWhereNoOtherNameKeepsTheContent)
{
    TempDir dir;
    const std::wstring alone = dir.WriteFile(L"alone.txt", "x");
    const std::wstring linked = dir.WriteFile(L"linked.txt", "y");
    ASSERT_TRUE(::CreateHardLinkW((dir / L"other name.txt").c_str(), linked.c_str(), nullptr));
    for (const std::wstring& file : {alone, linked})
        ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    CEraserFileNTFS eraser;
    FileIdentity named;
    ASSERT_TRUE(eraser.ClearReadOnly(linked.c_str(), named, true));
    EXPECT_EQ(2u, named.names);
    ASSERT_TRUE(eraser.ClearReadOnly(alone.c_str(), named, true));
    EXPECT_EQ(1u, named.names);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN), ::GetFileAttributesW(alone.c_str()) & 0x7);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), ::GetFileAttributesW(linked.c_str()) & 0x7);
    EXPECT_EQ(kOpenOk, eraser.Open(alone.c_str(), kOpenAlone));
}

TEST(EraserFileTest, MissingFileFailsWithoutAnOpen)
{
    TempDir dir;
    CEraserFileNTFS eraser;
    EXPECT_EQ(kOpenFailed, eraser.Open((dir / L"missing.txt").c_str(), kOpenBesideHolders));
    ULONGLONG size = 0;
    EXPECT_FALSE(eraser.GetSize(size));
}

TEST(EraserFileTest, OpenBesideHoldersSharesWithTheHandlesThatRemain)
{
    TempDir dir;
    const std::wstring file = dir.WriteFile(L"held.txt", "0123456789");
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(L"sharerw " + Quoted(file)));

    CEraserFileNTFS eraser;
    EXPECT_EQ(kOpenLocked, eraser.Open(file.c_str(), kOpenAlone));
    ASSERT_EQ(kOpenOk, eraser.Open(file.c_str(), kOpenBesideHolders));
    EXPECT_TRUE(holder.HandleIsOpen(holder.Handles()[0]));
    ULONGLONG size = 0;
    ASSERT_TRUE(eraser.GetSize(size));
    EXPECT_EQ(10u, size);
    ASSERT_TRUE(eraser.Seek(-4, nullptr, FILE_END));
    DWORD written = 0;
    ASSERT_TRUE(eraser.Write("ABCD", 4, &written));
    EXPECT_EQ(4u, written);
    eraser.Close();
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    char content[16] = {};
    DWORD read = 0;
    ::ReadFile(h, content, sizeof content, &read, nullptr);
    ::CloseHandle(h);
    EXPECT_EQ(std::string("012345ABCD"), std::string(content, read));
}

} // namespace
