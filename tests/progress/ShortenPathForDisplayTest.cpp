#include "progress/ShortenPathForDisplay.h"

#include <gtest/gtest.h>

namespace {

TEST(ShortenPathForDisplayTest, PrefixAndFinalSeparatorAreDropped)
{
    EXPECT_EQ(L"C:\\Data\\old", ShortenPathForDisplay(0, L"\\\\?\\C:\\Data\\old\\"));
    EXPECT_EQ(L"C:\\Data", ShortenPathForDisplay(260, L"C:\\Data\\\\\\"));
    // A drive root of three characters stays as it is; longer roots lose the separator.
    EXPECT_EQ(L"C:\\", ShortenPathForDisplay(0, L"C:\\"));
    EXPECT_EQ(L"C:", ShortenPathForDisplay(0, L"\\\\?\\C:\\"));
    EXPECT_EQ(L"", ShortenPathForDisplay(0, L""));
    EXPECT_EQ(L"", ShortenPathForDisplay(30, L"\\\\?\\\\"));
    // A network path stays one.
    EXPECT_EQ(L"\\\\srv\\share\\old", ShortenPathForDisplay(0, L"\\\\?\\UNC\\srv\\share\\old\\"));
    EXPECT_EQ(L"\\\\srv\\...\\old", ShortenPathForDisplay(13, L"\\\\?\\UNC\\srv\\share\\old"));
}

TEST(ShortenPathForDisplayTest, LongPathsKeepTheirRootAndTheirEnd)
{
    const std::wstring path = L"C:\\Users\\someone\\Documents\\a.txt"; // 32 characters
    EXPECT_EQ(path, ShortenPathForDisplay(60, path));
    EXPECT_EQ(path, ShortenPathForDisplay(33, path));
    const std::wstring shortened = ShortenPathForDisplay(30, path);
    EXPECT_EQ(L"C:\\...\\someone\\Documents\\a.txt", shortened);
    EXPECT_EQ(30u, shortened.size());

    const std::wstring deep = L"\\\\?\\C:\\" + std::wstring(300, L'x') + L"\\file.txt\\";
    const std::wstring shown = ShortenPathForDisplay(260, deep);
    EXPECT_EQ(260u, shown.size());
    EXPECT_EQ(L"C:\\...", shown.substr(0, 6));
    EXPECT_EQ(L"x\\file.txt", shown.substr(shown.size() - 10));
}

TEST(ShortenPathForDisplayTest, TextWithoutSeparatorKeepsOnlyItsEnd)
{
    EXPECT_EQ(L"...6789", ShortenPathForDisplay(7, L"0123456789"));
    // No room for a tail: only the root and the dots are left.
    EXPECT_EQ(L"C:\\...", ShortenPathForDisplay(6, L"C:\\abcdefgh"));
    EXPECT_EQ(L"C:\\...", ShortenPathForDisplay(4, L"C:\\abcdefgh"));
}

} // namespace
