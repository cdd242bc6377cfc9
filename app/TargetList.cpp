#include "app/TargetList.h"

#include "engine/TargetPath.h"
#include "handover/TargetListFile.h"
#include "win32/ScopedHandle.h"

#include <windows.h>

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
    if (exact.size() <= temp.size() || !StartsWithName(exact, temp))
        return false;
    const std::wstring name = exact.substr(temp.size());
    return name.find(L'\\') == std::wstring::npos && IsTargetListName(name);
}

} // namespace

bool TakeTargetList(const std::wstring& file, std::vector<std::wstring>& paths)
{
    ExactTarget named;
    if (ResolveTarget(file, named) != TargetCheck::Exact || named.kind != TargetKind::File)
        return false;
    const std::wstring& exact = named.path;
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
