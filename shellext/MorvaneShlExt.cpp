#include "shellext/MorvaneShlExt.h"

#include "handover/TargetListFile.h"
#include "shellext/DropFiles.h"
#include "win32/GlobalLock.h"
#include "win32/PathRules.h"
#include "win32/StgMedium.h"

#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kDeleteItem[] = L"Delete by Kestrium";
const wchar_t kWipeItem[] = L"Wipe free space by Kestrium";
// Command offsets of the items.
constexpr UINT kDeleteCommand = 0;
constexpr UINT kWipeCommand = 1;

// A drive's root as Explorer hands it over for a drive's menu: "E:\".
bool IsDriveRoot(const std::wstring& path)
{
    return path.size() == 3 && !DriveRootOf(path).empty();
}

// Every selected path, whole: a shortened path could name another item, which would be erased.
bool TakePaths(const GlobalLockGuard& block, std::vector<std::wstring>& paths)
{
    DropFileList list;
    if (!ParseDropFiles(block.Data(), block.Size(), list) || list.paths.empty())
        return false;
    const char* data = static_cast<const char*>(block.Data());
    for (const DropPath& at : list.paths) {
        std::wstring path;
        if (list.wide) {
            path.resize(at.length);
            std::memcpy(&path[0], data + at.offset, at.length * sizeof(wchar_t));
        } else {
            if (at.length > INT_MAX)
                return false;
            const int length = static_cast<int>(at.length);
            const int units = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, data + at.offset, length, nullptr, 0);
            if (units <= 0)
                return false;
            path.resize(static_cast<size_t>(units));
            ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, data + at.offset, length, &path[0], units);
        }
        // No file system name holds a control character, and a line break would split the path
        // in two on its way to the program.
        if (std::any_of(path.begin(), path.end(), [](wchar_t c) { return c < L' '; }))
            return false;
        paths.push_back(std::move(path));
    }
    return true;
}

bool TakeSelection(IDataObject& selection, std::vector<std::wstring>& paths)
{
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    ScopedStgMedium medium;
    if (FAILED(selection.GetData(&format, medium.Put())) || medium.Get().tymed != TYMED_HGLOBAL)
        return false;
    const GlobalLockGuard block(medium.Get().hGlobal);
    return block && TakePaths(block, paths);
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

// One argument as the program's run-time library splits command lines: in quotes, with the
// backslashes before the closing quote doubled ("E:\" would otherwise reach it as E:").
std::wstring Quoted(const std::wstring& argument)
{
    size_t trailing = 0;
    while (trailing < argument.size() && argument[argument.size() - 1 - trailing] == L'\\')
        ++trailing;
    return L"\"" + argument + std::wstring(trailing, L'\\') + L"\"";
}

// Many paths would not fit a command line (32,767 characters): they go to the program in a list
// file of the user's temporary folder, which the program reads and deletes. Empty where the list
// could not be written.
std::wstring WriteTargetList(const std::vector<std::wstring>& paths)
{
    wchar_t folder[MAX_PATH + 1];
    wchar_t file[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || !::GetTempFileNameW(folder, kTargetListPrefix, 0, file))
        return std::wstring();
    const std::wstring text = FormatTargetList(paths);
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    bool complete = false;
    {
        const UniqueFile list(::CreateFileW(file, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_TEMPORARY, nullptr));
        complete = list && ::WriteFile(list.Get(), text.data(), bytes, &written, nullptr) && written == bytes;
    }
    if (!complete) {
        ::DeleteFileW(file);
        return std::wstring();
    }
    return file;
}

}  // namespace

STDMETHODIMP CMorvaneShlExt::Initialize(PCIDLIST_ABSOLUTE /*folder*/, IDataObject* dataObject,
                                        HKEY /*progIdKey*/) noexcept
{
    // A refused selection must not leave an earlier one (or part of itself) to be passed on.
    m_paths.clear();
    try {
        if (dataObject && TakeSelection(*dataObject, m_paths))
            return S_OK;
    } catch (...) {
    }
    m_paths.clear();
    return E_INVALIDARG;
}

STDMETHODIMP CMorvaneShlExt::QueryContextMenu(HMENU menu, UINT index, UINT firstCommand, UINT /*lastCommand*/,
                                              UINT /*flags*/) noexcept
{
    // Added to every request, the default-item-only one included.
    ::InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, firstCommand + kDeleteCommand, kDeleteItem);
    ::SetMenuItemBitmaps(menu, index, MF_BYPOSITION, g_hMenuBitmap.Get(), nullptr);
    if (!OffersWipe())
        return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 1);
    ::InsertMenuW(menu, index + 1, MF_BYPOSITION | MF_STRING, firstCommand + kWipeCommand, kWipeItem);
    ::SetMenuItemBitmaps(menu, index + 1, MF_BYPOSITION, g_hMenuBitmap.Get(), nullptr);
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 2);
}

STDMETHODIMP CMorvaneShlExt::GetCommandString(UINT_PTR command, UINT type, UINT* /*reserved*/, CHAR* buffer,
                                              UINT bufferLength) noexcept
{
    // There is no verb and no help text: the help text and wide requests answer with an empty
    // string, a narrow verb or validation request is refused.
    if ((command != kDeleteCommand && (command != kWipeCommand || !OffersWipe()))
        || (type & (GCS_HELPTEXTA | GCS_UNICODE)) == 0)
        return E_INVALIDARG;
    if (type & GCS_UNICODE)
        ::lstrcpynW(reinterpret_cast<LPWSTR>(buffer), L"", static_cast<int>(bufferLength));
    else
        ::lstrcpynA(buffer, "", static_cast<int>(bufferLength));
    return S_OK;
}

bool CMorvaneShlExt::OffersWipe() const
{
    return m_paths.size() == 1 && IsDriveRoot(m_paths.front());
}

STDMETHODIMP CMorvaneShlExt::InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept
{
    const UINT command = info && IS_INTRESOURCE(info->lpVerb) ? LOWORD(reinterpret_cast<ULONG_PTR>(info->lpVerb)) : UINT_MAX;
    if (command != kDeleteCommand && (command != kWipeCommand || !OffersWipe()))
        return E_INVALIDARG;
    // Nothing that cannot be started is reported: the item simply does nothing.
    wchar_t directory[MAX_PATH];
    if (m_paths.empty() || !ReadInstallDirectory(directory))
        return S_OK;
    try {
        // The program by its full path: by its name alone the shell would look further, where
        // another program of that name could be.
        const std::wstring program = std::wstring(directory) + L"\\Morvane.exe";
        if (command == kWipeCommand) {
            ::ShellExecuteW(nullptr, L"open", program.c_str(), (L"/wipefree " + m_paths.front().substr(0, 2)).c_str(),
                            directory, SW_SHOWNORMAL);
            return S_OK;
        }
        if (m_paths.size() == 1) {
            ::ShellExecuteW(nullptr, L"open", program.c_str(), Quoted(m_paths.front()).c_str(), directory, SW_SHOWNORMAL);
            return S_OK;
        }
        const std::wstring list = WriteTargetList(m_paths);
        if (list.empty())
            return S_OK;
        const std::wstring parameters = L"/list " + Quoted(list);
        if (reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", program.c_str(), parameters.c_str(), directory,
                                                      SW_SHOWNORMAL)) <= 32)
            ::DeleteFileW(list.c_str());
    } catch (...) {
    }
    return S_OK;
}
