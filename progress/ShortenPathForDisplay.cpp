#include "progress/ShortenPathForDisplay.h"

#include "engine/TargetPath.h"

#include <shlwapi.h>

#include <iterator>

std::wstring ShortenPathForDisplay(int maxLength, const std::wstring& path)
{
    if (path.size() <= 3)
        return path; // a drive root keeps its separator
    // The trailing run goes first, so a folder's "\" and the prefix "\\?\" both go.
    const std::wstring::size_type last = path.find_last_not_of(L"\\?");
    if (last == std::wstring::npos)
        return std::wstring();
    const std::wstring trimmed = path.substr(0, last + 1);
    // A network path keeps the "\\" that makes it one.
    const std::wstring plain = PlainPath(trimmed);
    const bool network = plain.compare(0, 2, L"\\\\") == 0;
    const std::wstring shown = network ? plain : trimmed.substr(trimmed.find_first_not_of(L"\\?"));

    if (maxLength == 0 || shown.size() <= static_cast<size_t>(maxLength))
        return shown;
    const std::wstring::size_type separator = shown.find(L'\\', network ? 2 : 0);
    const std::wstring head = separator == std::wstring::npos ? std::wstring() : shown.substr(0, separator + 1);
    const long tailLength = static_cast<long>(maxLength) - static_cast<long>(head.size()) - 3;
    const std::wstring tail = tailLength > 0 ? shown.substr(shown.size() - static_cast<size_t>(tailLength)) : std::wstring();
    return head + L"..." + tail;
}

std::wstring ByteSizeText(ULONGLONG bytes)
{
    wchar_t text[32] = {};
    ::StrFormatByteSizeW(static_cast<LONGLONG>(bytes), text, static_cast<UINT>(std::size(text)));
    return text;
}
