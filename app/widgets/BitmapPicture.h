#pragma once
// A static control that shows one bitmap resource stretched over its whole client area,
// without keeping the aspect ratio: the main window's banner and the About box's logo. Bound
// to an existing static control of a dialog template; the control becomes owner-drawn.

#include "framework/Controls.h"
#include "win32/ScopedHandle.h"

#include <string>

class CBitmapPicture : public CStatic {
public:
    // Loads a bitmap of the program's resources, its greys mapped to the current 3-D colours.
    // False when it cannot be loaded: the picture shown before stays, and so does the
    // resource that a change of the system colours loads again.
    bool SetBitmapResource(UINT id);
    bool SetBitmapResource(const wchar_t* name);

protected:
    void PreSubclassWindow() override;
    // The picture is painted here, so that it shows on every background erase.
    BOOL OnEraseBkgnd(HDC dc) override;
    // The control's text, if any, over the picture.
    void DrawItem(DRAWITEMSTRUCT* item) override;
    void OnSysColorChange() override;

private:
    bool Load(const wchar_t* resource);

    UniqueBitmap m_bitmap;
    BITMAP m_bitmapInfo = {};
    int m_resourceId = -1;        // -1: not loaded by id
    std::wstring m_resourceName;  // empty: not loaded by name
    UINT m_textAlignment = DT_LEFT; // of the static the control was before binding
};
