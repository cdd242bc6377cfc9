#pragma once
// Which of the items a user named may be erased, and which are erased with another: decided by
// what the file system says each item is, not by how it was spelled. A short name, another
// letter case, a second drive letter for the same folder, a share of a local drive or a path
// through a link all lead to one place, so the Windows folder is refused under any name, and an
// item named twice, or inside another named folder, is erased once.

#include "engine/TargetPath.h"

#include <string>
#include <utility>
#include <vector>

// The folders whose loss takes more than the user's own files with it: asked a second time.
enum class SharedFolder { None, ProgramFiles, ProgramData, Users, OwnProfile };

// Where the system keeps what an erase must never reach.
struct SystemPlaces {
    std::wstring windows;   // the running Windows' folder
    std::wstring bootDrive; // the root of the drive it starts from, with its boot and paging files
    std::vector<std::pair<std::wstring, SharedFolder>> shared;
};

// The running system's places, as Windows itself names them.
SystemPlaces RunningSystemPlaces();

enum class TargetRefusal {
    None,
    HoldsWindows,  // the Windows folder, a folder above it, or its drive
    InsideWindows, // something in the Windows folder
    StartsWindows, // a boot or paging file or folder of the system drive, or something in one
    NotExamined,   // the item, or the folder that holds it, cannot be opened to tell where it is
};

struct TargetPlace {
    TargetRefusal refusal = TargetRefusal::None;
    // A folder that is, or holds, one of the shared folders.
    SharedFolder shared = SharedFolder::None;
    // Inside another named folder, or the same item as one named before it.
    bool erasedWithAnother = false;
};

// One place per target, in their order. Folders above many targets are opened once, so that
// tens of thousands of targets take about as long as reading their names.
std::vector<TargetPlace> PlaceTargets(const std::vector<ExactTarget>& targets, const SystemPlaces& system);
