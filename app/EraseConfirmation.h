#pragma once
// Between what the user named and a job: every item resolved to its exact form, what the target
// rules refuse refused, and the user asked, once for all items and a second time for whole
// drives and the folders Windows and its programs share. The quiet command line reviews the
// items by the same rules and asks nobody.

#include "engine/TargetPath.h"

#include <windows.h>

#include <string>
#include <vector>

// What the target rules say of the named items before anyone is asked.
struct TargetReview {
    std::vector<ExactTarget> kept; // each item once: one inside another named folder goes with it
    // For each kept item: why it is asked about a second time (a whole drive, or a folder Windows
    // and its programs share); empty where it is not.
    std::vector<std::wstring> whole;
};

// False, with the reason, when an item cannot be erased: then none is.
bool ReviewTargets(const std::vector<std::wstring>& named, TargetReview& review, std::wstring& refusal);

// The drive's root ("E:") and its free space; false, with the reason, when it is no drive whose
// free space can be wiped.
bool ReviewWipe(const std::wstring& drive, std::wstring& root, ULONGLONG& freeBytes, std::wstring& refusal);

// The report's file as a full path; false, with the reason, where its folder is missing, or where
// the job would erase it or its folder.
bool ReviewReportFile(const std::wstring& named, const std::vector<ExactTarget>& targets, std::wstring& path,
                      std::wstring& refusal);

// The exact targets, each once (an item inside another named item is erased with it), when the
// user agreed; false, with the reason shown, when an item cannot be erased, and when the user
// declined. `reportFile`, where given, is the report's file as named, reviewed before the user
// is asked and made a full path.
bool ConfirmErase(HWND owner, const std::vector<std::wstring>& named, std::vector<std::wstring>& targets,
                  std::wstring* reportFile = nullptr);

// The drive's root ("E:") when the user agreed to wipe its free space; false, with the reason
// shown, when it is no drive that can be read, and when the user declined.
bool ConfirmWipe(HWND owner, const std::wstring& drive, std::wstring& root);

// A process's current directory is a handle on a folder: it would keep that folder from being
// removed, and the program would find itself among the folder's holders. Called once relative
// paths have been resolved.
void LeaveCurrentDirectory();

// The paths of the exact targets, as a job takes them.
std::vector<std::wstring> PathsOf(const std::vector<ExactTarget>& targets);
