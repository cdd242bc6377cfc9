#include "tests/support/Links.h"

#include "tests/support/HolderProcess.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace {

// The mount-point form of the reparse data (not in the headers the toolchain ships).
struct MountPointReparseData {
    DWORD ReparseTag;
    USHORT ReparseDataLength;
    USHORT Reserved;
    USHORT SubstituteNameOffset;
    USHORT SubstituteNameLength;
    USHORT PrintNameOffset;
    USHORT PrintNameLength;
    WCHAR PathBuffer[1];
};

bool IsReparsePoint(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeJunction(const std::wstring& link, const std::wstring& target)
{
    if (!::CreateDirectoryW(link.c_str(), nullptr))
        return false;
    UniqueFile dir(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!dir)
        return false;
    const std::wstring substitute = L"\\??\\" + target;
    const size_t substituteBytes = substitute.size() * sizeof(wchar_t);
    const size_t printBytes = target.size() * sizeof(wchar_t);
    const size_t pathBytes = substituteBytes + printBytes + 2 * sizeof(wchar_t);
    std::vector<BYTE> buffer(offsetof(MountPointReparseData, PathBuffer) + pathBytes);
    auto* data = reinterpret_cast<MountPointReparseData*>(buffer.data());
    data->ReparseTag = IO_REPARSE_TAG_MOUNT_POINT;
    data->ReparseDataLength = static_cast<USHORT>(buffer.size() - 8);
    data->SubstituteNameLength = static_cast<USHORT>(substituteBytes);
    data->PrintNameOffset = static_cast<USHORT>(substituteBytes + sizeof(wchar_t));
    data->PrintNameLength = static_cast<USHORT>(printBytes);
    BYTE* names = reinterpret_cast<BYTE*>(data->PathBuffer);
    std::memcpy(names, substitute.c_str(), substituteBytes);
    std::memcpy(names + data->PrintNameOffset, target.c_str(), printBytes);
    DWORD returned = 0;
    return ::DeviceIoControl(dir.Get(), FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                             nullptr, 0, &returned, nullptr) != FALSE;
}

// The Unix name Wine gives a Windows path; empty where there is none.
std::wstring UnixName(const std::wstring& path)
{
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!name)
        return L"";
    const std::string text(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return std::wstring(text.begin(), text.end());
}

// Wine starts Unix programs it is asked to run, and shows a Unix symbolic link to a folder as
// a folder reparse point, but gives no handle on a Unix process: the link appears a moment after
// ln has started, and that is what tells that it ran. Both paths go to ln
// whole: Wine overruns its memory when a program is started in a folder past 260 characters.
bool MakeUnixSymlink(const std::wstring& link, const std::wstring& target)
{
    const size_t slash = link.find_last_of(L'\\');
    const std::wstring unixTarget = UnixName(target), unixFolder = UnixName(link.substr(0, slash));
    if (unixTarget.empty() || unixFolder.empty())
        return false;
    StartProcess(L"Z:\\bin\\ln -s " + Quoted(unixTarget) + L" " + Quoted(unixFolder + L"/" + link.substr(slash + 1)));
    for (int i = 0; i < 300 && !IsReparsePoint(link); ++i)
        ::Sleep(10);
    return IsReparsePoint(link);
}

} // namespace

bool MakeFolderLink(const std::wstring& link, const std::wstring& target)
{
    if (MakeJunction(link, target))
        return true;
    ::RemoveDirectoryW(link.c_str());
    return MakeUnixSymlink(link, target);
}

void RemoveTreeWithLinks(const std::wstring& path)
{
    const std::wstring unixPath = UnixName(path);
    if (unixPath.empty()) {
        RemoveTree(path);
        return;
    }
    StartProcess(L"Z:\\bin\\rm -rf " + Quoted(unixPath));
    for (int i = 0; i < 3000 && PathExists(path); ++i)
        ::Sleep(10);
}

bool MakeFileSymlink(const std::wstring& link, const std::wstring& target)
{
    return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), 0) && IsReparsePoint(link);
}

std::string ReadWholeFile(const std::wstring& path)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return "<missing>";
    std::string content;
    char chunk[65536];
    DWORD read = 0;
    while (::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
        content.append(chunk, read);
    return content;
}
