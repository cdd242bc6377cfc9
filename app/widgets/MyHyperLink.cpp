#include "app/widgets/MyHyperLink.h"

#include <shellapi.h>

void CMyHyperLink::SetURL(const std::wstring& url)
{
    m_url = url;
}

void CMyHyperLink::SetNormalColour(COLORREF colour)
{
    m_normalColour = colour;
}

void CMyHyperLink::SetHoverColour(COLORREF colour)
{
    m_hoverColour = colour;
}

void CMyHyperLink::SetVisitedColour(COLORREF colour)
{
    m_visitedColour = colour;
}

void CMyHyperLink::PreSubclassWindow()
{
    // Without it a static reports no clicks.
    ModifyStyle(0, SS_NOTIFY);
    UseUnderlined(GetFont());
    m_handCursor = ::LoadCursorW(nullptr, IDC_HAND);
    CStatic::PreSubclassWindow();
}

void CMyHyperLink::UseUnderlined(HFONT font)
{
    // A control without a font of its own draws with the system font.
    LOGFONTW description = {};
    if (!::GetObjectW(font ? font : ::GetStockObject(SYSTEM_FONT), sizeof(description), &description))
        return;
    description.lfUnderline = TRUE;
    CFont underlined;
    if (!underlined.CreateFontIndirect(&description))
        return;
    // The control lets go of the font in use before it is destroyed.
    SetFont(underlined, true);
    m_font = std::move(underlined);
}

LRESULT CMyHyperLink::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Whoever gives the link a font, such as the dialog manager scaling the dialog to another
    // DPI, it is shown underlined.
    if (message == WM_SETFONT) {
        LOGFONTW given = {};
        const auto font = reinterpret_cast<HFONT>(wParam);
        if (font && ::GetObjectW(font, sizeof(given), &given) && !given.lfUnderline) {
            UseUnderlined(font);
            return 0;
        }
    }
    return CStatic::WindowProc(message, wParam, lParam);
}

void CMyHyperLink::OnMouseMove(UINT flags, POINT point)
{
    CStatic::OnMouseMove(flags, point);
    if (!m_hover) {
        m_hover = true;
        RedrawWindow();
        // With the capture, the move that leaves the control still comes here.
        SetCapture();
        return;
    }
    RECT client;
    GetClientRect(&client);
    if (::PtInRect(&client, point))
        return;
    m_hover = false;
    ReleaseCapture();
    RedrawWindow();
}

BOOL CMyHyperLink::OnSetCursor(HWND, UINT, UINT)
{
    ::SetCursor(m_handCursor);
    return TRUE;
}

bool CMyHyperLink::OnReflectCommand(UINT code)
{
    if (code != STN_CLICKED)
        return false;
    // Given an empty name the shell may open a folder window rather than fail. A failure is
    // not reported: the user sees that no browser came.
    if (!m_url.empty())
        ::ShellExecuteW(nullptr, L"open", m_url.c_str(), nullptr, nullptr, SW_SHOWMINIMIZED);
    m_visited = true;
    Invalidate(true);
    return true;
}

HBRUSH CMyHyperLink::OnReflectCtlColor(HDC dc)
{
    ::SetTextColor(dc, m_visited ? m_visitedColour : m_hover ? m_hoverColour : m_normalColour);
    ::SetBkMode(dc, TRANSPARENT);
    // The dialog's background shows through.
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}
