#include "framework/Controls.h"

#include "framework/WinApp.h"

int CButton::GetCheck() const
{
    return static_cast<int>(SendMessage(BM_GETCHECK));
}

void CButton::SetCheck(int state)
{
    SendMessage(BM_SETCHECK, static_cast<WPARAM>(state));
}

int CComboBox::InsertString(int index, const wchar_t* text)
{
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}

int CComboBox::GetCount() const
{
    return static_cast<int>(SendMessage(CB_GETCOUNT));
}

int CComboBox::GetCurSel() const
{
    return static_cast<int>(SendMessage(CB_GETCURSEL));
}

int CComboBox::SetCurSel(int index)
{
    const int result = static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
    // Windows clears the selection for an index outside the list; Wine keeps the old one.
    if (result == CB_ERR && index != -1)
        SendMessage(CB_SETCURSEL, static_cast<WPARAM>(-1));
    return result;
}

void CProgressCtrl::SetRange(short lower, short upper)
{
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
}

int CProgressCtrl::SetPos(int position)
{
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position)));
}

int CProgressCtrl::GetPos() const
{
    return static_cast<int>(SendMessage(PBM_GETPOS));
}

void CRichEditCtrl::SetSel(long start, long end)
{
    CHARRANGE range = {start, end};
    SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void CRichEditCtrl::ReplaceSel(const wchar_t* text, bool canUndo)
{
    // Not EM_REPLACESEL: sent to a control of an ANSI class ("RichEdit20A") its text is
    // converted to the ANSI code page on the way, and characters outside it are lost. This
    // message names its own code page.
    SETTEXTEX how = {static_cast<DWORD>(ST_SELECTION | (canUndo ? ST_KEEPUNDO : 0)), 1200};
    SendMessage(EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(text));
}

bool CRichEditCtrl::SetSelectionCharFormat(CHARFORMATW& format)
{
    return SendMessage(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format)) != 0;
}

long CRichEditCtrl::GetTextLength() const
{
    return static_cast<long>(SendMessage(WM_GETTEXTLENGTH));
}

bool CRichEditCtrl::SetReadOnly(bool readOnly)
{
    return SendMessage(EM_SETREADONLY, readOnly) != 0;
}

void CRichEditCtrl::LimitText(long maxCharacters)
{
    SendMessage(EM_EXLIMITTEXT, 0, maxCharacters);
}

bool CRichEditCtrl::LineScroll(int lines, int characters)
{
    return SendMessage(EM_LINESCROLL, static_cast<WPARAM>(characters), lines) != 0;
}

HTREEITEM CTreeCtrl::InsertItem(const wchar_t* text, HTREEITEM parent, HTREEITEM insertAfter)
{
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = insertAfter;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(text);
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

bool CTreeCtrl::SetItemImage(HTREEITEM item, int image, int selectedImage)
{
    TVITEMW data = {};
    data.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    data.hItem = item;
    data.iImage = image;
    data.iSelectedImage = selectedImage;
    return SendMessage(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&data)) != 0;
}

std::wstring CTreeCtrl::GetItemText(HTREEITEM item) const
{
    // The tree copies what fits and says nothing of the rest: a text that fills the buffer
    // may have been cut, so it is read again into a larger one.
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        TVITEMW data = {};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = text.data();
        data.cchTextMax = static_cast<int>(text.size());
        if (!SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data)))
            return std::wstring();
        const size_t length = std::char_traits<wchar_t>::length(data.pszText);
        if (data.pszText != text.data())
            return std::wstring(data.pszText, length); // the tree's own storage
        if (length + 1 < text.size()) {
            text.resize(length);
            return text;
        }
        text.assign(text.size() * 2, L'\0');
    }
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM item, UINT relation) const
{
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM item) const
{
    return GetNextItem(item, TVGN_PARENT);
}

HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM item) const
{
    return GetNextItem(item, TVGN_CHILD);
}

HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM item) const
{
    return GetNextItem(item, TVGN_NEXT);
}

HTREEITEM CTreeCtrl::GetSelectedItem() const
{
    return GetNextItem(nullptr, TVGN_CARET);
}

bool CTreeCtrl::ItemHasChildren(HTREEITEM item) const
{
    TVITEMW data = {};
    data.mask = TVIF_CHILDREN;
    data.hItem = item;
    return SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data)) && data.cChildren != 0;
}

bool CTreeCtrl::DeleteItem(HTREEITEM item)
{
    return SendMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)) != 0;
}

HIMAGELIST CTreeCtrl::SetImageList(const CImageList* list, int type)
{
    return reinterpret_cast<HIMAGELIST>(SendMessage(TVM_SETIMAGELIST, static_cast<WPARAM>(type),
                                                    reinterpret_cast<LPARAM>(list ? list->GetSafeHandle() : nullptr)));
}

bool CTreeCtrl::Expand(HTREEITEM item, UINT code)
{
    return SendMessage(TVM_EXPAND, code, reinterpret_cast<LPARAM>(item)) != 0;
}

bool CTreeCtrl::SelectItem(HTREEITEM item)
{
    return SendMessage(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

bool CImageList::Create(UINT bitmapId, int width, int grow, COLORREF mask)
{
    m_list.Reset();
    if (width <= 0)
        return false;
    UniqueBitmap bitmap(static_cast<HBITMAP>(
        ::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info = {};
    if (!bitmap || !::GetObjectW(bitmap.Get(), sizeof(info), &info))
        return false;
    // An explicit colour depth: the list's default would reduce the pictures to 16 colours.
    m_list.Reset(::ImageList_Create(width, info.bmHeight, ILC_COLOR24 | ILC_MASK, info.bmWidth / width, grow));
    if (!m_list)
        return false;
    if (Add(bitmap.Get(), mask) < 0) {
        m_list.Reset();
        return false;
    }
    return true;
}

int CImageList::Add(HBITMAP bitmap, COLORREF mask)
{
    return m_list ? ::ImageList_AddMasked(m_list.Get(), bitmap, mask) : -1;
}

int CImageList::GetImageCount() const
{
    return m_list ? ::ImageList_GetImageCount(m_list.Get()) : 0;
}

bool CFont::CreateFontIndirect(const LOGFONTW* font)
{
    m_font.Reset(font ? ::CreateFontIndirectW(font) : nullptr);
    return m_font.IsValid();
}
