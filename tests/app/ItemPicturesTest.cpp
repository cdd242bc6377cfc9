// The tree's pictures at other sizes: how pixels are scaled, and what a scaled picture looks
// like when an image list draws it over a background.

#include "app/browser/ItemPictures.h"
#include "tests/app/AppTestResources.h"
#include "tests/support/Gui.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

constexpr uint32_t kRed = 0xFFDC1414;
constexpr uint32_t kBlue = 0xFF1414DC;
constexpr uint32_t kClear = 0;

TEST(ItemPicturesTest, EachPixelIsTheAverageOfTheAreaItCovers)
{
    struct Case {
        const char* what;
        std::vector<uint32_t> pixels;
        int width, height, newWidth, newHeight;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {"same size", {kRed, kClear, kBlue, kRed}, 2, 2, 2, 2, {kRed, kClear, kBlue, kRed}},
        {"twice as large", {kRed, kBlue}, 2, 1, 4, 2, {kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue, kBlue}},
        // The middle pixel is half red, half see-through: premultiplied, both halves count.
        {"one and a half", {kRed, kClear}, 2, 1, 3, 1, {kRed, 0x806E0A0A, kClear}},
        {"half as large", {kRed, kRed, kClear, kClear}, 2, 2, 1, 1, {0x806E0A0A}},
        {"no pixels", {}, 0, 0, 3, 3, {}},
        {"too few pixels", {kRed}, 2, 1, 3, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, ScalePixels(c.pixels, c.width, c.height, c.newWidth, c.newHeight));
    }
}

// The picture drawn by an image list over a background, read back.
std::vector<COLORREF> DrawnOver(HBITMAP picture, int size, COLORREF background)
{
    UniqueImageList list(::ImageList_Create(size, size, ILC_COLOR32, 1, 1));
    if (!list || ::ImageList_Add(list.Get(), picture, nullptr) != 0)
        return {};
    return ImageDrawnOver(list.Get(), 0, size, background, ILD_NORMAL);
}

TEST(ItemPicturesTest, TheTransparentColourShowsTheBackgroundAndEdgesBlendIntoIt)
{
    // The quadrants picture, 5x5, at 7x7 with its grey see-through: the third column of the
    // top row covers a fifth of a red pixel, the rest of it grey.
    constexpr int kSize = 7;
    constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0), kShownRed = RGB(220, 20, 20);
    struct Pixel {
        int x, y;
        COLORREF overWhite, overBlack;
    };
    const Pixel pixels[] = {
        {0, 0, kWhite, kBlack},
        {3, 0, kShownRed, kShownRed},
        {2, 0, RGB(248, 208, 208), RGB(44, 4, 4)},
    };
    const UniqueBitmap picture = LoadScaledPicture(IDB_TEST_QUADRANTS, kSize, RGB(192, 192, 192));
    ASSERT_TRUE(picture);
    const std::vector<COLORREF> overWhite = DrawnOver(picture.Get(), kSize, kWhite);
    const std::vector<COLORREF> overBlack = DrawnOver(picture.Get(), kSize, kBlack);
    ASSERT_EQ(static_cast<size_t>(kSize * kSize), overWhite.size());
    ASSERT_EQ(overWhite.size(), overBlack.size());
    for (const Pixel& pixel : pixels) {
        SCOPED_TRACE(testing::Message() << "pixel " << pixel.x << "," << pixel.y);
        EXPECT_EQ(pixel.overWhite, overWhite[pixel.y * kSize + pixel.x]);
        EXPECT_EQ(pixel.overBlack, overBlack[pixel.y * kSize + pixel.x]);
    }
}

} // namespace
