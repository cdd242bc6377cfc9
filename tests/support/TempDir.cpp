#include "tests/support/TempDir.h"

#include "tests/support/Links.h"
#include "win32/ScopedHandle.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace {

std::atomic<unsigned> g_counter{0};

std::wstring LongForm(const std::wstring& path)
{
    return path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
}

} // namespace

TempDir::TempDir()
{
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    for (;;) {
        m_path = std::wstring(temp) + L"morvane-" + std::to_wstring(::GetCurrentProcessId()) + L"-"
                 + std::to_wstring(g_counter++);
        if (::CreateDirectoryW(m_path.c_str(), nullptr))
            break;
    }
}

TempDir::~TempDir()
{
    RemoveTree(m_path);
}

std::wstring TempDir::WriteFile(const std::wstring& name, const std::string& content) const
{
    const std::wstring path = *this / name;
    UniqueFile file(::CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    DWORD written = 0;
    if (file)
        ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    return path;
}

std::wstring TempDir::MakeFolder(const std::wstring& name) const
{
    const std::wstring path = *this / name;
    ::CreateDirectoryW(LongForm(path).c_str(), nullptr);
    return path;
}

bool PathExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

void AddToSnapshot(const std::wstring& folder, const std::wstring& relative, std::map<std::wstring, std::string>& tree)
{
    for (const std::wstring& name : FolderNames(folder)) {
        const std::wstring path = folder + L"\\" + name;
        const std::wstring key = relative.empty() ? name : relative + L"\\" + name;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            tree[key] = "<link>";
        } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[key] = "<folder>";
            AddToSnapshot(path, key, tree);
        } else {
            tree[key] = (attributes & FILE_ATTRIBUTE_READONLY ? "<read-only>" : "") + ReadWholeFile(path);
        }
    }
}

} // namespace

std::map<std::wstring, std::string> TreeSnapshot(const std::wstring& folder)
{
    std::map<std::wstring, std::string> tree;
    AddToSnapshot(LongForm(folder), L"", tree);
    return tree;
}

void RemoveTree(const std::wstring& path)
{
    // In the long form, so that names ending in a dot or a space and deep trees go too.
    const std::wstring longPath = LongForm(path);
    const DWORD attributes = ::GetFileAttributesW(longPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    ::SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (!::DeleteFileW(longPath.c_str()))
            ::RemoveDirectoryW(longPath.c_str());
        return;
    }
    for (const std::wstring& name : FolderNames(longPath))
        RemoveTree(longPath + L"\\" + name);
    ::RemoveDirectoryW(longPath.c_str());
}

std::vector<std::wstring> FolderNames(const std::wstring& folder, const wchar_t* pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const UniqueFindHandle search(::FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
    if (!search)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (::FindNextFileW(search.Get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ExecutableDirectory()
{
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}
