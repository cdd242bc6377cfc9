#pragma once
// Stands in for the job driver: records every notice and answers Problem notices as the
// test says. The callback carries no context, so one recorder is active at a time.

#include "engine/EraseNotice.h"

#include <functional>
#include <string>
#include <vector>

struct RecordedNotice {
    int32_t type;
    bool hasPath;
    std::wstring path;
    bool hasOwner;
    std::wstring owner;
    int32_t filePercent;
    int32_t totalPercent;
    int32_t code;
    ItemEnd item;
    JobCount count;
};

// A path in a test's message (the tests' paths are ASCII).
inline std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

class NoticeRecorder {
public:
    NoticeRecorder();
    ~NoticeRecorder();
    NoticeRecorder(const NoticeRecorder&) = delete;
    NoticeRecorder& operator=(const NoticeRecorder&) = delete;

    static int32_t Callback(EraseNotice* notice);

    std::vector<int32_t> Types() const;
    std::vector<const RecordedNotice*> OfType(int32_t type) const;
    std::vector<std::wstring> PathsOf(int32_t type) const;
    std::vector<int32_t> CodesOf(int32_t type) const;
    // The paths of the items that ended so.
    std::vector<std::wstring> PathsFinished(ItemKind kind, ItemOutcome outcome) const;

    std::vector<RecordedNotice> notices;
    // Answers a Problem notice; Terminate unless the test says otherwise.
    std::function<int32_t(const RecordedNotice&)> answer;
    // Runs on every notice after it is recorded (for acting in the middle of a job).
    std::function<void(const RecordedNotice&)> onNotice;
};
