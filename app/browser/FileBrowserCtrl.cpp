#include "app/browser/FileBrowserCtrl.h"

#include "app/browser/ItemPictures.h"
#include "resources/resource.h"
#include "win32/PathRules.h"
#include "win32/ScopedHandle.h"

#include <winioctl.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace {

// Indices in the image list, in the order the pictures are added.
constexpr int kClosedFolderImage = 0;
constexpr int kOpenFolderImage = 1;
constexpr int kFileImage = 2;
constexpr int kDriveImage = 3;

// In image-list order.
constexpr UINT kPictures[] = {IDB_FOLDER_CLOSED, IDB_FOLDER_OPEN, IDB_DOCUMENT, IDB_DRIVE};
// The pictures use no pure white of their own.
constexpr COLORREF kMaskColour = RGB(255, 255, 255);

// TVE_ACTIONMASK, which MinGW's headers lack: the action without TVE_COLLAPSERESET and the
// other flags that may come with it.
constexpr UINT kExpandActionMask = 0x0003;

const wchar_t kPlaceholder[] = L"*";

struct Listing {
    std::vector<std::wstring> folders;
    std::vector<std::wstring> files;
};

// The names in a directory, split into sub-folders and files, each in the file system's
// order, in a single pass. Read through the long form, so that a folder deeper than MAX_PATH
// lists its content too. Hidden, system and reparse-point entries are kept: the tree only
// shows their names and follows a link only when the user expands it, which is why this is not
// the erase's listing: that one never lists through a link. A directory that cannot be read has
// none.
Listing ListEntries(const std::wstring& directory)
{
    Listing listing;
    WIN32_FIND_DATAW found;
    // Without short names, and in larger batches: this is what makes a huge folder quick.
    UniqueFindHandle search(::FindFirstFileExW((WithLongPrefix(directory) + L"\\*").c_str(), FindExInfoBasic,
                                               &found, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!search)
        return listing;
    do {
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && (::wcscmp(found.cFileName, L".") == 0 || ::wcscmp(found.cFileName, L"..") == 0))
            continue;
        (isFolder ? listing.folders : listing.files).emplace_back(found.cFileName);
    } while (::FindNextFileW(search.Get(), &found));
    return listing;
}

// Whether a drive's first level can be read at start-up without making the user wait: not
// that of a network drive, nor that of a removable or optical drive without a medium, whose
// answer can take many seconds. Those are read when they are expanded.
bool AnswersAtOnce(const wchar_t* root)
{
    switch (::GetDriveTypeW(root)) {
    case DRIVE_REMOTE:
        return false;
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM: {
        // Asks the device whether a medium is in without reading it; a device that cannot
        // tell counts as empty.
        const wchar_t device[] = {L'\\', L'\\', L'.', L'\\', root[0], L':', L'\0'};
        UniqueFile volume(::CreateFileW(device, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
        DWORD returned = 0;
        return volume
               && ::DeviceIoControl(volume.Get(), IOCTL_STORAGE_CHECK_VERIFY2, nullptr, 0, nullptr, 0, &returned,
                                    nullptr);
    }
    default:
        return true;
    }
}

// Drawing is held back while a level is filled: a folder of many thousands of entries would
// otherwise be laid out and drawn again for each of them.
class CHeldRedraw {
public:
    explicit CHeldRedraw(CWnd& window) : m_window(window) { m_window.SetRedraw(false); }
    ~CHeldRedraw() { m_window.SetRedraw(true); }
    CHeldRedraw(const CHeldRedraw&) = delete;
    CHeldRedraw& operator=(const CHeldRedraw&) = delete;

private:
    CWnd& m_window;
};

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
    LoadImages();
    AddDrives();
}

void CFileBrowserCtrl::LoadImages()
{
    const int size = SystemMetricForDpi(SM_CXSMICON, WindowDpi(m_hWnd));
    CImageList list;
    if (!list.Create(size, size, ILC_COLOR32, static_cast<int>(std::size(kPictures)), 1))
        return;
    for (const UINT id : kPictures) {
        const UniqueBitmap picture = LoadScaledPicture(id, size, kMaskColour);
        // A picture missing would give the next ones the wrong indices.
        if (!picture || list.Add(picture.Get(), nullptr) < 0)
            return;
    }
    // The tree lets go of the list in use before it is destroyed.
    SetImageList(&list);
    m_imageList = std::move(list);
}

void CFileBrowserCtrl::AddDrives()
{
    // Drives that appear later are not added: the set is read once.
    const DWORD drives = ::GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if (!(drives & (1u << letter)))
            continue;
        const wchar_t text[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', L'\0'};
        HTREEITEM drive = InsertItem(text, kDriveImage, kDriveImage, TVI_ROOT, TVI_LAST);
        if (AnswersAtOnce(text))
            ReadItem(drive);
        else
            InsertItem(kPlaceholder, drive);
    }
}

void CFileBrowserCtrl::ReadItem(HTREEITEM item)
{
    const Listing listing = ListEntries(GetItemPath(item));
    CHeldRedraw held(*this);
    DeleteChildren(item);
    for (const std::wstring& folder : listing.folders) {
        if (HTREEITEM child = InsertItem(folder.c_str(), kClosedFolderImage, kOpenFolderImage, item))
            InsertItem(kPlaceholder, child);
    }
    for (const std::wstring& file : listing.files)
        InsertItem(file.c_str(), kFileImage, kFileImage, item);
    // Said outright: after dropping the children in one go, some trees keep the button the
    // item had, also for a folder that turned out empty.
    SetItemHasChildren(item, GetChildItem(item) != nullptr);
}

void CFileBrowserCtrl::DeleteChildren(HTREEITEM item)
{
    // A closed item drops its children in one go: one by one, a folder of 100,000 files takes
    // some tree implementations half a minute. The item stays closed; whatever is left (an
    // open item's children) goes one by one.
    if (!(GetItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED))
        Expand(item, TVE_COLLAPSE | TVE_COLLAPSERESET);
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
    longPath = WithLongPrefix(GetItemPath(item));
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
        ReadItem(item);
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
    ReadItem(item);
    // After the reading, which may report a collapse of its own.
    if (isFolder)
        SetItemImage(item, kOpenFolderImage, kOpenFolderImage);
}

LRESULT CFileBrowserCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Moved to a monitor of another DPI: the pictures follow that monitor's small-icon size.
    if (message == WM_DPICHANGED_AFTERPARENT)
        LoadImages();
    return CTreeCtrl::WindowProc(message, wParam, lParam);
}
