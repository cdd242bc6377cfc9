#include "eventlog/JobEvents.h"

#include "EventMessages.h"
#include "engine/overwrite/EraseMethod.h"

namespace {

const wchar_t kEventSource[] = L"Tarnwick";

std::wstring MethodText(int methodId)
{
    return EraseMethodOf(methodId).name;
}

// By JobOutcome: its words, and the type of the event that ends the job.
struct OutcomeFacts {
    const wchar_t* text;
    WORD eventType;
};
const OutcomeFacts kOutcomes[] = {
    {L"completed", EVENTLOG_INFORMATION_TYPE},
    {L"completed with problems", EVENTLOG_WARNING_TYPE},
    {L"cancelled", EVENTLOG_WARNING_TYPE},
    {L"stopped by an error", EVENTLOG_ERROR_TYPE},
};

}  // namespace

const wchar_t* JobKindText(JobKind kind)
{
    return kind == JobKind::Erase ? L"Erase" : L"Free-space wipe";
}

const wchar_t* JobOutcomeText(JobOutcome outcome)
{
    return kOutcomes[static_cast<int>(outcome)].text;
}

ApplicationEventLog::ApplicationEventLog() : m_source(::RegisterEventSourceW(nullptr, kEventSource))
{
}

void ApplicationEventLog::Write(WORD type, DWORD messageId, const std::vector<std::wstring>& inserts)
{
    if (!m_source)
        return;
    std::vector<const wchar_t*> strings;
    for (const std::wstring& insert : inserts)
        strings.push_back(insert.c_str());
    ::ReportEventW(m_source.Get(), type, 0, messageId, nullptr, static_cast<WORD>(strings.size()), 0,
                   strings.data(), nullptr);
}

void WriteJobStarted(EventWriter& writer, const JobStartEvent& job)
{
    writer.Write(EVENTLOG_INFORMATION_TYPE, MSG_JOB_STARTED,
                 {JobKindText(job.kind), std::to_wstring(job.items), MethodText(job.methodId)});
}

void WriteJobEnded(EventWriter& writer, const JobEndEvent& job)
{
    writer.Write(kOutcomes[static_cast<int>(job.outcome)].eventType, MSG_JOB_ENDED,
                 {JobKindText(job.kind), std::to_wstring(job.items), std::to_wstring(job.bytes), MethodText(job.methodId),
                  JobOutcomeText(job.outcome), job.reportPath.empty() ? L"none" : job.reportPath});
}
