#include "handover/TargetListFile.h"

#include <cstring>
#include <cwctype>

const wchar_t kTargetListPrefix[] = L"mvl";

std::wstring FormatTargetList(const std::vector<std::wstring>& paths)
{
    std::wstring text = L"\uFEFF";
    for (const std::wstring& path : paths)
        text += path + L"\r\n";
    return text;
}

bool ParseTargetList(const void* data, size_t size, std::vector<std::wstring>& paths)
{
    paths.clear();
    if (size % sizeof(wchar_t) != 0)
        return false;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (size)
        std::memcpy(&text[0], data, size);
    size_t at = !text.empty() && text[0] == L'\uFEFF' ? 1 : 0;
    while (at < text.size()) {
        size_t end = text.find_first_of(L"\r\n", at);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > at)
            paths.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return true;
}

bool IsTargetListName(const std::wstring& name)
{
    // GetTempFileNameW uses the first three characters of the prefix and up to four hex digits.
    const size_t prefix = std::wcslen(kTargetListPrefix);
    const std::wstring suffix = L".tmp";
    if (name.size() <= prefix + suffix.size() || name.size() > prefix + 4 + suffix.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = static_cast<wchar_t>(std::towlower(name[i]));
        const bool fits = i < prefix                          ? c == kTargetListPrefix[i]
                          : i < name.size() - suffix.size() ? std::iswxdigit(c) != 0
                                                              : c == suffix[i - (name.size() - suffix.size())];
        if (!fits)
            return false;
    }
    return true;
}
