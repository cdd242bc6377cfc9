// The home-page link on the main window's template: its look once bound, its colour in each
// state as the dialog asks for it, and how it follows the pointer with the mouse capture.

#include "app/widgets/MyHyperLink.h"
#include "resources/resource.h"
#include "tests/app/HostDialog.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kNormal = RGB(0, 0, 255);
constexpr COLORREF kHover = RGB(255, 0, 0);
constexpr COLORREF kVisited = RGB(5, 34, 143);

class CountingLink : public CMyHyperLink {
public:
    int m_paints = 0;

protected:
    void OnPaint() override
    {
        ++m_paints;
        CMyHyperLink::OnPaint();
    }
};

struct Colouring {
    COLORREF text;
    int backgroundMode;
    HBRUSH brush;
};

// As the static asks its dialog before it paints.
Colouring AskDialog(CDialog& dialog, const CWnd& link)
{
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    const LRESULT brush = dialog.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                                             reinterpret_cast<LPARAM>(link.m_hWnd));
    return {::GetTextColor(dc.Get()), ::GetBkMode(dc.Get()), reinterpret_cast<HBRUSH>(brush)};
}

void MoveMouse(const CWnd& link, int x, int y)
{
    link.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

void RunWithLink(CountingLink& link, const std::function<void(CDialog&)>& check)
{
    RunInDialog(
        IDD_VANTREL_DIALOG, [&](CDataExchange* exchange) { DDX_Control(exchange, IDC_HOME_PAGE, link); }, check);
}

TEST(MyHyperLinkTest, IsUnderlinedInTheDialogsFontAtEveryDpiReportsClicksAndShowsTheHand)
{
    CountingLink link;
    RunWithLink(link, [&](CDialog& dialog) {
        EXPECT_TRUE(link.GetStyle() & SS_NOTIFY);
        LOGFONTW linkFont = {}, dialogFont = {};
        ASSERT_TRUE(::GetObjectW(link.GetFont(), sizeof(linkFont), &linkFont));
        ASSERT_TRUE(::GetObjectW(dialog.GetFont(), sizeof(dialogFont), &dialogFont));
        EXPECT_TRUE(linkFont.lfUnderline);
        EXPECT_FALSE(dialogFont.lfUnderline); // a copy was underlined, not the dialog's font
        EXPECT_STREQ(dialogFont.lfFaceName, linkFont.lfFaceName);

        // Scaled to another DPI, the dialog hands its controls a larger font.
        dialogFont.lfHeight = dialogFont.lfHeight * 3 / 2;
        CFont larger;
        ASSERT_TRUE(larger.CreateFontIndirect(&dialogFont));
        link.SetFont(larger);
        ASSERT_TRUE(::GetObjectW(link.GetFont(), sizeof(linkFont), &linkFont));
        EXPECT_TRUE(linkFont.lfUnderline);
        EXPECT_EQ(dialogFont.lfHeight, linkFont.lfHeight);

        EXPECT_TRUE(link.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(link.m_hWnd),
                                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
        EXPECT_EQ(::LoadCursorW(nullptr, IDC_HAND), ::GetCursor());
    });
}

TEST(MyHyperLinkTest, ColourIsNormalThenHoverThenVisitedWhichWinsOverHover)
{
    TempDir temp;
    CountingLink link;
    RunWithLink(link, [&](CDialog& dialog) {
        // Nothing on the machine opens it: the click fails quietly, as the shell's failures do.
        link.SetURL(temp / L"missing.morvane-link");

        const Colouring normal = AskDialog(dialog, link);
        EXPECT_EQ(kNormal, normal.text);
        EXPECT_EQ(TRANSPARENT, normal.backgroundMode);
        EXPECT_EQ(::GetStockObject(NULL_BRUSH), normal.brush);

        MoveMouse(link, 2, 2);
        EXPECT_EQ(kHover, AskDialog(dialog, link).text);

        // A real click: the static reports it to the dialog, which hands it back to the link.
        link.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        link.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        EXPECT_EQ(kVisited, AskDialog(dialog, link).text); // still hovering

        MoveMouse(link, -5, -5);
        EXPECT_EQ(kVisited, AskDialog(dialog, link).text);

        // The main window's settings: blue in every state.
        link.SetNormalColour(kNormal);
        link.SetHoverColour(kNormal);
        link.SetVisitedColour(kNormal);
        MoveMouse(link, 2, 2);
        EXPECT_EQ(kNormal, AskDialog(dialog, link).text);
    });
}

TEST(MyHyperLinkTest, CapturesTheMouseOnEnteringAndRedrawsOnlyOnEnteringAndLeaving)
{
    CountingLink link;
    RunWithLink(link, [&](CDialog&) {
        RECT client;
        link.GetClientRect(&client);
        ASSERT_EQ(nullptr, ::GetCapture());
        const int painted = link.m_paints;

        MoveMouse(link, 1, 1);
        EXPECT_EQ(link.m_hWnd, ::GetCapture());
        EXPECT_EQ(painted + 1, link.m_paints);

        MoveMouse(link, client.right - 1, client.bottom - 1);
        EXPECT_EQ(link.m_hWnd, ::GetCapture());
        EXPECT_EQ(painted + 1, link.m_paints);

        // Below and to the right: still mouse coordinates of the link, held by the capture.
        MoveMouse(link, client.right + 3, client.bottom + 3);
        EXPECT_EQ(nullptr, ::GetCapture());
        EXPECT_EQ(painted + 2, link.m_paints);

        MoveMouse(link, 1, 1); // entering again
        EXPECT_EQ(link.m_hWnd, ::GetCapture());
        MoveMouse(link, -1, 0); // left of it: negative coordinates
        EXPECT_EQ(nullptr, ::GetCapture());
    });
}

} // namespace
