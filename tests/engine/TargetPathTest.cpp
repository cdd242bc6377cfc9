// How a named path becomes the one exact target, and which names are no target at all.

#include "engine/TargetPath.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

// The current directory is C:\cur\dir; drive D: was last in D:\other.
std::wstring Base(const std::wstring& prefix)
{
    if (prefix == L".")
        return L"C:\\cur\\dir";
    if (prefix == L"\\")
        return L"C:\\";
    if (prefix == L"D:" || prefix == L"d:")
        return L"D:\\other\\";
    return prefix + L"\\";
}

struct Case {
    const wchar_t* named;
    const wchar_t* longPath; // null: refused
};

const Case kCases[] = {
    // Names are kept exactly: Win32 would drop the dot and the space.
    {L"C:\\d\\foo.", L"\\\\?\\C:\\d\\foo."},
    {L"C:\\d\\foo ", L"\\\\?\\C:\\d\\foo "},
    {L"c:/d//f.txt", L"\\\\?\\C:\\d\\f.txt"},
    {L"f.txt", L"\\\\?\\C:\\cur\\dir\\f.txt"},
    {L"..\\up.", L"\\\\?\\C:\\cur\\up."},
    {L"D:f.txt", L"\\\\?\\D:\\other\\f.txt"},
    {L"d:", L"\\\\?\\D:\\other"},
    {L"\\top\\f", L"\\\\?\\C:\\top\\f"},
    {L"C:\\d\\sub\\.\\..\\f.txt", L"\\\\?\\C:\\d\\f.txt"},
    {L"C:\\..\\..\\x", L"\\\\?\\C:\\x"},
    {L"C:\\", L"\\\\?\\C:\\"},
    {L"\\\\srv\\share\\a\\..\\..\\b", L"\\\\?\\UNC\\srv\\share\\b"},
    {L"//srv/share", L"\\\\?\\UNC\\srv\\share\\"},
    {L"\\\\?\\C:\\d\\foo.", L"\\\\?\\C:\\d\\foo."},
    {L"\\\\?\\unc\\srv\\share\\x ", L"\\\\?\\UNC\\srv\\share\\x "},
    {L"C:\\d\\con\\x.txt", L"\\\\?\\C:\\d\\con\\x.txt"}, // a device name inside a path names a folder
    // Devices, the system's namespace, streams, wildcards and what names nothing.
    {L"\\\\.\\C:", nullptr},
    {L"//./C:/x", nullptr},
    {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\x", nullptr},
    {L"\\\\?\\Volume{12345678-0000-0000-0000-000000000000}\\x", nullptr},
    {L"\\\\?\\unix\\tmp", nullptr},
    {L"\\??\\C:\\x", nullptr},
    {L"CON", nullptr},
    {L"C:\\d\\nul.txt", nullptr},
    {L"C:\\d\\Com1", nullptr},
    {L"lpt9 .log", nullptr},
    {L"C:\\d\\CONOUT$", nullptr},
    {L"\\\\?\\C:\\d\\aux", nullptr},
    {L"C:\\d\\f.txt:secret", nullptr},
    {L"C:\\d\\*.txt", nullptr},
    {L"C:\\d\\a?c", nullptr},
    {L"\\\\srv", nullptr},
    {L"\\\\srv\\", nullptr},
    {L"", nullptr},
};

TEST(TargetPathTest, NamedPathsBecomeOneExactLongForm)
{
    for (const Case& c : kCases) {
        std::wstring longPath = L"untouched";
        const bool made = LongTargetPath(c.named, Base, longPath);
        const std::string shown(c.named, c.named + std::wcslen(c.named));
        EXPECT_EQ(c.longPath != nullptr, made) << shown;
        if (c.longPath && made) {
            EXPECT_EQ(c.longPath, longPath) << shown;
        }
    }
    // Long paths have no length limit of their own.
    const std::wstring deep = L"C:\\" + std::wstring(150, L'a') + L"\\" + std::wstring(150, L'b') + L"\\f.txt";
    std::wstring longPath;
    ASSERT_TRUE(LongTargetPath(deep, Base, longPath));
    EXPECT_EQ(L"\\\\?\\" + deep, longPath);
}

} // namespace
