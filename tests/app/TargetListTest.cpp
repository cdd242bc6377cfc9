// The list of targets handed over by the Explorer extension, read back.

#include "app/TargetList.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::wstring> Parse(const std::wstring& text, size_t cut = 0)
{
    std::vector<std::wstring> paths = {L"stale"};
    if (!ParseTargetList(text.data(), text.size() * sizeof(wchar_t) - cut, paths))
        return {L"<refused>"};
    return paths;
}

TEST(TargetListTest, OnePathPerLineWhateverTheLineEnds)
{
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\a b.txt", L"C:\\c. ", L"\\\\srv\\share\\d"}),
              Parse(L"\uFEFFC:\\a b.txt\r\nC:\\c. \n\r\n\\\\srv\\share\\d"));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\x"}), Parse(L"C:\\x\r\n"));
    EXPECT_EQ(std::vector<std::wstring>{}, Parse(L"\uFEFF"));
    // Half a character is no UTF-16 text.
    EXPECT_EQ(std::vector<std::wstring>{L"<refused>"}, Parse(L"C:\\x", 1));
}

} // namespace
