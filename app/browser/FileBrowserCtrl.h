#pragma once
// The tree of drives, folders and files in which the user picks the one item to erase. It is
// bound to an existing tree-view control of a dialog. An item's path is made of its own text
// and its ancestors' texts, nothing is attached to items; a folder is read from disk when it
// is expanded, and again on every later expansion, so that what an erase left shows up.

#include "framework/Controls.h"

#include <string>
#include <vector>

// The path named by the texts of an item and its ancestors, root first. A root is a drive
// whose text ends in its separator ("C:\"): the drive alone is "C:", an item below it
// "C:\a\b". Never a final separator; empty for no texts.
std::wstring JoinItemPath(const std::vector<std::wstring>& textsRootFirst);

// What an attribute query (GetFileAttributesW) says about a path: `lastError` counts only
// when `attributes` is INVALID_FILE_ATTRIBUTES. Unknown is any failure other than "not
// found", which says nothing about what the path is.
enum class PathKind { Missing, Folder, File, Unknown };
PathKind PathKindFromAttributes(DWORD attributes, DWORD lastError);

class CFileBrowserCtrl : public CTreeCtrl {
public:
    // Once, after the control has been bound: the tree's styles and images, and one root per
    // drive with the drive's first level already read, apart from drives that may be slow to
    // answer (network drives, removable and optical drives without a medium), which are read
    // when they are expanded.
    void InitTree();

    // The selected item as an erase target: "\\?\" and its full path, with a final separator
    // for a folder or a drive ("\\?\C:\"). Empty when nothing is selected, when the path is
    // gone, and when the path cannot be examined; an empty target starts no job.
    std::wstring GetSelectedPath() const;

    // After an erase: removes the selected item when its path is gone, reads a folder (or a
    // drive) that survived again, one level deep, and leaves a surviving file as it is.
    void RefreshSelected();

protected:
    bool OnReflectNotify(NMHDR* header, LRESULT* result) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The item pictures at the small-icon size of the tree's DPI.
    void LoadImages();
    void AddDrives();
    // Replaces the item's children with its sub-folders, each unread (a "*" child gives it its
    // button), then its files, in the order the file system gives them.
    void ReadItem(HTREEITEM item);
    void DeleteChildren(HTREEITEM item);
    std::wstring GetItemPath(HTREEITEM item) const;
    // What the file system says the item is; `longPath` receives "\\?\" and its path.
    PathKind ProbeItem(HTREEITEM item, std::wstring& longPath) const;
    void OnItemExpanding(const NMTREEVIEWW& change);

    CImageList m_imageList;
};
