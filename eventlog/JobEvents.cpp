#include "eventlog/JobEvents.h"

#include "EventMessages.h"
#include "engine/EraseMethod.h"

namespace {

const wchar_t kEventSource[] = L"Tarnwick";

std::wstring KindText(JobKind kind)
{
    return kind == JobKind::Erase ? L"Erase" : L"Free-space wipe";
}

std::wstring MethodText(int methodId)
{
    return EraseMethodOf(methodId).name;
}

}  // namespace

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
                 {KindText(job.kind), std::to_wstring(job.items), MethodText(job.methodId)});
}

void WriteJobEnded(EventWriter& writer, const JobEndEvent& job)
{
    const bool completed = job.outcome == JobOutcome::Completed;
    writer.Write(completed ? EVENTLOG_INFORMATION_TYPE : EVENTLOG_WARNING_TYPE, MSG_JOB_ENDED,
                 {KindText(job.kind), std::to_wstring(job.items), std::to_wstring(job.bytes), MethodText(job.methodId),
                  completed ? L"completed" : L"terminated", job.reportPath.empty() ? L"none" : job.reportPath});
}
