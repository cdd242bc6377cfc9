// The About box on its own template: it shows the logo every time it is shown, and OK ends it.

#include "app/widgets/AboutBox.h"
#include "framework/WinApp.h"
#include "resources/resource.h"
#include "tests/app/HostDialog.h"
#include "tests/framework/DialogDriver.h"
#include "win32/ScopedHandle.h"
#include "win32/SelectedObject.h"

#include <gtest/gtest.h>

namespace {

COLORREF LogoTopLeft()
{
    UniqueBitmap logo(static_cast<HBITMAP>(
        ::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0, 0)));
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    SelectedObject selected(dc.Get(), logo.Get());
    return ::GetPixel(dc.Get(), 0, 0);
}

TEST(AboutBoxTest, ShowsTheLogoEveryTimeAndEndsWithOk)
{
    const COLORREF expected = LogoTopLeft();
    ASSERT_NE(::GetSysColor(COLOR_BTNFACE), expected);
    CAboutBox about;
    for (int showing = 1; showing <= 2; ++showing) {
        SCOPED_TRACE(showing);
        COLORREF topLeft = CLR_INVALID, bottomRight = CLR_INVALID;
        DialogDriver driver(L"About Tarnwick", [&](HWND dialog) {
            const ClientPixels logo(::GetDlgItem(dialog, IDC_LOGO));
            topLeft = logo.At(0, 0);
            bottomRight = logo.At(logo.Width() - 1, logo.Height() - 1);
            ClickButton(dialog, IDOK);
        });
        EXPECT_EQ(IDOK, about.DoModal());
        EXPECT_TRUE(driver.Join());
        EXPECT_EQ(expected, topLeft);
        EXPECT_NE(::GetSysColor(COLOR_BTNFACE), bottomRight);
        EXPECT_NE(ClientPixels::kUnpainted, bottomRight);
    }
}

} // namespace
