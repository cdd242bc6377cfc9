#include "app/EraseConfirmation.h"

#include "engine/TargetRules.h"
#include "progress/ShortenPathForDisplay.h"
#include "wipe/WipeJob.h"

#include <algorithm>

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

// Why the item is asked about a second time; empty where it is not.
std::wstring WholeText(const ExactTarget& target, SharedFolder shared)
{
    const std::wstring shown = ShortenPathForDisplay(0, target.path);
    if (IsVolumeRoot(target.path))
        return L"Everything on drive " + shown + L" will be erased: every file and folder on it, beyond recovery.";
    if (shared == SharedFolder::None)
        return std::wstring();
    return L"Everything in " + shown + L" will be erased: " + SharedFolderHolds(shared) + L", beyond recovery.";
}

// The second question, with No the default.
bool ConfirmWhole(HWND owner, const ExactTarget& target, const std::wstring& whole)
{
    const std::wstring shown = ShortenPathForDisplay(0, target.path);
    return whole.empty()
           || Ask(owner,
                  whole + L"\n\nDo you really want to erase the whole " + (IsVolumeRoot(target.path) ? L"drive " : L"folder ")
                      + shown + L"?",
                  MB_ICONWARNING | MB_DEFBUTTON2);
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(0, slash + 1);
}

std::wstring FullPath(const std::wstring& named)
{
    const DWORD length = ::GetFullPathNameW(named.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    const DWORD written = length ? ::GetFullPathNameW(named.c_str(), length, &full[0], nullptr) : 0;
    full.resize(written < length ? written : 0);
    return full;
}

} // namespace

void LeaveCurrentDirectory()
{
    wchar_t system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        ::SetCurrentDirectoryW(system);
}

std::vector<std::wstring> PathsOf(const std::vector<ExactTarget>& targets)
{
    std::vector<std::wstring> paths;
    for (const ExactTarget& target : targets)
        paths.push_back(target.path);
    return paths;
}

bool ReviewTargets(const std::vector<std::wstring>& named, TargetReview& review, std::wstring& refusal)
{
    std::vector<ExactTarget> exact(named.size());
    for (size_t i = 0; i < named.size(); ++i) {
        switch (ResolveTarget(named[i], exact[i])) {
        case TargetCheck::Missing:
            refusal = L"Path " + named[i] + L" not exist";
            return false;
        case TargetCheck::NotAnItem:
            refusal = L"Path " + named[i] + L" is not a file or folder";
            return false;
        case TargetCheck::Exact:
            break;
        }
    }
    const std::vector<TargetPlace> places = PlaceTargets(exact, RunningSystemPlaces());
    review = TargetReview();
    for (size_t i = 0; i < exact.size(); ++i) {
        if (places[i].refusal != TargetRefusal::None) {
            refusal = RefusalText(named[i], exact[i].path, places[i].refusal);
            return false;
        }
        if (!places[i].erasedWithAnother) {
            review.kept.push_back(exact[i]);
            review.whole.push_back(WholeText(exact[i], places[i].shared));
        }
    }
    return true;
}

bool ReviewWipe(const std::wstring& drive, std::wstring& root, ULONGLONG& freeBytes, std::wstring& refusal)
{
    root = DriveRootOf(drive);
    if (!root.empty() && QueryFreeBytes(root, freeBytes))
        return true;
    refusal = L"\"" + drive + L"\" is no drive whose free space can be wiped";
    return false;
}

bool ReviewReportFile(const std::wstring& named, const std::vector<ExactTarget>& targets, std::wstring& path,
                      std::wstring& refusal)
{
    path = FullPath(named);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path.c_str());
    ExactTarget folder;
    if (path.empty() || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        || ResolveTarget(FolderOf(path), folder) != TargetCheck::Exact || folder.kind == TargetKind::File) {
        refusal = L"The report cannot be written to " + named + L": its folder does not exist, or it is a folder";
        return false;
    }
    // The report's folder, and the report where it exists already, each placed among the targets
    // alone, by the rules that find an item inside another: placed together, the report would be
    // found inside its own folder.
    std::vector<ExactTarget> candidates = {folder};
    ExactTarget file;
    if (attributes != INVALID_FILE_ATTRIBUTES && ResolveTarget(path, file) == TargetCheck::Exact)
        candidates.push_back(file);
    for (const ExactTarget& candidate : candidates) {
        std::vector<ExactTarget> placed = targets;
        placed.push_back(candidate);
        if (PlaceTargets(placed, RunningSystemPlaces()).back().erasedWithAnother) {
            refusal = L"The report " + path + L" would be erased with the items named: write it somewhere else";
            return false;
        }
    }
    return true;
}

bool ConfirmErase(HWND owner, const std::vector<std::wstring>& named, std::vector<std::wstring>& targets,
                  std::wstring* reportFile)
{
    TargetReview review;
    std::wstring refusal;
    const std::wstring reportNamed = reportFile ? *reportFile : L"";
    if (!ReviewTargets(named, review, refusal)
        || (reportFile && !ReviewReportFile(reportNamed, review.kept, *reportFile, refusal))) {
        ShowError(owner, refusal);
        return false;
    }
    if (review.kept.empty() || !Ask(owner, Question(review.kept), MB_ICONQUESTION))
        return false;
    for (size_t i = 0; i < review.kept.size(); ++i) {
        if (!ConfirmWhole(owner, review.kept[i], review.whole[i]))
            return false;
    }
    targets = PathsOf(review.kept);
    return true;
}

bool ConfirmWipe(HWND owner, const std::wstring& drive, std::wstring& root)
{
    ULONGLONG freeBytes = 0;
    std::wstring refusal;
    if (!ReviewWipe(drive, root, freeBytes, refusal)) {
        ShowError(owner, refusal);
        return false;
    }
    return Ask(owner,
               L"Do you want to wipe the free space of drive " + root + L" ?\n\n" + ByteSizeText(freeBytes)
                   + L" of free space will be overwritten, so that files deleted from the drive before cannot be "
                     L"recovered. The files on the drive are not touched. The drive is full while the wipe runs.",
               MB_ICONQUESTION);
}
