#include "engine/TargetPath.h"

#include "engine/DirectoryListing.h"
#include "win32/ScopedHandle.h"

#include <cwctype>
#include <vector>

namespace {

const std::wstring kLongPrefix = L"\\\\?\\";
const std::wstring kLongUncPrefix = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const std::wstring& prefix, bool ignoreCase = false)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const wchar_t a = ignoreCase ? static_cast<wchar_t>(std::towupper(text[i])) : text[i];
        const wchar_t b = ignoreCase ? static_cast<wchar_t>(std::towupper(prefix[i])) : prefix[i];
        if (a != b)
            return false;
    }
    return true;
}

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool HasDrive(const std::wstring& path)
{
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':';
}

std::vector<std::wstring> Split(const std::wstring& text)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(L'\\', start);
        parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            return parts;
        start = end + 1;
    }
}

// A ':' would name a stream of the file rather than the file; wildcards would make the walk
// list other items than the one named.
bool IsPlainName(const std::wstring& name)
{
    for (const wchar_t c : name) {
        if (c < 0x20 || std::wcschr(L"<>:\"|?*", c))
            return false;
    }
    return true;
}

// The names the Win32 layer turns into devices, with or without an extension, in any case, and
// with spaces before the extension.
bool IsReservedDeviceName(const std::wstring& name)
{
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (wchar_t& c : base)
        c = static_cast<wchar_t>(std::towupper(c));
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$"
        || base == L"CONOUT$")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0))
        return false;
    const wchar_t digit = base[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

// root: "\\?\C:\" or "\\?\UNC\server\share\"; tail: the names below it, "\"-separated. Every
// name is kept as it stands but "." and "..", which are resolved and never climb above the root.
bool Compose(const std::wstring& root, const std::wstring& tail, std::wstring& longPath)
{
    std::vector<std::wstring> names;
    for (const std::wstring& name : Split(tail)) {
        if (name.empty() || name == L".")
            continue;
        if (name == L"..") {
            if (!names.empty())
                names.pop_back();
            continue;
        }
        if (!IsPlainName(name))
            return false;
        names.push_back(name);
    }
    if (!names.empty() && IsReservedDeviceName(names.back()))
        return false;
    longPath = root;
    for (size_t i = 0; i < names.size(); ++i)
        longPath += (i ? L"\\" : L"") + names[i];
    return true;
}

// A share root "server\share\" from the text behind "\\" (or "\\?\UNC\"); the rest goes to tail.
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

// An absolute path in the long form, whose names are taken as they stand.
bool FromLongForm(const std::wstring& path, std::wstring& longPath)
{
    const std::wstring rest = path.substr(kLongPrefix.size());
    if (HasDrive(rest) && (rest.size() == 2 || rest[2] == L'\\')) {
        const std::wstring root = kLongPrefix + static_cast<wchar_t>(std::towupper(rest[0])) + L":\\";
        return Compose(root, rest.size() > 3 ? rest.substr(3) : std::wstring(), longPath);
    }
    std::wstring share, tail;
    if (StartsWith(path, kLongUncPrefix, true) && SplitShare(path.substr(kLongUncPrefix.size()), share, tail))
        return Compose(kLongUncPrefix + share, tail, longPath);
    // GLOBALROOT, volume names, pipes: not a drive or share path.
    return false;
}

} // namespace

bool LongTargetPath(const std::wstring& named, const BaseDirectoryOf& baseDirectory, std::wstring& longPath)
{
    if (named.empty())
        return false;
    if (StartsWith(named, kLongPrefix))
        return FromLongForm(named, longPath);
    std::wstring path = named;
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    // "\\.\", "\??\" and their slashed spellings name devices and the system's namespace.
    if (StartsWith(path, L"\\\\.\\") || StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\??\\"))
        return false;
    if (StartsWith(path, L"\\\\")) {
        std::wstring share, tail;
        return SplitShare(path.substr(2), share, tail) && Compose(kLongUncPrefix + share, tail, longPath);
    }
    if (HasDrive(path) && path.size() > 2 && path[2] == L'\\') {
        const std::wstring root = kLongPrefix + static_cast<wchar_t>(std::towupper(path[0])) + L":\\";
        return Compose(root, path.substr(3), longPath);
    }

    // Relative: start from the folder the system would start from, itself absolute.
    std::wstring base, rest;
    if (HasDrive(path)) {
        base = baseDirectory(path.substr(0, 2));
        rest = path.substr(2);
    } else if (path[0] == L'\\') {
        base = baseDirectory(L"\\");
        rest = path.substr(1);
    } else {
        base = baseDirectory(L".");
        rest = path;
    }
    if (base.empty() || (!StartsWith(base, L"\\\\") && !(HasDrive(base) && base.size() > 2 && base[2] == L'\\')))
        return false;
    return LongTargetPath(base + L"\\" + rest, baseDirectory, longPath);
}

TargetCheck ResolveTarget(const std::wstring& named, ExactTarget& target)
{
    const BaseDirectoryOf systemBase = [](const std::wstring& prefix) {
        // Only a bare drive, a root or "." is asked for: the rules that rename items have no
        // name to work on there.
        const DWORD length = ::GetFullPathNameW(prefix.c_str(), 0, nullptr, nullptr);
        std::wstring base(length, L'\0');
        if (length == 0 || ::GetFullPathNameW(prefix.c_str(), length, &base[0], nullptr) >= length)
            return std::wstring();
        base.resize(length - 1);
        return base;
    };
    std::wstring longPath;
    if (!LongTargetPath(named, systemBase, longPath))
        return TargetCheck::NotAnItem;
    // Only a root ends with its separator here; anything else is read by its own name.
    const DWORD attributes = ::GetFileAttributesW(longPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TargetCheck::Missing;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return TargetCheck::NotAnItem;
    if (!IsVolumeRoot(longPath) && IsLinkEntry(longPath, attributes))
        target = {longPath, TargetKind::Link};
    else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        target = {longPath.back() == L'\\' ? longPath : longPath + L'\\', TargetKind::Folder};
    else
        target = {longPath, TargetKind::File};
    return TargetCheck::Exact;
}

bool IsLinkEntry(const std::wstring& path, DWORD attributes)
{
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    // An entry that cannot be listed counts as a link: nothing behind it is then touched.
    WIN32_FIND_DATAW entry;
    const UniqueFindHandle find(::FindFirstFileW(path.c_str(), &entry));
    return !find || IsLink(entry.dwFileAttributes, entry.dwReserved0);
}

bool IsVolumeRoot(const std::wstring& folder)
{
    std::wstring path = PlainPath(folder);
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    if (!StartsWith(path, L"\\\\"))
        return path.size() == 2 && HasDrive(path);
    std::wstring share, tail;
    return SplitShare(path.substr(2), share, tail) && tail.empty();
}

std::wstring PlainPath(const std::wstring& path)
{
    if (StartsWith(path, kLongUncPrefix, true))
        return L"\\\\" + path.substr(kLongUncPrefix.size());
    if (StartsWith(path, kLongPrefix))
        return path.substr(kLongPrefix.size());
    return path;
}
