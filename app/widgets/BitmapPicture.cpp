#include "app/widgets/BitmapPicture.h"

#include "framework/WinApp.h"
#include "win32/SelectedObject.h"

bool CBitmapPicture::SetBitmapResource(UINT id)
{
    if (!Load(MAKEINTRESOURCEW(id)))
        return false;
    m_resourceId = static_cast<int>(id);
    m_resourceName.clear();
    return true;
}

bool CBitmapPicture::SetBitmapResource(const wchar_t* name)
{
    if (!name || !*name || !Load(name))
        return false;
    m_resourceId = -1;
    m_resourceName = name;
    return true;
}

bool CBitmapPicture::Load(const wchar_t* resource)
{
    UniqueBitmap bitmap(static_cast<HBITMAP>(
        ::LoadImageW(AfxGetInstanceHandle(), resource, IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS)));
    BITMAP info = {};
    if (!bitmap || !::GetObjectW(bitmap.Get(), sizeof(info), &info))
        return false;
    m_bitmap = std::move(bitmap);
    m_bitmapInfo = info;
    if (m_hWnd)
        Invalidate();
    return true;
}

void CBitmapPicture::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    // A static's type is a number, not a set of flags: or-ed into a centred or right-aligned
    // static, the owner-draw type would give another type (SS_RIGHT | SS_OWNERDRAW is
    // SS_ENHMETAFILE). The alignment is kept for the text.
    const DWORD type = GetStyle() & SS_TYPEMASK;
    m_textAlignment = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    ModifyStyle(SS_TYPEMASK, SS_OWNERDRAW);
}

BOOL CBitmapPicture::OnEraseBkgnd(HDC dc)
{
    RECT client;
    GetClientRect(&client);
    if (!m_bitmap) {
        ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    if (!memory)
        return TRUE;
    SelectedObject picture(memory.Get(), m_bitmap.Get());
    // Averaged rather than dropped or doubled pixels, so that the picture stays smooth at any
    // size the dialog has at the screen's DPI. The mode wants the brush origin set after it.
    const int saved = ::SaveDC(dc);
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    // The bitmap's last column and row are left out, as the program has always shown its
    // pictures.
    ::StretchBlt(dc, client.left, client.top, client.right - client.left, client.bottom - client.top, memory.Get(),
                 0, 0, m_bitmapInfo.bmWidth - 1, m_bitmapInfo.bmHeight - 1, SRCCOPY);
    ::RestoreDC(dc, saved);
    return TRUE;
}

void CBitmapPicture::DrawItem(DRAWITEMSTRUCT* item)
{
    const std::wstring text = GetWindowText();
    if (text.empty())
        return;
    UINT format = DT_WORDBREAK | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX | m_textAlignment;
    if (GetStyle() & SS_CENTERIMAGE)
        format |= DT_VCENTER;
    const int previousMode = ::SetBkMode(item->hDC, TRANSPARENT);
    RECT bounds = item->rcItem;
    ::DrawTextW(item->hDC, text.c_str(), -1, &bounds, format);
    ::SetBkMode(item->hDC, previousMode);
}

void CBitmapPicture::OnSysColorChange()
{
    CStatic::OnSysColorChange();
    // Loaded again, its greys follow the new colours.
    if (m_resourceId > 0)
        Load(MAKEINTRESOURCEW(m_resourceId));
    else if (!m_resourceName.empty())
        Load(m_resourceName.c_str());
}
