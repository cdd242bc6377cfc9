#include "engine/TargetPath.h"

#include "engine/TreeWalk.h"

#include <cwctype>
#include <vector>

namespace {

const std::wstring kLong = kLongPrefix;
const std::wstring kLongUnc = kLongUncPrefix;

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
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

// An absolute path in the long form, whose names are taken as they stand.
bool FromLongForm(const std::wstring& path, std::wstring& longPath)
{
    const std::wstring rest = path.substr(kLong.size());
    if (StartsWithDrive(rest) && (rest.size() == 2 || rest[2] == L'\\')) {
        const std::wstring root = kLong + static_cast<wchar_t>(std::towupper(rest[0])) + L":\\";
        return Compose(root, rest.size() > 3 ? rest.substr(3) : std::wstring(), longPath);
    }
    std::wstring share, tail;
    if (StartsWithName(path, kLongUnc) && SplitShare(path.substr(kLongUnc.size()), share, tail))
        return Compose(kLongUnc + share, tail, longPath);
    // GLOBALROOT, volume names, pipes: not a drive or share path.
    return false;
}

} // namespace

bool LongTargetPath(const std::wstring& named, const BaseDirectoryOf& baseDirectory, std::wstring& longPath)
{
    if (named.empty())
        return false;
    if (StartsWith(named, kLong))
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
        return SplitShare(path.substr(2), share, tail) && Compose(kLongUnc + share, tail, longPath);
    }
    if (StartsWithDrive(path) && path.size() > 2 && path[2] == L'\\') {
        const std::wstring root = kLong + static_cast<wchar_t>(std::towupper(path[0])) + L":\\";
        return Compose(root, path.substr(3), longPath);
    }

    // Relative: start from the folder the system would start from, itself absolute.
    std::wstring base, rest;
    if (StartsWithDrive(path)) {
        base = baseDirectory(path.substr(0, 2));
        rest = path.substr(2);
    } else if (path[0] == L'\\') {
        base = baseDirectory(L"\\");
        rest = path.substr(1);
    } else {
        base = baseDirectory(L".");
        rest = path;
    }
    if (base.empty() || (!StartsWith(base, L"\\\\") && !(StartsWithDrive(base) && base.size() > 2 && base[2] == L'\\')))
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
    // Read as the worker reads it: by its own name (only a root ends with its separator here,
    // and has no entry of its own: it is there where its attributes can be read).
    TargetItem item;
    if (!ReadTarget(longPath, item) || (item.isRoot && ::GetFileAttributesW(longPath.c_str()) == INVALID_FILE_ATTRIBUTES))
        return TargetCheck::Missing;
    if (item.entry.attributes & FILE_ATTRIBUTE_DEVICE)
        return TargetCheck::NotAnItem;
    if (item.isLink)
        target = {longPath, TargetKind::Link};
    else if (item.isFolder)
        target = {longPath.back() == L'\\' ? longPath : longPath + L'\\', TargetKind::Folder};
    else
        target = {longPath, TargetKind::File};
    return TargetCheck::Exact;
}
