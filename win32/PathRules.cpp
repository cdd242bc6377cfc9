#include "win32/PathRules.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

const wchar_t kLongPrefix[] = L"\\\\?\\";
const wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

namespace {

bool StartsWithText(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

} // namespace

std::wstring WithLongPrefix(const std::wstring& path)
{
    if (StartsWithText(path, kLongPrefix))
        return path;
    if (StartsWithText(path, L"\\\\"))
        return kLongUncPrefix + path.substr(2);
    if (StartsWithDrive(path) && (path.size() == 2 || path[2] == L'\\'))
        return kLongPrefix + path;
    return path;
}

std::wstring PlainPath(const std::wstring& path)
{
    if (StartsWithName(path, kLongUncPrefix))
        return L"\\\\" + path.substr(std::wcslen(kLongUncPrefix));
    if (StartsWithText(path, kLongPrefix))
        return path.substr(std::wcslen(kLongPrefix));
    return path;
}

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool StartsWithDrive(const std::wstring& path)
{
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':';
}

std::wstring DriveRootOf(const std::wstring& drive)
{
    if (!StartsWithDrive(drive) || !(drive.size() == 2 || (drive.size() == 3 && drive[2] == L'\\')))
        return std::wstring();
    return {static_cast<wchar_t>(std::towupper(drive[0])), L':', L'\\'};
}

bool IsPlainName(const std::wstring& name)
{
    for (const wchar_t c : name) {
        if (c < 0x20 || std::wcschr(L"<>:\"|?*", c))
            return false;
    }
    return true;
}

bool SplitShare(const std::wstring& text, std::wstring& share, std::wstring& tail)
{
    const size_t serverEnd = text.find(L'\\');
    if (serverEnd == 0 || serverEnd == std::wstring::npos)
        return false;
    const size_t shareEnd = text.find(L'\\', serverEnd + 1);
    const std::wstring server = text.substr(0, serverEnd);
    const std::wstring name = text.substr(serverEnd + 1, shareEnd == std::wstring::npos ? std::wstring::npos
                                                                                         : shareEnd - serverEnd - 1);
    if (name.empty() || !IsPlainName(server) || !IsPlainName(name) || server == L"." || server == L"?")
        return false;
    share = server + L"\\" + name + L"\\";
    tail = shareEnd == std::wstring::npos ? std::wstring() : text.substr(shareEnd + 1);
    return true;
}

bool IsVolumeRoot(const std::wstring& folder)
{
    std::wstring path = PlainPath(folder);
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    if (!StartsWithText(path, L"\\\\"))
        return path.size() == 2 && StartsWithDrive(path);
    std::wstring share, tail;
    return SplitShare(path.substr(2), share, tail) && tail.empty();
}

int CompareNames(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE)
           - CSTR_EQUAL;
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareNames(a, b) == 0;
}

bool StartsWithName(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}
