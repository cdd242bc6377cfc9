// Messages a dialog receives from its bound controls reach those controls first, and the
// dialog's answer is the control's.

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "tests/framework/TestResources.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr COLORREF kLinkColour = RGB(200, 0, 0);

class VetoingTree : public CTreeCtrl {
public:
    bool m_veto = true;
    std::vector<UINT> m_codes;

protected:
    bool OnReflectNotify(NMHDR* header, LRESULT* result) override
    {
        m_codes.push_back(header->code);
        if (header->code != TVN_SELCHANGINGW || !m_veto)
            return false;
        *result = TRUE; // the selection stays as it is
        return true;
    }
};

class Link : public CStatic {
public:
    UniqueBrush m_brush{::CreateSolidBrush(RGB(1, 2, 3))};
    int m_clicks = 0;
    int m_colourChanges = 0;

protected:
    HBRUSH OnReflectCtlColor(HDC dc) override
    {
        ::SetTextColor(dc, kLinkColour);
        return m_brush.Get();
    }
    bool OnReflectCommand(UINT code) override
    {
        if (code != STN_CLICKED)
            return false;
        ++m_clicks;
        return true;
    }
    void OnSysColorChange() override
    {
        ++m_colourChanges;
        CStatic::OnSysColorChange();
    }
};

class Picture : public CStatic {
public:
    int m_draws = 0;

protected:
    void DrawItem(DRAWITEMSTRUCT*) override { ++m_draws; }
};

struct Observed {
    HTREEITEM first = nullptr, second = nullptr;
    HTREEITEM selectedAfterVeto = nullptr, selectedAfterConsent = nullptr;
    LRESULT brush = 0;
    COLORREF textColour = 0;
    LRESULT drawAnswer = 0;
    std::vector<UINT> dialogNotifies;
    std::vector<UINT> dialogLinkCodes;
};

class ReflectionDialog : public CDialog {
public:
    ReflectionDialog() : CDialog(IDD_CONTROLS) {}
    VetoingTree m_tree;
    Link m_link;
    Picture m_picture;
    Observed m_seen;

protected:
    void DoDataExchange(CDataExchange* exchange) override
    {
        DDX_Control(exchange, IDC_TREE, m_tree);
        DDX_Control(exchange, IDC_LINK, m_link);
        DDX_Control(exchange, IDC_PICTURE, m_picture);
    }
    bool OnNotify(NMHDR* header, LRESULT* result) override
    {
        if (header->idFrom == IDC_TREE)
            m_seen.dialogNotifies.push_back(header->code);
        return CDialog::OnNotify(header, result);
    }
    bool OnCommand(UINT id, UINT code) override
    {
        if (id == IDC_LINK)
            m_seen.dialogLinkCodes.push_back(code);
        return CDialog::OnCommand(id, code);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        // Sent to the dialog window, these go through the dialog manager as the system's do.
        m_seen.first = m_tree.InsertItem(L"first");
        m_seen.second = m_tree.InsertItem(L"second");
        m_tree.SelectItem(m_seen.first);
        m_seen.selectedAfterVeto = m_tree.GetSelectedItem();
        m_tree.m_veto = false;
        m_tree.SelectItem(m_seen.second);
        m_seen.selectedAfterConsent = m_tree.GetSelectedItem();

        UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
        m_seen.brush = SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                                   reinterpret_cast<LPARAM>(m_link.m_hWnd));
        m_seen.textColour = ::GetTextColor(dc.Get());

        m_link.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, 0);
        m_link.SendMessage(WM_LBUTTONUP, 0, 0);
        SendMessage(WM_COMMAND, MAKEWPARAM(IDC_LINK, STN_DBLCLK), reinterpret_cast<LPARAM>(m_link.m_hWnd));

        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_STATIC;
        item.CtlID = IDC_PICTURE;
        item.itemAction = ODA_DRAWENTIRE;
        item.hwndItem = m_picture;
        item.hDC = dc.Get();
        m_seen.drawAnswer = SendMessage(WM_DRAWITEM, IDC_PICTURE, reinterpret_cast<LPARAM>(&item));

        SendMessage(WM_SYSCOLORCHANGE);
        EndDialog(IDOK);
        return TRUE;
    }
};

bool Contains(const std::vector<UINT>& codes, UINT code)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

TEST(WndTest, BoundControlsReceiveTheirReflectedMessagesAndDecideTheAnswer)
{
    ASSERT_TRUE(AfxInitRichEdit());
    ReflectionDialog dialog;
    ASSERT_EQ(IDOK, dialog.DoModal());
    const Observed& seen = dialog.m_seen;

    // WM_NOTIFY: the tree's veto reached the tree through DWLP_MSGRESULT, and what the tree
    // took never reached the dialog; what it left did.
    EXPECT_EQ(nullptr, seen.selectedAfterVeto);
    EXPECT_EQ(seen.second, seen.selectedAfterConsent);
    EXPECT_TRUE(Contains(dialog.m_tree.m_codes, TVN_SELCHANGINGW));
    EXPECT_TRUE(Contains(seen.dialogNotifies, TVN_SELCHANGEDW));
    EXPECT_EQ(1, std::count(seen.dialogNotifies.begin(), seen.dialogNotifies.end(), TVN_SELCHANGINGW));

    // WM_CTLCOLORSTATIC: the brush itself is the answer.
    EXPECT_EQ(reinterpret_cast<LRESULT>(dialog.m_link.m_brush.Get()), seen.brush);
    EXPECT_EQ(kLinkColour, seen.textColour);

    // WM_COMMAND: the click went to the link only; a code it left reached the dialog.
    EXPECT_EQ(1, dialog.m_link.m_clicks);
    EXPECT_EQ(std::vector<UINT>{STN_DBLCLK}, seen.dialogLinkCodes);

    EXPECT_EQ(1, dialog.m_picture.m_draws);
    EXPECT_EQ(TRUE, seen.drawAnswer);

    // Only top-level windows hear of colour changes; the dialog passes them on.
    EXPECT_EQ(1, dialog.m_link.m_colourChanges);
}

TEST(WndTest, AWindowIsBoundToOneObjectAtATime)
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    {
        CStatic first, second;
        EXPECT_TRUE(first.SubclassWindow(window));
        EXPECT_FALSE(second.SubclassWindow(window));
        EXPECT_EQ(&first, CWnd::FromHandlePermanent(window));
    }
    // The object went first: the window is free again.
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(window));
    CStatic third;
    EXPECT_TRUE(third.SubclassWindow(window));
    ::DestroyWindow(window);
    EXPECT_EQ(nullptr, third.m_hWnd);
}

} // namespace
