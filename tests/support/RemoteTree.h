#pragma once
// Reads and works a tree-view control of another process, as a user would see it. Item texts
// are fetched through a little memory lent by that process.

#include <windows.h>
#include <commctrl.h>

#include <string>

class RemoteTree {
public:
    explicit RemoteTree(HWND tree);
    ~RemoteTree();
    RemoteTree(const RemoteTree&) = delete;
    RemoteTree& operator=(const RemoteTree&) = delete;

    bool IsReady() const { return m_memory != nullptr; }
    std::wstring Text(HTREEITEM item) const;
    // The first child of parent (of the roots for null) with this text, or null.
    HTREEITEM FindChild(HTREEITEM parent, const std::wstring& text) const;
    void Select(HTREEITEM item) const;
    // As the user does it: select the item and press the right arrow. The item's children are
    // read anew by the time IsExpanded says so.
    void Expand(HTREEITEM item) const;
    bool IsExpanded(HTREEITEM item) const;

private:
    HWND m_tree;
    HANDLE m_process = nullptr;
    void* m_memory = nullptr;
};
