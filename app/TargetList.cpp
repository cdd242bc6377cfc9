#include "app/TargetList.h"

#include "engine/TargetPath.h"
#include "win32/ScopedHandle.h"

#include <windows.h>

#include <cstring>

namespace {

// What the extension's list files are called: GetTempFileNameW's "<prefix><hex>.tmp".
bool IsHandedOverList(const std::wstring& exact)
{
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    std::wstring temp;
    if (length == 0 || length > MAX_PATH || !LongTargetPath(folder, [](const std::wstring&) { return std::wstring(); }, temp))
        return false;
    if (temp.back() != L'\\')
        temp += L'\\';
    if (exact.size() <= temp.size() || ::_wcsnicmp(exact.c_str(), temp.c_str(), temp.size()) != 0)
        return false;
    const std::wstring name = exact.substr(temp.size());
    return name.find(L'\\') == std::wstring::npos && ::_wcsnicmp(name.c_str(), L"mvl", 3) == 0 && name.size() > 7
           && ::_wcsicmp(name.c_str() + name.size() - 4, L".tmp") == 0;
}

} // namespace

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

bool TakeTargetList(const std::wstring& file, std::vector<std::wstring>& paths)
{
    std::wstring exact;
    if (ResolveTarget(file, exact) != TargetCheck::Exact)
        return false;
    std::string bytes;
    {
        const UniqueFile list(::CreateFileW(exact.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER size;
        // A list of many thousand paths is some megabytes; anything far larger is not one.
        if (!list || !::GetFileSizeEx(list.Get(), &size) || size.QuadPart > (64 << 20))
            return false;
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!bytes.empty() && (!::ReadFile(list.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr)
                               || read != bytes.size()))
            return false;
    }
    if (IsHandedOverList(exact))
        ::DeleteFileW(exact.c_str());
    return ParseTargetList(bytes.data(), bytes.size(), paths);
}
