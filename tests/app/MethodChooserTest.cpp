// The method chooser against the settings stored in the registry, driven like a user.

#include "app/MethodChooser.h"
#include "engine/overwrite/EraseMethod.h"
#include "framework/WinApp.h"
#include "progress/Settings.h"
#include "resources/resource.h"
#include "tests/support/Gui.h"
#include "tests/support/RegistryState.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

CWinApp g_app;

const wchar_t kSettingsKey[] = L"Software\\Kestrium\\app_tests\\settings";

class MethodChooserTest : public ::testing::Test {
protected:
    MethodChooserTest()
    {
        g_app.SetRegistryKey(L"Kestrium");
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    }
    ~MethodChooserTest() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }

    // Runs the chooser while `user` acts on it from another thread.
    INT_PTR Run(CMethodChooser& chooser, const std::function<void(HWND)>& user)
    {
        std::thread driver([&] {
            HWND dialog = WaitForWindow(L"Choose delete method", ::GetCurrentProcessId());
            if (!dialog)
                return;
            m_shownSelection = static_cast<int>(::SendMessageW(::GetDlgItem(dialog, IDC_METHOD), CB_GETCURSEL, 0, 0));
            user(dialog);
            if (!WaitForClose(dialog, 5000))
                PressButton(dialog, IDCANCEL);
        });
        const INT_PTR result = chooser.DoModal();
        driver.join();
        return result;
    }

    static void Store(DWORD value) { WriteDword(HKEY_CURRENT_USER, kSettingsKey, kFileMethodEntry, value); }
    // 99 where nothing is stored.
    static DWORD Stored() { return ReadDword(HKEY_CURRENT_USER, kSettingsKey, kFileMethodEntry).value_or(99); }

    int m_shownSelection = -2;
};

TEST_F(MethodChooserTest, FirstRunOffersGutmannInListOrder)
{
    CMethodChooser chooser;
    std::vector<std::wstring> entries;
    EXPECT_EQ(IDOK, Run(chooser, [&](HWND dialog) {
                  HWND list = ::GetDlgItem(dialog, IDC_METHOD);
                  const int count = static_cast<int>(::SendMessageW(list, CB_GETCOUNT, 0, 0));
                  for (int i = 0; i < count; ++i) {
                      wchar_t text[128] = {};
                      ::SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                      entries.push_back(text);
                  }
                  PressButton(dialog, IDOK);
              }));
    EXPECT_EQ(0, m_shownSelection);
    ASSERT_EQ(static_cast<size_t>(kEraseMethodCount), entries.size());
    for (int i = 0; i < kEraseMethodCount; ++i)
        EXPECT_EQ(kEraseMethods[i].name, entries[i]); // inserted by position, never sorted
    EXPECT_EQ(1, chooser.m_nMethod);
    EXPECT_EQ(0u, Stored());
}

TEST_F(MethodChooserTest, ChosenMethodIsStoredAsItsIndexAndOfferedNextTime)
{
    CMethodChooser first;
    EXPECT_EQ(IDOK, Run(first, [](HWND dialog) {
                  ::SendMessageW(::GetDlgItem(dialog, IDC_METHOD), CB_SETCURSEL, 5, 0);
                  PressKey(::GetDlgItem(dialog, IDC_METHOD), VK_RETURN); // Enter presses OK
              }));
    EXPECT_EQ(6, first.m_nMethod);
    EXPECT_EQ(5u, Stored());

    CMethodChooser second;
    Run(second, [](HWND dialog) { PressButton(dialog, IDCANCEL); });
    EXPECT_EQ(5, m_shownSelection);
}

TEST_F(MethodChooserTest, OpensWithTheListFocusedSoDownAndEnterChooseTheNextMethod)
{
    Store(2);
    CMethodChooser chooser;
    EXPECT_EQ(IDOK, Run(chooser, [](HWND dialog) {
                  HWND focus = FocusOf(dialog);
                  ASSERT_EQ(::GetDlgItem(dialog, IDC_METHOD), focus);
                  PressKey(focus, VK_DOWN);
                  PressKey(focus, VK_RETURN);
              }));
    EXPECT_EQ(4, chooser.m_nMethod);
}

TEST_F(MethodChooserTest, StoredIndexOutsideTheListShowsNoneAndStoresMinusOne)
{
    Store(9);
    CMethodChooser chooser;
    EXPECT_EQ(IDOK, Run(chooser, [](HWND dialog) { PressButton(dialog, IDOK); }));
    EXPECT_EQ(-1, m_shownSelection);
    EXPECT_EQ(1, chooser.m_nMethod);
    EXPECT_EQ(0xFFFFFFFFu, Stored());
}

TEST_F(MethodChooserTest, CancelEscAndTheCloseBoxStoreNothing)
{
    Store(2);
    const std::function<void(HWND)> ways[] = {
        [](HWND dialog) { PressButton(dialog, IDCANCEL); },
        [](HWND dialog) { PressKey(::GetDlgItem(dialog, IDC_METHOD), VK_ESCAPE); },
        [](HWND dialog) { ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (const auto& way : ways) {
        CMethodChooser chooser;
        EXPECT_EQ(IDCANCEL, Run(chooser, [&](HWND dialog) {
                      ::SendMessageW(::GetDlgItem(dialog, IDC_METHOD), CB_SETCURSEL, 4, 0);
                      way(dialog);
                  }));
        EXPECT_EQ(2u, Stored());
    }
}

TEST(EraseMethodIdFromIndexTest, ValidIndicesAreOneLessThanTheirIdsEverythingElseIsGutmann)
{
    const int ids[] = {1, 1, 2, 3, 4, 5, 6, 1, 1};
    for (int index = -1; index <= 7; ++index)
        EXPECT_EQ(ids[index + 1], EraseMethodIdFromIndex(index)) << "index " << index;
}

} // namespace
