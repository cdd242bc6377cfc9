#include "tests/app/HostDialog.h"

#include "tests/support/Gui.h"
#include "win32/BitmapInfo.h"
#include "win32/ScopedHandle.h"
#include "win32/SelectedObject.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT kRunCheck = WM_APP + 1;

class HostDialog : public CDialog {
public:
    HostDialog(UINT templateId, const std::function<void(CDataExchange*)>& bind,
               const std::function<void(CDialog&)>& check)
        : CDialog(templateId), m_bind(bind), m_check(check)
    {
    }

protected:
    void DoDataExchange(CDataExchange* exchange) override { m_bind(exchange); }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        // Handled by the modal loop, after the dialog has been shown.
        PostMessage(kRunCheck);
        return TRUE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != kRunCheck)
            return CDialog::WindowProc(message, wParam, lParam);
        // Painting waits behind posted messages: done now, it cannot come in between the
        // steps of a check.
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        m_check(*this);
        EndDialog(IDOK);
        return 0;
    }

private:
    const std::function<void(CDataExchange*)>& m_bind;
    const std::function<void(CDialog&)>& m_check;
};

} // namespace

void RunInDialog(UINT templateId, const std::function<void(CDataExchange*)>& bind,
                 const std::function<void(CDialog&)>& check)
{
    HostDialog dialog(templateId, bind, check);
    EXPECT_EQ(IDOK, dialog.DoModal());
}

ClientPixels::ClientPixels(HWND window)
{
    RECT client = {};
    ::GetClientRect(window, &client);
    m_width = client.right;
    m_height = client.bottom;
    const BITMAPINFO info = TopDownBitmapInfo(m_width, m_height);
    void* bits = nullptr;
    UniqueBitmap canvas(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    if (!canvas || !dc)
        return;
    {
        SelectedObject selected(dc.Get(), canvas.Get());
        UniqueBrush unpainted(::CreateSolidBrush(kUnpainted));
        ::FillRect(dc.Get(), &client, unpainted.Get());
        ::PrintWindow(window, dc.Get(), PW_CLIENTONLY);
        ::GdiFlush();
    }
    const auto* row = static_cast<const DWORD*>(bits);
    for (int i = 0; i < m_width * m_height; ++i)
        m_pixels.push_back(RGB((row[i] >> 16) & 0xFF, (row[i] >> 8) & 0xFF, row[i] & 0xFF));
}

COLORREF ClientPixels::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return CLR_INVALID;
    return m_pixels[static_cast<size_t>(y) * m_width + x];
}
