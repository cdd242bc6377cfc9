// Which of several named items are erased on their own, and what must never be erased.

#include "app/EraseConfirmation.h"

#include <gtest/gtest.h>

namespace {

TEST(EraseConfirmationTest, ItemsInsideAnotherOrNamedTwiceAreErasedOnce)
{
    const std::vector<std::wstring> named = {
        L"\\\\?\\C:\\d\\a.txt",      L"\\\\?\\C:\\d\\",        L"\\\\?\\C:\\d2\\b.txt", L"\\\\?\\C:\\D2\\B.TXT",
        L"\\\\?\\C:\\d\\sub\\",      L"\\\\?\\C:\\dd\\c.txt",
    };
    EXPECT_EQ((std::vector<std::wstring>{L"\\\\?\\C:\\d\\", L"\\\\?\\C:\\d2\\b.txt", L"\\\\?\\C:\\dd\\c.txt"}),
              WithoutNestedTargets(named));
}

TEST(EraseConfirmationTest, WhatHoldsTheRunningWindowsIsRefused)
{
    wchar_t windows[MAX_PATH];
    const std::wstring folder(windows, ::GetSystemWindowsDirectoryW(windows, MAX_PATH));
    const std::wstring drive = L"\\\\?\\" + folder.substr(0, 3);
    for (const std::wstring& holder : {drive, L"\\\\?\\" + folder + L"\\"})
        EXPECT_TRUE(HoldsRunningWindows(holder));
    for (const std::wstring& other : {L"\\\\?\\" + folder + L"\\Temp\\", L"\\\\?\\" + folder + L"x\\", drive + L"other\\"})
        EXPECT_FALSE(HoldsRunningWindows(other));
}

} // namespace
