#include "app/EraseConfirmation.h"

#include "engine/TargetPath.h"
#include "engine/TargetRules.h"
#include "progress/ShortenPathForDisplay.h"
#include "wipe/WipeJob.h"

#include <shlwapi.h>

#include <algorithm>
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

bool IsLinkTarget(const ExactTarget& target)
{
    return target.kind == TargetKind::Link;
}

// Every link named is said to go alone: the user may think of what it points to.
std::wstring Question(const std::vector<ExactTarget>& targets)
{
    if (targets.size() == 1) {
        const std::wstring shown = ShortenPathForDisplay(260, targets.front().path);
        const std::wstring question = L"Do you really want to delete " + shown + L" ?";
        if (!IsLinkTarget(targets.front()))
            return question;
        return question + L"\n\nIt is a link: only the link is removed, not what it points to.";
    }
    std::wstring question = L"Do you really want to delete these " + std::to_wstring(targets.size()) + L" items?\n";
    for (size_t i = 0; i < targets.size() && i < kNamedInQuestion; ++i) {
        question += L"\n" + ShortenPathForDisplay(80, targets[i].path);
        if (IsLinkTarget(targets[i]))
            question += L" (a link: only the link is removed)";
    }
    if (targets.size() > kNamedInQuestion) {
        const auto links = std::count_if(targets.begin() + kNamedInQuestion, targets.end(), IsLinkTarget);
        question += L"\nand " + std::to_wstring(targets.size() - kNamedInQuestion) + L" more";
        if (links)
            question += L", " + std::to_wstring(links) + L" of them links (only the links are removed)";
    }
    return question;
}

std::wstring RefusalText(const std::wstring& named, const std::wstring& target, TargetRefusal refusal)
{
    const std::wstring shown = ShortenPathForDisplay(260, target);
    switch (refusal) {
    case TargetRefusal::HoldsWindows:
        return shown + L" holds the running Windows and cannot be erased: erasing it would wreck the system, and Windows "
                       L"would stop it from completing.";
    case TargetRefusal::InsideWindows:
        return shown + L" is part of the running Windows and cannot be erased: erasing it would wreck the system.";
    case TargetRefusal::StartsWindows:
        return shown + L" is needed to start Windows or to page its memory and cannot be erased: erasing it would wreck "
                       L"the system.";
    case TargetRefusal::NotExamined:
    case TargetRefusal::None:
        break;
    }
    return L"Path " + named + L" cannot be examined, so nothing is erased";
}

const wchar_t* SharedFolderHolds(SharedFolder folder)
{
    switch (folder) {
    case SharedFolder::ProgramFiles:
        return L"the programs installed on this computer";
    case SharedFolder::ProgramData:
        return L"the settings and data of the programs on this computer";
    case SharedFolder::Users:
        return L"the files and settings of every user of this computer";
    case SharedFolder::OwnProfile:
    case SharedFolder::None:
        break;
    }
    return L"your own documents, desktop and settings";
}

// A whole drive, or a folder Windows and its programs share: asked again, with No the default.
bool ConfirmWhole(HWND owner, const ExactTarget& target, SharedFolder shared)
{
    const std::wstring shown = ShortenPathForDisplay(0, target.path);
    if (IsVolumeRoot(target.path)) {
        return Ask(owner,
                   L"Everything on drive " + shown + L" will be erased: every file and folder on it, beyond recovery.\n\n"
                       L"Do you really want to erase the whole drive " + shown + L"?",
                   MB_ICONWARNING | MB_DEFBUTTON2);
    }
    return shared == SharedFolder::None
           || Ask(owner,
                  L"Everything in " + shown + L" will be erased: " + SharedFolderHolds(shared) + L", beyond recovery.\n\n"
                      L"Do you really want to erase the whole folder " + shown + L"?",
                  MB_ICONWARNING | MB_DEFBUTTON2);
}

} // namespace

bool ConfirmErase(HWND owner, const std::vector<std::wstring>& named, std::vector<std::wstring>& targets)
{
    std::vector<ExactTarget> exact(named.size());
    for (size_t i = 0; i < named.size(); ++i) {
        switch (ResolveTarget(named[i], exact[i])) {
        case TargetCheck::Missing:
            ShowError(owner, L"Path " + named[i] + L" not exist");
            return false;
        case TargetCheck::NotAnItem:
            ShowError(owner, L"Path " + named[i] + L" is not a file or folder");
            return false;
        case TargetCheck::Exact:
            break;
        }
    }
    const std::vector<TargetPlace> places = PlaceTargets(exact, RunningSystemPlaces());
    std::vector<ExactTarget> kept;
    std::vector<SharedFolder> shared;
    for (size_t i = 0; i < exact.size(); ++i) {
        if (places[i].refusal != TargetRefusal::None) {
            ShowError(owner, RefusalText(named[i], exact[i].path, places[i].refusal));
            return false;
        }
        if (!places[i].erasedWithAnother) {
            kept.push_back(exact[i]);
            shared.push_back(places[i].shared);
        }
    }
    if (kept.empty() || !Ask(owner, Question(kept), MB_ICONQUESTION))
        return false;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (!ConfirmWhole(owner, kept[i], shared[i]))
            return false;
    }
    targets.clear();
    for (const ExactTarget& target : kept)
        targets.push_back(target.path);
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
