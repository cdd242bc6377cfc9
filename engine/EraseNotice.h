#pragma once
// The one record through which the erasing engine reports to the job driver, and the
// answers that come back.
//
// Every notice of a job is sent on the job's worker thread, one at a time, and the worker waits
// for the answer. The count that runs beside an erase job (on a thread of its own) sends none:
// its figures reach the driver in the worker's Progress and Counted notices.

#include <windows.h>

#include <cstdint>

enum NoticeType : int32_t {
    JobStarted = 0,
    JobCompleted = 1,
    JobTerminated = 2,
    Problem = 3,
    Progress = 4,
    FileStarted = 5,
    FileOverwritten = 6,
    FolderStarted = 7,
    // One per item the job met (a file, a link, a folder, a drive's root), once it is done
    // with: what became of it.
    ItemFinished = 11,
    // The files and bytes the count beside the job has found, while it runs and once it ends.
    Counted = 12,
};

enum class ItemKind : int32_t {
    File = 0,
    FileWithStreams = 1, // a file with named data streams beside its main one
    Link = 2,            // a junction, symbolic link or mount point: only the link itself
    Folder = 3,
    DriveRoot = 4,       // never removed: emptied
};

enum class ItemOutcome : int32_t {
    Erased = 0,       // a file overwritten and its names removed; a folder removed; a drive emptied
    NamesRemoved = 1, // a file's names in the job removed; its content stays under its names elsewhere
    LinkRemoved = 2,  // the link removed; what it points to untouched
    Skipped = 3,      // left as it was after the problem in `code`
    NotRemoved = 4,   // still there for the reason in `code`: a folder not empty, a link the
                      // system cannot remove alone, a file whose overwritten content stays
                      // under a scrambled name
    Interrupted = 5,  // the job stopped while at it; a file may be partly overwritten
};

// ItemFinished: the item's kind, its data in bytes (named streams included) and its fate.
struct ItemEnd {
    ItemKind kind;
    ItemOutcome outcome;
    ULONGLONG size;
    // The last pass was read back past the cache and matched what was written.
    bool verified;
    // Earlier clusters of the item may remain in the drive's free space: a compressed, sparse or
    // encrypted file whose freed clusters the file system would not zero. A free-space wipe of
    // the drive removes them.
    bool mayRemainInFreeSpace;
    // A further name of a file whose content the job overwrote through another name: its size
    // is that one content's, which the job's bytes count once, with the name it went through.
    bool erasedWithAnotherName;
};

// What the count beside an erase job has found so far.
struct JobCount {
    ULONGLONG files;
    ULONGLONG bytes; // data of the files, named streams included once the worker met them
    bool complete;   // the count has ended: the bytes are the job's total
};

struct EraseNotice {
    int32_t type;           // a NoticeType
    const wchar_t* path;    // the sender's copy, alive for the call only; may be null
    const wchar_t* owner;   // lock reports only: the owning process's name; may be null
    int32_t filePercent;    // Progress only
    int32_t totalPercent;   // Progress only; 0 while the job's size is being counted
    int32_t code;           // Problem: a ProblemCode; ItemFinished: the problem behind a
                            // skip or a failed removal, or one told on the way (a renaming
                            // that stopped part-way), else 0; a wipe's notices: see WipeNotice.h
    ItemEnd item = {};      // ItemFinished only
    JobCount count = {};    // Progress and Counted only; a wipe's free space: see WipeNotice.h
};

// Called synchronously on the sender's thread; the result is read for Problem notices only.
using NoticeCallback = int32_t (*)(EraseNotice* notice);

// Answers to a Problem notice; every other value means Terminate.
constexpr int32_t kAnswerRetry = 3;
constexpr int32_t kAnswerSkip = 5;
constexpr int32_t kAnswerTerminate = 7;
// What the driver answers to notices it has no answer for.
constexpr int32_t kNoAnswer = 0;

// The low codes are the system's error numbers for the same situation.
enum ProblemCode : int32_t {
    kProblemNoMemory = 14,
    kProblemFolderNotRemovable = 16,
    kProblemSeek = 25,
    kProblemWrite = 29,
    kProblemOpen = 110,
    // A folder that still holds something (an item that was skipped or could not go): no
    // process is to blame, and nothing is asked.
    kProblemFolderNotEmpty = 145,
    // A link that could not be removed without what it points to: where the system shows a
    // handle on the link as what it points to, or the item at its name is no link any more.
    kProblemLinkNotRemovable = 4390,
    kProblemDeleteFailed = 13886,
    kProblemCloseHandleFailed = 13888,
    kProblemKillFailed = 13889,
    kProblemFileLocked = 13890,
    kProblemFolderInUse = 13892,
    kProblemFolderInUseAgain = 13893,
    kProblemFolderStillInUse = 13894,
    // Held by a process Windows needs: neither unlocked nor ended; answered Skip or Terminate.
    kProblemFileHeldByWindows = 13895,
    kProblemFolderHeldByWindows = 13896,
    // The named streams of a file or folder could not be listed: some may be left unwritten.
    kProblemStreamsNotListed = 13897,
    // A drive's root could not be listed (a drive removed, a disk unreadable): what is on it
    // is unknown.
    kProblemRootNotListed = 13898,
    // Told, not asked (the path is the name reached): the renaming stopped there, as a file of
    // the next name exists; the file is deleted under that name.
    kProblemRenameStopped = 13899,
    // The last pass read back past the cache differs from what was written, or could not be read.
    kProblemVerifyFailed = 13901,
    // The file kept growing while it was overwritten (another process writes to it): its new
    // end may hold data no pass reached.
    kProblemFileGrew = 13902,
};

// Sends one notice. The path is copied for the call and freed after it; when the copy
// cannot be made, a Problem 14 without a path goes out instead and Terminate is returned.
int32_t SendNotice(NoticeCallback notify, const EraseNotice& notice);
// A notice of the job (JobStarted, JobCompleted, JobTerminated) or about an item (FileStarted,
// FileOverwritten, FolderStarted), which carries its path only.
int32_t SendNotice(NoticeCallback notify, NoticeType type, const wchar_t* path = nullptr);

// A problem with an item, and the user's answer; the owner names the process that holds it.
int32_t SendProblem(NoticeCallback notify, const wchar_t* path, int32_t code);
int32_t SendProblem(NoticeCallback notify, const wchar_t* path, const wchar_t* owner, int32_t code);
// No working memory could be had; the job ends.
void SendNoMemory(NoticeCallback notify);
void SendProgress(NoticeCallback notify, const wchar_t* path, int32_t filePercent, int32_t totalPercent,
                  const JobCount& count);
void SendItemFinished(NoticeCallback notify, const wchar_t* path, const ItemEnd& end, int32_t code = 0);
void SendCounted(NoticeCallback notify, const JobCount& count);

// Whether a failed open or removal is one that another process's handle causes, and so one
// whose holder is worth looking for. Access denied, a folder that is not empty and the rest
// are problems of their own, which no process holds.
inline bool IsHolderError(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}
