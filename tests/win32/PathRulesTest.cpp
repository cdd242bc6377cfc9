// The path rules every layer shares: the long form's prefix, drive letters, volume roots and
// names compared as the file system compares them.

#include "win32/PathRules.h"

#include <gtest/gtest.h>

namespace {

std::string Shown(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TEST(PathRulesTest, TheLongPrefixComesAndGoesAsTheSystemWritesIt)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\d\\f.", L"\\\\?\\C:\\d\\f."},
        {L"C:", L"\\\\?\\C:"},
        {L"\\\\srv\\share\\d", L"\\\\?\\UNC\\srv\\share\\d"},
    };
    for (const auto& [plain, longForm] : cases) {
        EXPECT_EQ(longForm, WithLongPrefix(plain)) << Shown(plain);
        EXPECT_EQ(plain, PlainPath(longForm)) << Shown(plain);
    }
    // A long form stays one; a relative path has none of its own.
    EXPECT_EQ(L"\\\\?\\C:\\d", WithLongPrefix(L"\\\\?\\C:\\d"));
    EXPECT_EQ(L"d\\f", WithLongPrefix(L"d\\f"));
    EXPECT_EQ(L"\\\\srv\\share", PlainPath(L"\\\\?\\unc\\srv\\share"));
}

TEST(PathRulesTest, OnlyADriveLettersRootIsADrive)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"E:", L"E:\\"}, {L"e:\\", L"E:\\"}, {L"E", L""},     {L"E:\\x", L""},  {L"E:/", L""},
        {L"\\\\?\\E:\\", L""}, {L"1:", L""},  {L"\u00E9:", L""}, {L"", L""},
    };
    for (const auto& [drive, root] : cases)
        EXPECT_EQ(root, DriveRootOf(drive)) << Shown(drive);
}

TEST(PathRulesTest, OnlyVolumeRootsAreRoots)
{
    for (const wchar_t* root : {L"\\\\?\\C:\\", L"\\\\?\\C:", L"E:\\", L"\\\\?\\UNC\\srv\\share\\", L"\\\\srv\\share"})
        EXPECT_TRUE(IsVolumeRoot(root)) << Shown(root);
    for (const wchar_t* folder : {L"\\\\?\\C:\\d\\", L"C:\\d", L"\\\\?\\UNC\\srv\\share\\d\\", L"\\\\srv", L"\\\\.\\C:", L""})
        EXPECT_FALSE(IsVolumeRoot(folder)) << Shown(folder);
}

TEST(PathRulesTest, NamesDifferOnlyWhereTheFileSystemTellsThemApart)
{
    EXPECT_TRUE(SameName(L"\\Device\\Mup\\server\\F.txt", L"\\DEVICE\\MUP\\Server\\f.TXT"));
    EXPECT_TRUE(SameName(L"\u00C9t\u00E9", L"\u00E9T\u00C9")); // beyond ASCII too
    EXPECT_FALSE(SameName(L"f.txt", L"f.txt."));
    EXPECT_LT(CompareNames(L"a", L"B"), 0);
    EXPECT_TRUE(StartsWithName(L"C:\\TEMP\\x", L"c:\\temp\\"));
    EXPECT_FALSE(StartsWithName(L"C:\\TE", L"c:\\temp\\"));
}

} // namespace
