#pragma once
// Wiping a drive's free space: every free cluster is overwritten through files of the wipe's
// own, the free records of the file table are taken by small files, then all of it is removed.
// Runs on a worker thread and reports through the erase job's notices.

#include "engine/CancelFlag.h"
#include "engine/EraseNotice.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Notices only a wipe sends, numbered clear of the erase job's.
enum WipeNoticeType : int32_t {
    WipePhaseStarted = 16, // code: a WipePhase; path: the drive's root
    WipeFreeSpace = 17,    // code: a FreeSpaceMoment; the byte count is read with FreeBytesOf
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

// The wipe's own folder at a drive's root; a user's folder never has this name and the
// marker inside with the marker's exact content.
extern const wchar_t kWipeFolderName[];

// The byte count of a WipeFreeSpace notice, carried in the two percent fields.
ULONGLONG FreeBytesOf(const EraseNotice& notice);

// "E:", "e:\" -> "E:\"; empty for anything that is not a drive letter's root.
std::wstring DriveRootOf(const wchar_t* drive);

// The free bytes of the drive, as the system counts them for everyone.
bool QueryFreeBytes(const std::wstring& root, ULONGLONG& freeBytes);

struct WipeJob {
    std::wstring drive; // "E:" or "E:\"
    int32_t methodId;   // as for erasing
    NoticeCallback notify;
    CancelFlag* cancel;
};

// The worker thread's procedure; its argument is the WipeJob, alive until the job ends.
DWORD WINAPI RunWipeJob(LPVOID job);

// Removes the wipe's folder at the root ("E:\") when it is a leftover of an interrupted wipe.
void RemoveWipeLeftoverAt(const std::wstring& root);
// Removes what interrupted wipes left on the fixed and removable drives: only folders that are
// unmistakably the wipe's and only what a wipe puts in them. Call at start-up.
void RemoveWipeLeftovers();
