#pragma once
// The one record through which the erasing engine reports to the job driver, and the
// answers that come back.

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
    FolderRemoved = 8,
    // A volume root whose content the job erased: a root is never removed.
    RootEmptied = 9,
    // One name of a file that has further names outside the job: that name was removed, the
    // file's content was left as it is.
    NameRemoved = 10,
};

struct EraseNotice {
    int32_t type;           // a NoticeType
    const wchar_t* path;    // the sender's copy, alive for the call only; may be null
    const wchar_t* owner;   // lock reports only: the owning process's name; may be null
    int32_t filePercent;    // Progress only
    int32_t totalPercent;   // Progress only
    int32_t code;           // Problem only: a ProblemCode
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
    // A folder that still holds something (an item that was skipped or could not go): no
    // process is to blame, and nothing is asked.
    kProblemFolderNotEmpty = 145,
    kProblemSeek = 25,
    kProblemWrite = 29,
    kProblemOpen = 110,
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
};

// Sends one notice. The path is copied for the call and freed after it; when the copy
// cannot be made, a Problem 14 without a path goes out instead and Terminate is returned.
int32_t SendNotice(NoticeCallback notify, NoticeType type, const wchar_t* path = nullptr,
                   const wchar_t* owner = nullptr, int32_t filePercent = 0, int32_t totalPercent = 0,
                   int32_t code = 0);
