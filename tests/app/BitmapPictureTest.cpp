// The picture control on the main window's banner and link statics: what it paints with and
// without a bitmap, how its picture follows the system colours, and its text.

#include "app/widgets/BitmapPicture.h"
#include "resources/resource.h"
#include "tests/app/AppTestResources.h"
#include "tests/app/HostDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Every pixel is of one of the colours, and the four corners are the four given (top left,
// top right, bottom left, bottom right).
void ExpectFilledWith(const ClientPixels& shown, const std::vector<COLORREF>& corners)
{
    ASSERT_GT(shown.Width(), 0);
    const int right = shown.Width() - 1, bottom = shown.Height() - 1;
    EXPECT_EQ(corners[0], shown.At(0, 0));
    EXPECT_EQ(corners[1], shown.At(right, 0));
    EXPECT_EQ(corners[2], shown.At(0, bottom));
    EXPECT_EQ(corners[3], shown.At(right, bottom));
    int strays = 0;
    for (int y = 0; y <= bottom; ++y)
        for (int x = 0; x <= right; ++x)
            strays += std::find(corners.begin(), corners.end(), shown.At(x, y)) == corners.end();
    EXPECT_EQ(0, strays);
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

TEST(BitmapPictureTest, PaintsButtonFaceUntilABitmapLoadsThenTheWholeBitmapStretched)
{
    CBitmapPicture banner;
    RunInDialog(
        IDD_VANTREL_DIALOG, [&](CDataExchange* exchange) { DDX_Control(exchange, IDC_BANNER, banner); },
        [&](CDialog&) {
            SCOPED_TRACE("no bitmap");
            ExpectFilledWith(ClientPixels(banner), {Face(), Face(), Face(), Face()});
            EXPECT_FALSE(banner.SetBitmapResource(9999));
            ExpectFilledWith(ClientPixels(banner), {Face(), Face(), Face(), Face()});

            // The bottom-right corner is blue, not the black of the last row and column.
            ASSERT_TRUE(banner.SetBitmapResource(IDB_TEST_QUADRANTS));
            ExpectFilledWith(ClientPixels(banner), {Face(), kRed, kGreen, kBlue});

            SCOPED_TRACE("a failed load keeps the picture");
            EXPECT_FALSE(banner.SetBitmapResource(L"NO_SUCH_PICTURE"));
            ExpectFilledWith(ClientPixels(banner), {Face(), kRed, kGreen, kBlue});
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
                ExpectFilledWith(ClientPixels(*picture), {kNewFace, kRed, kGreen, kBlue});
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
