#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it.

#include <map>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Full path, without a final separator.
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

    // Create (or replace) a file, or a folder, below the folder and return its full path. Made
    // through the long form, so that any name can be made, a final dot or space included.
    std::wstring WriteFile(const std::wstring& name, const std::string& content) const;
    std::wstring MakeFolder(const std::wstring& name) const;

private:
    std::wstring m_path;
};

bool PathExists(const std::wstring& path);
// The names in a folder that match the pattern, "." and ".." left out, sorted.
std::vector<std::wstring> FolderNames(const std::wstring& folder, const wchar_t* pattern = L"*");
// Every file (with its content, after "<read-only>" where it is), folder ("<folder>") and link
// ("<link>", never followed) below a folder, by path relative to it. Read in the long form, so
// that names ending in a dot or a space are what they are.
std::map<std::wstring, std::string> TreeSnapshot(const std::wstring& folder);
// Removes a file or a folder tree, clearing attributes that would refuse it.
void RemoveTree(const std::wstring& path);
// The folder of the running executable, with a final separator.
std::wstring ExecutableDirectory();
