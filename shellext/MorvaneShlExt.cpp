#include "shellext/MorvaneShlExt.h"

#include "shellext/DropFiles.h"
#include "win32/GlobalLock.h"
#include "win32/StgMedium.h"

#include <shellapi.h>

#include <climits>
#include <cstring>
#include <cwchar>
#include <iterator>

namespace {

// A path that does not fit is refused whole: a shortened one could name another item, and
// that item would be erased.
bool CopyFirstPath(const GlobalLockGuard& block, wchar_t (&path)[MAX_PATH])
{
    DropFileList list;
    if (!ParseDropFiles(block.Data(), block.Size(), list) || list.count == 0)
        return false;
    const char* first = static_cast<const char*>(block.Data()) + list.firstOffset;
    if (list.wide) {
        if (list.firstLength >= MAX_PATH)
            return false;
        std::memcpy(path, first, list.firstLength * sizeof(wchar_t));
        path[list.firstLength] = L'\0';
        return true;
    }
    if (list.firstLength > INT_MAX)
        return false;
    // Fails, rather than cutting, where the converted path needs more room.
    const int length = ::MultiByteToWideChar(CP_ACP, 0, first, static_cast<int>(list.firstLength), path, MAX_PATH - 1);
    if (length == 0)
        return false;
    path[length] = L'\0';
    return true;
}

bool TakeFirstPath(IDataObject& selection, wchar_t (&path)[MAX_PATH])
{
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    ScopedStgMedium medium;
    if (FAILED(selection.GetData(&format, medium.Put())) || medium.Get().tymed != TYMED_HGLOBAL)
        return false;
    const GlobalLockGuard block(medium.Get().hGlobal);
    return block && CopyFirstPath(block, path);
}

// The installation record that the product's setup writes: the folder that holds Morvane.exe.
bool ReadInstallDirectory(wchar_t (&directory)[MAX_PATH])
{
    UniqueRegKey key;
    // Read access only: standard users cannot open the machine's software keys for writing, and
    // the menu item must work for them too.
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestrium", 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD bytes = sizeof(directory);
    if (::RegQueryValueExW(key.Get(), L"path", nullptr, &type, reinterpret_cast<BYTE*>(directory), &bytes)
            != ERROR_SUCCESS
        || type != REG_SZ)
        return false;
    // The registry keeps string data as it was written, with or without its NUL.
    const size_t units = bytes / sizeof(wchar_t);
    const size_t length = ::wcsnlen(directory, units);
    if (length == MAX_PATH)
        return false;
    directory[length] = L'\0';
    return length != 0;
}

}  // namespace

STDMETHODIMP CMorvaneShlExt::Initialize(PCIDLIST_ABSOLUTE /*folder*/, IDataObject* dataObject,
                                        HKEY /*progIdKey*/) noexcept
{
    if (dataObject && TakeFirstPath(*dataObject, m_szFile))
        return S_OK;
    // A refused selection must not leave an earlier one (or part of itself) to be passed on.
    m_szFile[0] = L'\0';
    return E_INVALIDARG;
}

STDMETHODIMP CMorvaneShlExt::QueryContextMenu(HMENU menu, UINT index, UINT firstCommand, UINT /*lastCommand*/,
                                              UINT /*flags*/) noexcept
{
    // Added to every request, the default-item-only one included.
    ::InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, firstCommand, L"Delete by Kestrium");
    ::SetMenuItemBitmaps(menu, index, MF_BYPOSITION, g_hMenuBitmap.Get(), nullptr);
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 1);
}

STDMETHODIMP CMorvaneShlExt::GetCommandString(UINT_PTR command, UINT type, UINT* /*reserved*/, CHAR* buffer,
                                              UINT bufferLength) noexcept
{
    // There is no verb and no help text: the help text and wide requests answer with an empty
    // string, a narrow verb or validation request is refused.
    if (command != 0 || (type & (GCS_HELPTEXTA | GCS_UNICODE)) == 0)
        return E_INVALIDARG;
    if (type & GCS_UNICODE)
        ::lstrcpynW(reinterpret_cast<LPWSTR>(buffer), L"", static_cast<int>(bufferLength));
    else
        ::lstrcpynA(buffer, "", static_cast<int>(bufferLength));
    return S_OK;
}

STDMETHODIMP CMorvaneShlExt::InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept
{
    if (!info || !IS_INTRESOURCE(info->lpVerb) || LOWORD(reinterpret_cast<ULONG_PTR>(info->lpVerb)) != 0)
        return E_INVALIDARG;
    // Nothing that cannot be started is reported: the item simply does nothing.
    wchar_t directory[MAX_PATH];
    if (m_szFile[0] == L'\0' || !ReadInstallDirectory(directory))
        return S_OK;
    // One argument, quoted so that blanks in the path do not split it.
    wchar_t parameters[MAX_PATH + 2];
    std::swprintf(parameters, std::size(parameters), L"\"%ls\"", m_szFile);
    ::ShellExecuteW(nullptr, L"open", L"Morvane.exe", parameters, directory, SW_SHOWNORMAL);
    return S_OK;
}
