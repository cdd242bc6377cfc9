#pragma once
// Wrappers of the system's controls, bound to the controls of a dialog template
// (DDX_Control). Each is the window base plus the control's own messages.

#include "framework/Wnd.h"
#include "win32/ScopedHandle.h"

#include <richedit.h>

class CImageList;

class CStatic : public CWnd {};

class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int state);
};

class CComboBox : public CWnd {
public:
    // At that position even in a sorted list; -1 appends. The position, or CB_ERR.
    int InsertString(int index, const wchar_t* text);
    int GetCount() const;
    int GetCurSel() const;
    // The index selected, or CB_ERR. An index outside the list (and -1) clears the selection.
    int SetCurSel(int index);
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short lower, short upper);
    // The previous position.
    int SetPos(int position);
    int GetPos() const;
};

class CRichEditCtrl : public CWnd {
public:
    // Character positions; -1 as the end selects up to the end of the text.
    void SetSel(long start, long end);
    // Replaces the selection (or inserts at the caret) with UTF-16 text, whatever the control's
    // class; canUndo false also empties the control's undo stack.
    void ReplaceSel(const wchar_t* text, bool canUndo = false);
    // Applies the members named by format.dwMask to the selection, or to the insertion point
    // when nothing is selected.
    bool SetSelectionCharFormat(CHARFORMATW& format);
    long GetTextLength() const;
    bool SetReadOnly(bool readOnly = true);
    // The most text the control takes, in characters; without it the control stops at 32,767.
    void LimitText(long maxCharacters);
    bool LineScroll(int lines, int characters = 0);
};

class CTreeCtrl : public CWnd {
public:
    HTREEITEM InsertItem(const wchar_t* text, HTREEITEM parent = TVI_ROOT, HTREEITEM insertAfter = TVI_LAST);
    bool SetItemImage(HTREEITEM item, int image, int selectedImage);
    std::wstring GetItemText(HTREEITEM item) const;
    HTREEITEM GetParentItem(HTREEITEM item) const;
    HTREEITEM GetChildItem(HTREEITEM item) const;
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const;
    HTREEITEM GetSelectedItem() const;
    bool ItemHasChildren(HTREEITEM item) const;
    // Removes the item with its whole subtree.
    bool DeleteItem(HTREEITEM item);
    // The list stays owned by the caller and must outlive its use by the tree. Returns the
    // list the tree used before.
    HIMAGELIST SetImageList(const CImageList* list, int type = TVSIL_NORMAL);
    // TVE_EXPAND, TVE_COLLAPSE or TVE_TOGGLE.
    bool Expand(HTREEITEM item, UINT code);
    bool SelectItem(HTREEITEM item);

private:
    HTREEITEM GetNextItem(HTREEITEM item, UINT relation) const;
};

// An image list owned by the object.
class CImageList {
public:
    // One image per width of the bitmap resource; `mask` (a colour) is transparent; the list
    // grows by `grow` images at a time. False leaves the object without a list.
    bool Create(UINT bitmapId, int width, int grow, COLORREF mask);
    // Appends the images of a bitmap of the list's height; the bitmap stays the caller's.
    // The index of the first one added, or -1.
    int Add(HBITMAP bitmap, COLORREF mask);
    int GetImageCount() const;
    HIMAGELIST GetSafeHandle() const { return m_list.Get(); }

private:
    UniqueImageList m_list;
};

// A font owned by the object.
class CFont {
public:
    bool CreateFontIndirect(const LOGFONTW* font);
    HFONT GetSafeHandle() const { return m_font.Get(); }
    operator HFONT() const { return m_font.Get(); }

private:
    UniqueFont m_font;
};
