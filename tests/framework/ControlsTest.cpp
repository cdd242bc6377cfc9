// The control wrappers on real controls of a dialog: where they could lose or mistake data.

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "tests/framework/TestResources.h"
#include "tests/support/Gui.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Binds the controls, runs `check` and ends.
class ControlsDialog : public CDialog {
public:
    explicit ControlsDialog(std::function<void(ControlsDialog&)> check)
        : CDialog(IDD_CONTROLS), m_check(std::move(check))
    {
    }
    CTreeCtrl m_tree;
    CComboBox m_combo;
    CRichEditCtrl m_log;

protected:
    void DoDataExchange(CDataExchange* exchange) override
    {
        DDX_Control(exchange, IDC_TREE, m_tree);
        DDX_Control(exchange, IDC_COMBO, m_combo);
        DDX_Control(exchange, IDC_LOG, m_log);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_check(*this);
        EndDialog(IDOK);
        return TRUE;
    }

private:
    std::function<void(ControlsDialog&)> m_check;
};

void RunChecks(std::function<void(ControlsDialog&)> check)
{
    ASSERT_TRUE(AfxInitRichEdit());
    ControlsDialog dialog(std::move(check));
    EXPECT_EQ(IDOK, dialog.DoModal());
}

TEST(ControlsTest, TreeItemsAreFoundAgainWithTheirFullText)
{
    RunChecks([](ControlsDialog& d) {
        CTreeCtrl& tree = d.m_tree;
        const std::wstring longName(300, L'x'); // longer than the first buffer
        HTREEITEM drive = tree.InsertItem(L"C:\\");
        HTREEITEM folder = tree.InsertItem(L"a", drive);
        HTREEITEM file = tree.InsertItem(longName.c_str(), drive);
        HTREEITEM placeholder = tree.InsertItem(L"*", folder);

        EXPECT_EQ(folder, tree.GetChildItem(drive));
        EXPECT_EQ(file, tree.GetNextSiblingItem(folder));
        EXPECT_EQ(folder, tree.GetParentItem(placeholder));
        EXPECT_EQ(longName, tree.GetItemText(file));
        EXPECT_TRUE(tree.ItemHasChildren(folder));
        EXPECT_FALSE(tree.ItemHasChildren(file));

        EXPECT_TRUE(tree.DeleteItem(placeholder));
        EXPECT_FALSE(tree.ItemHasChildren(folder));
        EXPECT_TRUE(tree.DeleteItem(drive)); // with its subtree
        EXPECT_EQ(nullptr, tree.GetChildItem(TVI_ROOT));
    });
}

COLORREF PixelOfDrawnImage(const CImageList& list, int index, int x, int y)
{
    const std::vector<COLORREF> shown = ImageDrawnOver(list.GetSafeHandle(), index, 16, RGB(0, 255, 0), ILD_TRANSPARENT);
    return shown.empty() ? CLR_INVALID : shown[y * 16 + x];
}

TEST(ControlsTest, ImageListImagesAreTransparentInTheMaskColourOnly)
{
    constexpr COLORREF kWhite = RGB(255, 255, 255);
    constexpr COLORREF kGreen = RGB(0, 255, 0);
    constexpr COLORREF kRed = RGB(255, 0, 0);
    constexpr COLORREF kBlue = RGB(0, 0, 255);

    CImageList list;
    ASSERT_TRUE(list.Create(IDB_IMAGES, 16, 1, kWhite));
    EXPECT_EQ(2, list.GetImageCount());
    UniqueBitmap bitmap(static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_IMAGES), IMAGE_BITMAP, 0, 0, 0)));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(2, list.Add(bitmap.Get(), kWhite));
    EXPECT_EQ(4, list.GetImageCount());

    for (int first : {0, 2}) { // as created, as added
        SCOPED_TRACE(first);
        EXPECT_EQ(kGreen, PixelOfDrawnImage(list, first, 0, 0));
        EXPECT_EQ(kRed, PixelOfDrawnImage(list, first, 8, 8));
        EXPECT_EQ(kGreen, PixelOfDrawnImage(list, first + 1, 8, 0));
        EXPECT_EQ(kBlue, PixelOfDrawnImage(list, first + 1, 8, 8));
    }

    CImageList missing;
    EXPECT_FALSE(missing.Create(9999, 16, 1, kWhite));
    EXPECT_EQ(-1, missing.Add(bitmap.Get(), kWhite));
}

// Not WM_GETTEXT: through an ANSI class that would lose what the test is about.
std::wstring UnicodeText(CRichEditCtrl& log)
{
    std::wstring text(256, L'\0');
    GETTEXTEX how = {};
    how.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    how.codepage = 1200;
    text.resize(static_cast<size_t>(
        log.SendMessage(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

COLORREF ColourAt(CRichEditCtrl& log, long position)
{
    log.SetSel(position, position + 1);
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    log.SendMessage(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return format.crTextColor;
}

void AppendLine(CRichEditCtrl& log, COLORREF colour, const wchar_t* text, bool canUndo)
{
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.crTextColor = colour;
    const long end = log.GetTextLength();
    log.SetSel(end, end);
    EXPECT_TRUE(log.SetSelectionCharFormat(format));
    log.ReplaceSel(text, canUndo);
}

TEST(ControlsTest, RichEditAppendsColouredUnicodeLinesToAnAnsiClassControl)
{
    RunChecks([](ControlsDialog& d) {
        CRichEditCtrl& log = d.m_log;
        EXPECT_TRUE(log.SetReadOnly());
        EXPECT_TRUE(log.GetStyle() & ES_READONLY);

        AppendLine(log, RGB(200, 0, 0), L"Fehler \u00e4\u03a9\n", false);
        EXPECT_FALSE(log.SendMessage(EM_CANUNDO));
        AppendLine(log, RGB(0, 0, 0), L"ok\n", false);
        EXPECT_FALSE(log.SendMessage(EM_CANUNDO));

        EXPECT_EQ(L"Fehler \u00e4\u03a9\rok\r", UnicodeText(log));
        EXPECT_EQ(RGB(200, 0, 0), ColourAt(log, 0));
        EXPECT_EQ(RGB(0, 0, 0), ColourAt(log, 10)); // "ok" after the paragraph mark

        AppendLine(log, RGB(0, 0, 0), L"undoable\n", true);
        EXPECT_TRUE(log.SendMessage(EM_CANUNDO));
    });
}

TEST(ControlsTest, ComboKeepsInsertionPositionsAndAnIndexOutOfRangeSelectsNothing)
{
    RunChecks([](ControlsDialog& d) {
        CComboBox& combo = d.m_combo;
        const wchar_t* names[] = {L"c", L"a", L"b"};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(i, combo.InsertString(i, names[i]));
        wchar_t first[8] = {};
        combo.SendMessage(CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
        EXPECT_STREQ(L"c", first);

        EXPECT_EQ(2, combo.SetCurSel(2));
        EXPECT_EQ(CB_ERR, combo.SetCurSel(9)); // a stored index out of range
        EXPECT_EQ(CB_ERR, combo.GetCurSel());
    });
}

} // namespace
