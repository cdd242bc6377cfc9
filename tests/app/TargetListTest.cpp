// The hand-over list, as the extension writes it and the program reads it back.

#include "handover/TargetListFile.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::wstring> ParseBytes(const std::string& bytes)
{
    std::vector<std::wstring> paths = {L"stale"};
    if (!ParseTargetList(bytes.data(), bytes.size(), paths))
        return {L"<refused>"};
    return paths;
}

std::vector<std::wstring> Parse(const std::wstring& text, size_t cut = 0)
{
    return ParseBytes(std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t) - cut));
}

TEST(TargetListTest, WhatIsWrittenIsReadBackWhole)
{
    const std::vector<std::wstring> paths = {L"C:\\a b.txt", L"C:\\c. ", L"\\\\srv\\share\\d", L"D:\\\u00e9t\u00e9\\x"};
    EXPECT_EQ(paths, Parse(FormatTargetList(paths)));
    EXPECT_EQ(std::vector<std::wstring>{}, Parse(FormatTargetList({})));
    // Lists written by other hands: bare line feeds and empty lines.
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\x", L"C:\\y"}), Parse(L"C:\\x\n\r\nC:\\y"));
    // Half a character is no UTF-16 text.
    EXPECT_EQ(std::vector<std::wstring>{L"<refused>"}, Parse(L"C:\\x", 1));
    // Lists made by hand or by scripts, in UTF-8 with or without its mark; bytes of another code
    // page are refused, not read as some other path.
    for (const char* utf8 : {"C:\\\xC3\xA9t\xC3\xA9\r\nC:\\y\n", "\xEF\xBB\xBF" "C:\\\xC3\xA9t\xC3\xA9\nC:\\y"})
        EXPECT_EQ((std::vector<std::wstring>{L"C:\\\u00e9t\u00e9", L"C:\\y"}), ParseBytes(utf8));
    EXPECT_EQ(std::vector<std::wstring>{L"<refused>"}, ParseBytes("C:\\\xE9t\xE9"));
    // Only the names GetTempFileNameW gives the extension's lists.
    const std::wstring prefix = kTargetListPrefix;
    for (const std::wstring& name : {prefix + L"1A2F.TMP", prefix + L"b.tmp"})
        EXPECT_TRUE(IsTargetListName(name));
    for (const std::wstring& name : {prefix + L".tmp", prefix + L"notes.tmp", prefix + L"12345.tmp", L"x" + prefix + L"1.tmp",
                                     prefix + L"1.txt"})
        EXPECT_FALSE(IsTargetListName(name));
}

} // namespace
