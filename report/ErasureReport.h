#pragma once
// The record a job leaves: the program and its version, the computer and the user, when the job
// ran (local time and UTC), how (method, passes, verification), what became of every item, and
// totals. Saved as an HTML page a person reads and prints (self-contained: no script, nothing
// fetched) and as JSON for programs, both UTF-8. Items go to temporary files as they come, so
// that the number of items costs no memory; an item's name is written, never its content.

#include "eventlog/JobEvents.h"
#include "report/ReportSpool.h"

#include <windows.h>

#include <string>

enum class ReportFormat { Html, Json };

// By the name's extension, in any case: ".html" or ".htm" for the page, ".json"; false for any
// other.
bool ReportFormatOf(const std::wstring& path, ReportFormat& format);

// One item of the job: a file, a link, a folder, a drive's root, or the free space of a wipe.
struct ReportItem {
    enum class Kind { File, FileWithStreams, Link, Folder, Drive, FreeSpace };
    enum class Result {
        Erased,       // overwritten and gone; a folder removed, a drive emptied, free space overwritten
        NamesRemoved, // the names of a file that keeps its content under names outside the job
        LinkRemoved,  // the link alone: what it points to is untouched
        Skipped,      // left as it was
        NotRemoved,   // overwritten or emptied, but still there
        Interrupted,  // the job stopped while at it: a file may be partly overwritten
    };
    static constexpr int kResultCount = 6;

    std::wstring path;
    Kind kind = Kind::File;
    ULONGLONG size = 0;
    Result result = Result::Erased;
    bool verified = false;                 // the last pass was read back and matched
    bool earlierClustersMayRemain = false; // stored out of place: a free-space wipe removes them
    // A further name of a file erased through another item: its size is counted with that one.
    bool erasedWithAnotherName = false;
    std::wstring reason;                   // of a skip or of a failed removal
};

// What became of the item as a person reads it: "erased and verified", "removed" (a folder),
// "skipped: " and the reason, with a warning where earlier clusters may remain.
std::wstring ItemResultText(const ReportItem& item);

// "erased", "names removed (content kept)", ...: what a count of items by their result is called.
const wchar_t* ResultTotalText(ReportItem::Result result);

// One moment, as the computer's clock shows it and in UTC.
struct ReportTime {
    SYSTEMTIME utc = {};
    SYSTEMTIME local = {};
    static ReportTime Now();
};

struct ReportHead {
    JobKind kind = JobKind::Erase;
    int methodId = 1;
    bool verification = false;
    ReportTime started;
    std::wstring computer;
    std::wstring user;
    // The computer and the user this process runs as.
    void TakeThisComputer();
};

struct ReportTotals {
    ULONGLONG items = 0;
    ULONGLONG bytes = 0; // the sizes of the items erased, each content once
    ULONGLONG byResult[ReportItem::kResultCount] = {};
    ULONGLONG verified = 0;
    ULONGLONG earlierClustersMayRemain = 0;

    ULONGLONG Count(ReportItem::Result result) const { return byResult[static_cast<int>(result)]; }
};

// Thread: Begin, Add and End on the job driver's thread, one after the other; WriteTo after End
// on any one thread at a time.
class ErasureReport {
public:
    // False when the temporary files cannot be made: the job runs without a report, and only
    // its totals are counted.
    bool Begin(const ReportHead& head);
    void Add(const ReportItem& item);
    void End(JobOutcome outcome, const ReportTime& ended);

    // The whole report, at the file's current position. False where it could not be written
    // whole, or where items could not be kept on the way.
    bool WriteTo(HANDLE file, ReportFormat format);

    bool IsBegun() const { return m_begun; }
    const ReportTotals& Totals() const { return m_totals; }

private:
    bool m_begun = false;
    bool m_itemsKept = true;
    ReportHead m_head;
    ReportTime m_ended;
    JobOutcome m_outcome = JobOutcome::Completed;
    ReportTotals m_totals;
    ReportSpool m_jsonItems;
    ReportSpool m_htmlRows;
};
