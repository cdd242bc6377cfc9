#include "app/EraseConfirmation.h"

#include "engine/TargetPath.h"
#include "progress/ShortenPathForDisplay.h"
#include "wipe/WipeJob.h"

#include <shlwapi.h>

#include <iterator>

namespace {

const wchar_t kCaption[] = L"Tarnwick";
const wchar_t kErrorCaption[] = L"Tarnwick :: Error";
// Items the question names; the rest are counted.
constexpr size_t kNamedInQuestion = 5;

void ShowError(HWND owner, const std::wstring& text)
{
    ::MessageBoxW(owner, text.c_str(), kErrorCaption, MB_OK | MB_ICONERROR);
}

bool Ask(HWND owner, const std::wstring& question, UINT style)
{
    return ::MessageBoxW(owner, question.c_str(), kCaption, MB_YESNO | style) == IDYES;
}

// Same names on the file systems the program erases on: letter case does not tell items apart.
bool SameText(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength)
{
    return ::CompareStringOrdinal(a, static_cast<int>(aLength), b, static_cast<int>(bLength), TRUE) == CSTR_EQUAL;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return SameText(a.c_str(), a.size(), b.c_str(), b.size());
}

// Whether `path` is `target` or lies below it; both exact, a folder with its final separator.
// Asked for every pair of several thousand items, so it compares in place.
bool IsWithin(const std::wstring& path, const std::wstring& target)
{
    if (target.back() != L'\\')
        return SamePath(path, target);
    const size_t folder = target.size() - 1;
    return path.size() >= folder && SameText(path.c_str(), folder, target.c_str(), folder)
           && (path.size() == folder || path[folder] == L'\\');
}

std::wstring Question(const std::vector<std::wstring>& targets)
{
    if (targets.size() == 1)
        return L"Do you really want to delete " + ShortenPathForDisplay(260, targets.front()) + L" ?";
    std::wstring question = L"Do you really want to delete these " + std::to_wstring(targets.size()) + L" items?\n";
    for (size_t i = 0; i < targets.size() && i < kNamedInQuestion; ++i)
        question += L"\n" + ShortenPathForDisplay(80, targets[i]);
    if (targets.size() > kNamedInQuestion)
        question += L"\nand " + std::to_wstring(targets.size() - kNamedInQuestion) + L" more";
    return question;
}

} // namespace

bool HoldsRunningWindows(const std::wstring& target)
{
    // The Windows folder's exact form, without its separator; asked once per run, not per item.
    static const std::wstring windows = [] {
        wchar_t folder[MAX_PATH];
        const UINT length = ::GetSystemWindowsDirectoryW(folder, MAX_PATH);
        std::wstring exact;
        if (length == 0 || length >= MAX_PATH || ResolveTarget(folder, exact) != TargetCheck::Exact)
            return std::wstring();
        exact.pop_back();
        return exact;
    }();
    return !windows.empty() && IsWithin(windows, target);
}

std::vector<std::wstring> WithoutNestedTargets(const std::vector<std::wstring>& targets)
{
    std::vector<std::wstring> kept;
    for (size_t i = 0; i < targets.size(); ++i) {
        bool inside = false;
        for (size_t j = 0; j < targets.size() && !inside; ++j) {
            // Of two items named alike, the first stays.
            inside = j != i && IsWithin(targets[i], targets[j])
                     && (!SamePath(targets[i], targets[j]) || j < i);
        }
        if (!inside)
            kept.push_back(targets[i]);
    }
    return kept;
}

bool ConfirmErase(HWND owner, const std::vector<std::wstring>& named, std::vector<std::wstring>& targets)
{
    std::vector<std::wstring> exact;
    for (const std::wstring& item : named) {
        std::wstring target;
        switch (ResolveTarget(item, target)) {
        case TargetCheck::Missing:
            ShowError(owner, L"Path " + item + L" not exist");
            return false;
        case TargetCheck::NotAnItem:
            ShowError(owner, L"Path " + item + L" is not a file or folder");
            return false;
        case TargetCheck::Exact:
            break;
        }
        if (HoldsRunningWindows(target)) {
            ShowError(owner, ShortenPathForDisplay(260, target)
                                 + L" holds the running Windows and cannot be erased: erasing it would wreck the system, "
                                   L"and Windows would stop it from completing.");
            return false;
        }
        exact.push_back(target);
    }
    exact = WithoutNestedTargets(exact);
    if (exact.empty() || !Ask(owner, Question(exact), MB_ICONQUESTION))
        return false;
    for (const std::wstring& target : exact) {
        if (!IsVolumeRoot(target))
            continue;
        const std::wstring drive = ShortenPathForDisplay(0, target);
        if (!Ask(owner,
                 L"Everything on drive " + drive + L" will be erased: every file and folder on it, beyond recovery.\n\n"
                     L"Do you really want to erase the whole drive " + drive + L"?",
                 MB_ICONWARNING | MB_DEFBUTTON2))
            return false;
    }
    targets = exact;
    return true;
}

bool ConfirmWipe(HWND owner, const std::wstring& drive, std::wstring& root)
{
    root = DriveRootOf(drive.c_str());
    ULONGLONG freeBytes = 0;
    if (root.empty() || !QueryFreeBytes(root, freeBytes)) {
        ShowError(owner, L"\"" + drive + L"\" is no drive whose free space can be wiped");
        return false;
    }
    wchar_t size[32] = {};
    ::StrFormatByteSizeW(static_cast<LONGLONG>(freeBytes), size, static_cast<UINT>(std::size(size)));
    return Ask(owner,
               L"Do you want to wipe the free space of drive " + root + L" ?\n\n" + size
                   + L" of free space will be overwritten, so that files deleted from the drive before cannot be "
                     L"recovered. The files on the drive are not touched. The drive is full while the wipe runs.",
               MB_ICONQUESTION);
}
