#pragma once
// The notices only a wipe sends, beside the erase job's, and the problems only a wipe has: how
// each is made and read. A phase or a moment travels in the notice's code, byte and file counts
// in its count.

#include "engine/EraseNotice.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Numbered clear of the erase job's notices.
enum WipeNoticeType : int32_t {
    WipePhaseStarted = 16, // path: the drive's root; code: a WipePhase
    WipeFreeSpace = 17,    // path: the drive's root; code: a FreeSpaceMoment; count.bytes: the free bytes
    // path: the drive's root; count.files: the fill files left unwritten or unverified. The wipe
    // ran to its end, but part of the free space may hold what it held; the job ends terminated.
    WipeIncomplete = 18,
};

enum WipePhase : int32_t {
    kPhaseClusters = 1, // free clusters are filled with the method's passes
    kPhaseRecords = 2,  // free file-table records are taken by small files
    kPhaseRemoving = 3, // everything the wipe made is removed
};

enum FreeSpaceMoment : int32_t {
    kFreeBeforeWipe = 0,
    kFreeAfterWipe = 1,
};

// Problems of a wipe: the wipe stops (or, for the last, goes on removing) whatever the
// answer. The low codes are the system's error numbers for the same situation; a system
// error with no code of its own here is sent as its number.
enum WipeProblemCode : int32_t {
    kProblemNoRights = 5,           // creating the wipe's folder or files was refused
    kProblemWriteProtected = 19,    // read-only media or a volume mounted read-only
    kProblemDriveFull = 112,        // nothing is free to wipe
    kProblemWipeRunning = 32,       // the wipe's folder is held by another wipe of the drive
    kProblemFolderTaken = 183,      // a folder of the wipe's name that is not the wipe's
    kProblemQuota = 1295,           // a disk quota keeps the wipe from reaching all free space
    kProblemNotRemoved = 13900,     // path: the wipe's folder, with something left in it
};

// The named constructors; the root must outlive the notice.
EraseNotice WipePhaseNotice(const std::wstring& root, WipePhase phase);
EraseNotice WipeFreeSpaceNotice(const std::wstring& root, FreeSpaceMoment moment, ULONGLONG bytes);
EraseNotice WipeIncompleteNotice(const std::wstring& root, ULONGLONG fillFilesSkipped);

// The readers, each for its own notice type.
inline WipePhase PhaseOf(const EraseNotice& notice)
{
    return static_cast<WipePhase>(notice.code);
}
inline FreeSpaceMoment MomentOf(const EraseNotice& notice)
{
    return static_cast<FreeSpaceMoment>(notice.code);
}
inline ULONGLONG FreeBytesOf(const EraseNotice& notice)
{
    return notice.count.bytes;
}
inline ULONGLONG FillFilesSkippedOf(const EraseNotice& notice)
{
    return notice.count.files;
}
