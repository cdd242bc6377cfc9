#pragma once
// Shows a dialog of the program's own templates with some of its controls bound, and runs
// checks in it once it is on screen: the controls then have their real styles, fonts,
// parent and reflected messages.

#include "framework/Dialog.h"

#include <functional>
#include <vector>

// `bind` is the dialog's data exchange; `check` runs on the dialog's thread, after the dialog
// has been shown and painted, and the dialog ends when it returns.
void RunInDialog(UINT templateId, const std::function<void(CDataExchange*)>& bind,
                 const std::function<void(CDialog&)>& check);

// What a window paints in its client area, captured through WM_PRINT (background erase,
// then painting) into a bitmap of the client area's size that starts out in kUnpainted.
class ClientPixels {
public:
    static constexpr COLORREF kUnpainted = RGB(255, 0, 255);

    explicit ClientPixels(HWND window);
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    COLORREF At(int x, int y) const;

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<COLORREF> m_pixels;
};
