#include "wipe/WipeFolder.h"

#include "wipe/WipeNotice.h"

#include "engine/DirectoryListing.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <vector>

const wchar_t kWipeFolderName[] = L"Kestrium free space wipe";

const wchar_t kWipeMarkerName[] = L"Kestrium wipe marker.txt";
const char kWipeMarkerText[] = "This folder belongs to a free space wipe of Tarnwick by Kestrium.\r\n"
                               "It is removed when the wipe ends, or when Tarnwick starts next.\r\n";

namespace {

constexpr DWORD kMarkerSize = sizeof(kWipeMarkerText) - 1;
const wchar_t kRecordsName[] = L"records";
const wchar_t kFillSuffix[] = L".fill";
constexpr size_t kFillDigits = 8;
// Far deeper than any records tree: 2^40 records need 40 levels.
constexpr int kMaxRecordDepth = 64;

// The whole listing first: removing entries while the listing runs is not defined everywhere.
// A folder that cannot be listed as itself (gone, or a link put in its place) has none.
std::vector<DirectoryEntry> ListFolder(const std::wstring& folder)
{
    std::vector<DirectoryEntry> entries;
    DirectoryListing listing;
    DirectoryEntry entry;
    if (listing.Open(folder)) {
        while (listing.Next(entry))
            entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Stricter than the erase's link rule: the wipe makes no reparse point of any kind, so an entry
// that is one was put there by someone else and is never the wipe's to remove.
bool IsReparsePoint(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFillName(const std::wstring& name)
{
    const size_t suffix = std::wcslen(kFillSuffix);
    return name.size() == kFillDigits + suffix && name.compare(kFillDigits, suffix, kFillSuffix) == 0
           && std::all_of(name.begin(), name.begin() + kFillDigits, [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Record files are "0" and "1", record folders "2" and "3"; anything else is not the wipe's.
bool RemoveRecordTree(const std::wstring& folder, int depth)
{
    if (depth > kMaxRecordDepth)
        return false;
    bool clean = true;
    for (const DirectoryEntry& entry : ListFolder(folder)) {
        const std::wstring path = folder + entry.name;
        const wchar_t name = entry.name.size() == 1 ? entry.name[0] : L'\0';
        if (IsReparsePoint(entry.attributes))
            clean = false;
        else if (!IsFolder(entry.attributes) && (name == L'0' || name == L'1'))
            clean = ::DeleteFileW(path.c_str()) && clean;
        else if (IsFolder(entry.attributes) && (name == L'2' || name == L'3'))
            clean = RemoveRecordTree(path + L"\\", depth + 1) && ::RemoveDirectoryW(path.c_str()) && clean;
        else
            clean = false;
    }
    return clean;
}

// The marker itself stays for the caller; true when nothing else is left.
bool RemoveOwnEntries(const std::wstring& folder)
{
    bool clean = true;
    for (const DirectoryEntry& entry : ListFolder(folder)) {
        const std::wstring path = folder + entry.name;
        if (IsReparsePoint(entry.attributes))
            clean = false;
        else if (!IsFolder(entry.attributes) && entry.name == kWipeMarkerName)
            continue;
        else if (!IsFolder(entry.attributes) && IsFillName(entry.name))
            clean = ::DeleteFileW(path.c_str()) && clean;
        else if (IsFolder(entry.attributes) && entry.name == kRecordsName)
            clean = RemoveRecordTree(path + L"\\", 0) && ::RemoveDirectoryW(path.c_str()) && clean;
        else
            clean = false;
    }
    return clean;
}

bool HasMarkerContent(HANDLE marker)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(marker, &info) || IsFolder(info.dwFileAttributes)
        || IsReparsePoint(info.dwFileAttributes) || info.nFileSizeHigh != 0 || info.nFileSizeLow != kMarkerSize)
        return false;
    char content[kMarkerSize];
    DWORD read = 0;
    return ::ReadFile(marker, content, kMarkerSize, &read, nullptr) && read == kMarkerSize
           && std::memcmp(content, kWipeMarkerText, kMarkerSize) == 0;
}

} // namespace

int32_t ProblemOfSystemError(DWORD error)
{
    return error == ERROR_HANDLE_DISK_FULL ? kProblemDriveFull : static_cast<int32_t>(error);
}

WipeFolder::~WipeFolder()
{
    // Out of memory while removing: the marker stays, and the next start-up removes the rest.
    try {
        Remove();
    } catch (...) {
    }
}

int32_t WipeFolder::Create(const std::wstring& root)
{
    const std::wstring folder = root + kWipeFolderName;
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS)
            return ProblemOfSystemError(error);
        switch (ClaimLeftover(root)) {
        case Claim::NotOurs:
            return kProblemFolderTaken;
        case Claim::InUse:
            return kProblemWipeRunning;
        case Claim::Claimed:
            if (!Remove())
                return kProblemNotRemoved;
            break;
        }
        if (!::CreateDirectoryW(folder.c_str(), nullptr))
            return ProblemOfSystemError(::GetLastError());
    }
    m_path = folder + L"\\";
    // No sharing of delete or write: a start-up of the program elsewhere cannot take the
    // folder as a leftover while this wipe runs.
    m_marker.Reset(::CreateFileW((m_path + kWipeMarkerName).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!m_marker || !::WriteFile(m_marker.Get(), kWipeMarkerText, kMarkerSize, &written, nullptr)
        || written != kMarkerSize || !::CreateDirectoryW(RecordsPath().c_str(), nullptr)) {
        const DWORD error = ::GetLastError();
        if (!m_marker) {
            ::RemoveDirectoryW(folder.c_str());
            m_path.clear();
        } else {
            Remove();
        }
        return ProblemOfSystemError(error);
    }
    return 0;
}

WipeFolder::Claim WipeFolder::ClaimLeftover(const std::wstring& root)
{
    // Without a final separator: with one, a link would answer for what it points to.
    const std::wstring folder = root + kWipeFolderName;
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !IsFolder(attributes) || IsReparsePoint(attributes))
        return Claim::NotOurs;
    UniqueFile marker(::CreateFileW((folder + L"\\" + kWipeMarkerName).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!marker)
        return ::GetLastError() == ERROR_SHARING_VIOLATION ? Claim::InUse : Claim::NotOurs;
    if (!HasMarkerContent(marker.Get()))
        return Claim::NotOurs;
    m_path = folder + L"\\";
    m_marker = std::move(marker);
    return Claim::Claimed;
}

bool WipeFolder::Remove()
{
    if (m_path.empty())
        return true;
    bool removed = RemoveOwnEntries(m_path);
    if (removed) {
        FILE_DISPOSITION_INFO disposition = {TRUE};
        removed = ::SetFileInformationByHandle(m_marker.Get(), FileDispositionInfo, &disposition, sizeof(disposition));
    }
    m_marker.Reset();
    removed = removed && ::RemoveDirectoryW(m_path.c_str());
    m_path.clear();
    return removed;
}

std::wstring WipeFolder::FillFilePath(unsigned index) const
{
    std::wstring digits = std::to_wstring(index);
    digits.insert(0, kFillDigits > digits.size() ? kFillDigits - digits.size() : 0, L'0');
    return m_path + digits + kFillSuffix;
}

std::wstring WipeFolder::RecordsPath() const
{
    return m_path + kRecordsName + L"\\";
}

std::wstring WipeFolder::RecordFolderPath(const std::wstring& recordsPath, unsigned long long number)
{
    std::wstring below;
    for (; number > 0; number = (number - 1) / 2)
        below.insert(0, (number % 2 == 1 ? L"2" : L"3") + std::wstring(L"\\"));
    return recordsPath + below;
}

void RemoveWipeLeftoverAt(const std::wstring& root)
{
    WipeFolder folder;
    if (folder.ClaimLeftover(root) == WipeFolder::Claim::Claimed)
        folder.Remove();
}

void RemoveWipeLeftovers()
{
    // An empty removable drive must not ask for a disk.
    DWORD previousMode = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode);
    const DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        const std::wstring root = {letter, L':', L'\\'};
        const UINT type = (drives >> (letter - L'A')) & 1 ? ::GetDriveTypeW(root.c_str()) : DRIVE_NO_ROOT_DIR;
        if (type == DRIVE_FIXED || type == DRIVE_REMOVABLE)
            RemoveWipeLeftoverAt(root);
    }
    ::SetThreadErrorMode(previousMode, nullptr);
}
