#include "app/browser/FileBrowserCtrl.h"

#include "framework/WinApp.h"
#include "resources/resource.h"
#include "win32/ScopedHandle.h"

#include <algorithm>

namespace {

// Indices in the image list, in the order the pictures are added.
constexpr int kClosedFolderImage = 0;
constexpr int kOpenFolderImage = 1;
constexpr int kFileImage = 2;
constexpr int kDriveImage = 3;

constexpr int kImageSize = 16;
// The pictures use no pure white of their own.
constexpr COLORREF kMaskColour = RGB(255, 255, 255);

// TVE_ACTIONMASK, which MinGW's headers lack: the action without TVE_COLLAPSERESET and the
// other flags that may come with it.
constexpr UINT kExpandActionMask = 0x0003;

const wchar_t kPlaceholder[] = L"*";
const wchar_t kLongPathPrefix[] = L"\\\\?\\";

enum class Entries { Folders, Files };

// Full paths of the directory's sub-folders or files, in the file system's order. Hidden,
// system and reparse-point entries are kept: the tree only shows their names and follows a
// link only when the user expands it. A directory that cannot be read has none.
std::vector<std::wstring> ListEntries(const std::wstring& directory, Entries wanted)
{
    std::vector<std::wstring> paths;
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW((directory + L"\\*").c_str(), &found));
    if (!search)
        return paths;
    do {
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder != (wanted == Entries::Folders))
            continue;
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        paths.push_back(directory + L"\\" + name);
    } while (::FindNextFileW(search.Get(), &found));
    return paths;
}

std::vector<std::wstring> ListFolders(const std::wstring& directory)
{
    return ListEntries(directory, Entries::Folders);
}

std::vector<std::wstring> ListFiles(const std::wstring& directory)
{
    return ListEntries(directory, Entries::Files);
}

std::wstring NameOf(const std::wstring& path)
{
    const size_t separator = path.rfind(L'\\');
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

} // namespace

std::wstring JoinItemPath(const std::vector<std::wstring>& textsRootFirst)
{
    if (textsRootFirst.empty())
        return std::wstring();
    std::wstring path = textsRootFirst.front();
    for (size_t i = 1; i < textsRootFirst.size(); ++i)
        path += L'\\' + textsRootFirst[i];
    // The drive's text brings a separator of its own: "C:\" alone becomes "C:", and
    // "C:\\a" becomes "C:\a".
    if (path.size() > 2)
        path.erase(2, 1);
    return path;
}

PathKind PathKindFromAttributes(DWORD attributes, DWORD lastError)
{
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
    if (lastError == ERROR_FILE_NOT_FOUND || lastError == ERROR_PATH_NOT_FOUND)
        return PathKind::Missing;
    // The all-ones failure value has the directory bit set; taken as attributes it would
    // make a path of unknown kind a folder.
    return PathKind::Unknown;
}

void CFileBrowserCtrl::InitTree()
{
    ModifyStyle(0, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS);
    if (m_imageList.Create(IDB_FOLDER_CLOSED, kImageSize, 1, kMaskColour)) {
        for (const UINT id : {IDB_FOLDER_OPEN, IDB_DOCUMENT, IDB_DRIVE}) {
            UniqueBitmap picture(static_cast<HBITMAP>(::LoadImageW(
                AfxGetInstanceHandle(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
            if (picture)
                m_imageList.Add(picture.Get(), kMaskColour);
        }
        SetImageList(&m_imageList);
    }
    AddDrives();
}

void CFileBrowserCtrl::AddDrives()
{
    // Drives that appear later are not added: the set is read once.
    const DWORD drives = ::GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if (!(drives & (1u << letter)))
            continue;
        const wchar_t text[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', L'\0'};
        HTREEITEM drive = InsertItem(text, TVI_ROOT, TVI_LAST);
        // Removable drives too: an empty one fails quietly under the process's error mode.
        PopulateItem(drive);
        SetItemImage(drive, kDriveImage, kDriveImage);
    }
}

void CFileBrowserCtrl::PopulateItem(HTREEITEM item)
{
    const std::wstring path = GetItemPath(item);
    for (const std::wstring& folder : ListFolders(path)) {
        HTREEITEM child = InsertItem(NameOf(folder).c_str(), item);
        InsertItem(kPlaceholder, child);
        SetItemImage(child, kClosedFolderImage, kOpenFolderImage);
    }
    for (const std::wstring& file : ListFiles(path)) {
        HTREEITEM child = InsertItem(NameOf(file).c_str(), item);
        SetItemImage(child, kFileImage, kFileImage);
    }
}

void CFileBrowserCtrl::DeleteChildren(HTREEITEM item)
{
    HTREEITEM child = GetChildItem(item);
    while (child) {
        HTREEITEM next = GetNextSiblingItem(child);
        DeleteItem(child);
        child = next;
    }
}

std::wstring CFileBrowserCtrl::GetItemPath(HTREEITEM item) const
{
    std::vector<std::wstring> texts;
    for (HTREEITEM level = item; level; level = GetParentItem(level))
        texts.push_back(GetItemText(level));
    std::reverse(texts.begin(), texts.end());
    return JoinItemPath(texts);
}

PathKind CFileBrowserCtrl::ProbeItem(HTREEITEM item, std::wstring& longPath) const
{
    longPath = kLongPathPrefix + GetItemPath(item);
    // In the long form "C:" names the volume itself, whose attributes cannot be read; its
    // root folder is "C:\".
    const bool isDrive = !GetParentItem(item);
    const std::wstring queried = isDrive ? longPath + L"\\" : longPath;
    const DWORD attributes = ::GetFileAttributesW(queried.c_str());
    return PathKindFromAttributes(attributes, attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : 0);
}

std::wstring CFileBrowserCtrl::GetSelectedPath() const
{
    HTREEITEM item = GetSelectedItem();
    if (!item)
        return std::wstring();
    std::wstring path;
    switch (ProbeItem(item, path)) {
    case PathKind::Folder:
        return path + L"\\";
    case PathKind::File:
        return path;
    default:
        return std::wstring();
    }
}

void CFileBrowserCtrl::RefreshSelected()
{
    // Without a selection the path would be built from nothing, and the current drive's
    // folders would be read into the tree as roots.
    HTREEITEM item = GetSelectedItem();
    if (!item)
        return;
    std::wstring path;
    switch (ProbeItem(item, path)) {
    case PathKind::Missing:
        DeleteItem(item);
        break;
    case PathKind::File:
        break;
    default:
        // A folder, or a path that could not be examined: what can be read of it now is
        // what it holds (a file lists nothing).
        DeleteChildren(item);
        PopulateItem(item);
        break;
    }
}

bool CFileBrowserCtrl::OnReflectNotify(NMHDR* header, LRESULT* result)
{
    if (header->code != TVN_ITEMEXPANDINGW)
        return false;
    OnItemExpanding(*reinterpret_cast<NMTREEVIEWW*>(header));
    *result = 0; // the expansion or collapse goes ahead
    return true;
}

void CFileBrowserCtrl::OnItemExpanding(const NMTREEVIEWW& change)
{
    HTREEITEM item = change.itemNew.hItem;
    const bool isFolder = GetParentItem(item) != nullptr;
    if ((change.action & kExpandActionMask) == TVE_COLLAPSE) {
        // The children read last stay until the next expansion reads the folder again.
        if (isFolder)
            SetItemImage(item, kClosedFolderImage, kClosedFolderImage);
        return;
    }
    if (isFolder)
        SetItemImage(item, kOpenFolderImage, kOpenFolderImage);
    DeleteChildren(item);
    PopulateItem(item);
}
