#pragma once
// What the Application event log hears of every job: one event when it starts and one when it
// ends, under the source "Tarnwick", worded by the message table in Morvane.exe (the setups
// register the source). Administrators collect these with event forwarding.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

enum class JobKind { Erase, FreeSpaceWipe };
enum class JobOutcome {
    Completed,             // every item erased
    CompletedWithProblems, // run to its end, but something was skipped or not removed
    Cancelled,             // by the user: Cancel, "Terminate Erasing", Ctrl+C
    StoppedByError,        // a failure the job could not go past
};

struct JobStartEvent {
    JobKind kind;
    size_t items;
    int methodId;
};

struct JobEndEvent {
    JobKind kind;
    size_t items;
    ULONGLONG bytes;    // erased: the sizes of the files overwritten; a wipe: the free space
    int methodId;
    JobOutcome outcome;
    std::wstring reportPath;  // empty: the job wrote no report
};

// Where events go: the Application log, or a test's recorder. A job's driver writes from one
// thread at a time (its worker's, or its window's where no worker could start).
class EventWriter {
public:
    virtual ~EventWriter() = default;
    // Never fails the job that writes: an event that cannot be written is dropped.
    virtual void Write(WORD type, DWORD messageId, const std::vector<std::wstring>& inserts) = 0;
};

// The Application log under the source "Tarnwick". Without the setups' registration, or for a
// user the log refuses, events are dropped.
class ApplicationEventLog final : public EventWriter {
public:
    ApplicationEventLog();
    void Write(WORD type, DWORD messageId, const std::vector<std::wstring>& inserts) override;

private:
    UniqueEventSource m_source;
};

// "Erase", "Free-space wipe"; "completed", "completed with problems", "cancelled", "stopped by an
// error": the words of the events, the report and the console.
const wchar_t* JobKindText(JobKind kind);
const wchar_t* JobOutcomeText(JobOutcome outcome);

void WriteJobStarted(EventWriter& writer, const JobStartEvent& job);
void WriteJobEnded(EventWriter& writer, const JobEndEvent& job);
