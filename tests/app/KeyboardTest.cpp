// The program's windows without a mouse: the order in which Tab visits their controls, and
// the control each access key reaches (a label's key reaches the control after it), no key
// taken twice in a window or its menus.

#include "framework/WinApp.h"
#include "resources/resource.h"
#include "tests/app/HostDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <utility>
#include <vector>

namespace {

int IdOf(HWND control)
{
    return control ? ::GetDlgCtrlID(control) : 0;
}

// The letter after a single "&", lower case; 0 for none.
wchar_t AccessKeyOf(const std::wstring& text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&')
            continue;
        if (text[i + 1] != L'&')
            return static_cast<wchar_t>(::towlower(text[i + 1]));
        ++i;
    }
    return 0;
}

// Every key appears once among the texts.
void ExpectDistinctKeys(const std::vector<std::wstring>& texts)
{
    std::vector<wchar_t> keys;
    for (const std::wstring& text : texts) {
        if (const wchar_t key = AccessKeyOf(text))
            keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    const auto twice = std::adjacent_find(keys.begin(), keys.end());
    EXPECT_TRUE(twice == keys.end()) << "Alt+" << static_cast<char>(twice == keys.end() ? L' ' : *twice)
                                     << " twice in " << ::testing::PrintToString(texts);
}

std::vector<std::wstring> MenuTexts(HMENU menu)
{
    std::vector<std::wstring> texts;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        ::GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
        texts.push_back(text);
    }
    return texts;
}

// A key for the control with the focus, handed to the dialog manager as the modal loop hands
// it over (a character with Alt held for WM_SYSCHAR).
void Press(CDialog& dialog, UINT message, WPARAM key)
{
    MSG pressed = {::GetFocus(), message, key, message == WM_SYSCHAR ? (1 << 29) | 1 : 1, 0, {}};
    EXPECT_TRUE(::IsDialogMessageW(dialog, &pressed));
}

TEST(KeyboardTest, TabVisitsEveryControlInOrderAndDistinctAccessKeysReachTheirControls)
{
    ASSERT_TRUE(AfxInitRichEdit());
    struct Window {
        UINT templateId;
        std::vector<int> tabOrder;
        std::vector<std::pair<wchar_t, int>> accessKeys;
    };
    const Window windows[] = {
        {IDD_VANTREL_DIALOG,
         {IDC_TREE, IDC_METHOD, IDC_VERIFY, IDC_DELETE},
         {{L'r', IDC_METHOD}, {L'v', IDC_VERIFY}, {L'd', IDC_DELETE}}},
        {IDD_METHOD_CHOOSER, {IDC_METHOD, IDC_VERIFY, IDOK, IDCANCEL}, {{L'd', IDC_METHOD}, {L'v', IDC_VERIFY}}},
        // The log as it is while the details are shown.
        {IDD_PROGRESS,
         {IDC_CANCEL_FINISH, IDC_DETAILS, IDC_LOG, IDC_CLOSE_AFTER},
         {{L'd', IDC_DETAILS}, {L'c', IDC_CLOSE_AFTER}}},
        {IDD_UNLOCK_MSG,
         {IDOK, IDCANCEL, IDC_TERMINATE, IDC_FOR_ALL},
         {{L'y', IDOK}, {L'n', IDCANCEL}, {L't', IDC_TERMINATE}, {L'u', IDC_FOR_ALL}}},
        {IDD_ABOUTBOX, {IDOK}, {}},
    };
    for (const Window& window : windows) {
        SCOPED_TRACE(testing::Message() << "dialog " << window.templateId);
        RunInDialog(
            window.templateId, [](CDataExchange*) {},
            [&](CDialog& dialog) {
                // Tab pressed as often as there are stops goes round them and back to the first.
                ::SetFocus(::GetNextDlgTabItem(dialog, nullptr, FALSE));
                std::vector<int> visited;
                for (size_t stop = 0; stop <= window.tabOrder.size(); ++stop) {
                    visited.push_back(IdOf(::GetFocus()));
                    Press(dialog, WM_KEYDOWN, VK_TAB);
                }
                std::vector<int> expected = window.tabOrder;
                expected.push_back(expected.front());
                EXPECT_EQ(expected, visited);

                // No two controls or menus share a key, nor two items of a menu.
                std::vector<std::wstring> texts = MenuTexts(::GetMenu(dialog));
                for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
                    texts.push_back(WindowText(child));
                ExpectDistinctKeys(texts);
                for (int i = 0; i < ::GetMenuItemCount(::GetMenu(dialog)); ++i)
                    ExpectDistinctKeys(MenuTexts(::GetSubMenu(::GetMenu(dialog), i)));

                // From wherever the focus is: the dialog manager looks from there on.
                for (const int start : window.tabOrder) {
                    for (const auto& [letter, id] : window.accessKeys) {
                        SCOPED_TRACE(testing::Message() << "Alt+" << static_cast<char>(letter) << " from " << start);
                        ::SetFocus(::GetDlgItem(dialog, start));
                        // A button's key also presses it, which the host dialog ignores or
                        // takes as its end.
                        Press(dialog, WM_SYSCHAR, letter);
                        EXPECT_EQ(id, IdOf(::GetFocus()));
                    }
                }
            });
    }
}

} // namespace
