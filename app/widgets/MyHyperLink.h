#pragma once
// A static control that behaves as a web link: underlined text in the link colours, a hand
// cursor, and a click opens its address in the user's browser. Bound to an existing static
// control of a dialog template.

#include "framework/Controls.h"

#include <string>

class CMyHyperLink : public CStatic {
public:
    // The address opened on a click; until it is set a click opens nothing.
    void SetURL(const std::wstring& url);
    // The text colour: visited wins over hover, hover over normal.
    void SetNormalColour(COLORREF colour);
    void SetHoverColour(COLORREF colour);
    void SetVisitedColour(COLORREF colour);

protected:
    void PreSubclassWindow() override;
    // The pointer's entering and leaving, followed with the mouse capture.
    void OnMouseMove(UINT flags, POINT point) override;
    BOOL OnSetCursor(HWND window, UINT hitTest, UINT message) override;
    bool OnReflectCommand(UINT code) override;
    HBRUSH OnReflectCtlColor(HDC dc) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Shows the text in an underlined copy of the font.
    void UseUnderlined(HFONT font);

    HCURSOR m_handCursor = nullptr; // the system's, never destroyed
    bool m_hover = false;
    bool m_visited = false;
    CFont m_font;
    std::wstring m_url;
    COLORREF m_hoverColour = RGB(255, 0, 0);
    COLORREF m_normalColour = RGB(0, 0, 255);
    COLORREF m_visitedColour = RGB(5, 34, 143);
};
