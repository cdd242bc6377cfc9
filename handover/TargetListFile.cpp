#include "handover/TargetListFile.h"

#include <windows.h>

#include <climits>
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

namespace {

// UTF-16 where the bytes say so (its byte-order mark, or the zero bytes its Latin text is full of,
// which UTF-8 text never holds); UTF-8 otherwise, as lists written by hand and by scripts are.
// False where the bytes are neither.
bool DecodeListText(const unsigned char* bytes, size_t size, std::wstring& text)
{
    if ((size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) || std::memchr(bytes, 0, size)) {
        if (size % sizeof(wchar_t) != 0)
            return false;
        text.assign(size / sizeof(wchar_t), L'\0');
        std::memcpy(&text[0], bytes, size);
        return true;
    }
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        bytes += 3;
        size -= 3;
    }
    text.clear();
    if (size == 0)
        return true;
    if (size > INT_MAX)
        return false;
    const char* utf8 = reinterpret_cast<const char*>(bytes);
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, static_cast<int>(size), nullptr, 0);
    if (length <= 0)
        return false;
    text.assign(static_cast<size_t>(length), L'\0');
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, static_cast<int>(size), &text[0], length) == length;
}

} // namespace

bool ParseTargetList(const void* data, size_t size, std::vector<std::wstring>& paths)
{
    paths.clear();
    std::wstring text;
    if (!DecodeListText(static_cast<const unsigned char*>(data), size, text))
        return false;
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
