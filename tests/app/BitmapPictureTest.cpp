// The picture control on the main window's banner and link statics: what it paints with and
// without a bitmap, how its picture follows the system colours, and its text.

#include "app/widgets/BitmapPicture.h"
#include "resources/resource.h"
#include "tests/app/AppTestResources.h"
#include "tests/app/HostDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// The quadrants of the test picture; its grey one is shown in the button-face colour.
constexpr COLORREF kRed = RGB(220, 20, 20);
constexpr COLORREF kGreen = RGB(20, 160, 20);
constexpr COLORREF kBlue = RGB(20, 20, 220);
const wchar_t kPictureName[] = L"QUADRANTS";

COLORREF Face()
{
    return ::GetSysColor(COLOR_BTNFACE);
}

// The control shows four quarters in the given colours (top left, top right, bottom left,
// bottom right): the outer half of each quarter, corners included, in its colour alone; towards
// the middle lines the colours may blend, as a smooth stretch makes them. Returns how many
// pixels are blends.
int ExpectQuarters(const ClientPixels& shown, const std::vector<COLORREF>& colours)
{
    const int width = shown.Width(), height = shown.Height();
    EXPECT_GT(width, 0);
    int blends = 0, wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF pixel = shown.At(x, y);
            if (pixel == colours[(2 * y >= height) * 2 + (2 * x >= width)])
                continue;
            const bool nearMiddle = std::abs(2 * x + 1 - width) < width / 2 || std::abs(2 * y + 1 - height) < height / 2;
            (nearMiddle && pixel != ClientPixels::kUnpainted ? blends : wrong)++;
        }
    }
    EXPECT_EQ(0, wrong);
    return blends;
}

// Changes the button-face colour for the whole desktop, and puts it back.
class FaceColourChange {
public:
    explicit FaceColourChange(COLORREF colour) : m_saved(Face()) { Set(colour); }
    ~FaceColourChange() { Set(m_saved); }

private:
    static void Set(COLORREF colour)
    {
        const INT element = COLOR_BTNFACE;
        ::SetSysColors(1, &element, &colour);
    }
    COLORREF m_saved;
};

TEST(BitmapPictureTest, PaintsButtonFaceUntilABitmapLoadsThenTheWholeBitmapStretchedSmoothly)
{
    CBitmapPicture banner;
    RunInDialog(
        IDD_VANTREL_DIALOG, [&](CDataExchange* exchange) { DDX_Control(exchange, IDC_BANNER, banner); },
        [&](CDialog&) {
            SCOPED_TRACE("no bitmap");
            EXPECT_EQ(0, ExpectQuarters(ClientPixels(banner), {Face(), Face(), Face(), Face()}));
            EXPECT_FALSE(banner.SetBitmapResource(9999));
            EXPECT_EQ(0, ExpectQuarters(ClientPixels(banner), {Face(), Face(), Face(), Face()}));

            // The bottom-right corner is blue, not the black of the last row and column; the
            // pixels are averaged, not doubled, so the quarters blend where they meet.
            ASSERT_TRUE(banner.SetBitmapResource(IDB_TEST_QUADRANTS));
            EXPECT_GT(ExpectQuarters(ClientPixels(banner), {Face(), kRed, kGreen, kBlue}), 0);

            SCOPED_TRACE("a failed load keeps the picture");
            EXPECT_FALSE(banner.SetBitmapResource(L"NO_SUCH_PICTURE"));
            ExpectQuarters(ClientPixels(banner), {Face(), kRed, kGreen, kBlue});
        });
}

TEST(BitmapPictureTest, GreysFollowAChangeOfSystemColoursLoadedByIdOrByName)
{
    constexpr COLORREF kNewFace = RGB(10, 200, 30);
    CBitmapPicture byId, byName;
    RunInDialog(
        IDD_VANTREL_DIALOG,
        [&](CDataExchange* exchange) {
            DDX_Control(exchange, IDC_BANNER, byId);
            DDX_Control(exchange, IDC_HOME_PAGE, byName);
        },
        [&](CDialog& dialog) {
            ASSERT_TRUE(byId.SetBitmapResource(IDB_TEST_QUADRANTS));
            ASSERT_TRUE(byName.SetBitmapResource(kPictureName));
            byName.SetWindowText(L""); // the link's text would be drawn over the picture
            ASSERT_NE(kNewFace, Face());
            FaceColourChange change(kNewFace);
            // As the system tells top-level windows; the dialog passes it on.
            dialog.SendMessage(WM_SYSCOLORCHANGE);
            for (CBitmapPicture* picture : {&byId, &byName}) {
                SCOPED_TRACE(picture == &byId ? "by id" : "by name");
                ExpectQuarters(ClientPixels(*picture), {kNewFace, kRed, kGreen, kBlue});
            }
        });
}

TEST(BitmapPictureTest, TextIsDrawnInTheAlignmentOfTheStaticItReplaced)
{
    constexpr int kWidth = 240, kHeight = 24;
    constexpr INT_PTR kId = 2000; // with id 0 its owner-draw message would look like a menu's
    CBitmapPicture label;
    RunInDialog(
        IDD_VANTREL_DIALOG, [](CDataExchange*) {},
        [&](CDialog& dialog) {
            HWND control = ::CreateWindowExW(0, L"STATIC", L"Wm", WS_CHILD | WS_VISIBLE | SS_RIGHT, 0, 0, kWidth,
                                             kHeight, dialog, reinterpret_cast<HMENU>(kId), nullptr, nullptr);
            ASSERT_NE(nullptr, control);
            ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(dialog.GetFont()), FALSE);
            ASSERT_TRUE(label.SubclassWindow(control));
            EXPECT_EQ(SS_OWNERDRAW, label.GetStyle() & SS_TYPEMASK);

            const ClientPixels shown(label);
            int inked = 0, leftOfRightQuarter = 0;
            for (int y = 0; y < shown.Height(); ++y) {
                for (int x = 0; x < shown.Width(); ++x) {
                    if (shown.At(x, y) == Face())
                        continue;
                    ++inked;
                    leftOfRightQuarter += x < kWidth * 3 / 4;
                }
            }
            EXPECT_GT(inked, 0);
            EXPECT_EQ(0, leftOfRightQuarter);
        });
}

} // namespace
