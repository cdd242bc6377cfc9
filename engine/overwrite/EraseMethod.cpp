#include "engine/overwrite/EraseMethod.h"

#include "engine/overwrite/EraseMethodDOD.h"
#include "engine/overwrite/EraseMethodFirstLast2KB.h"
#include "engine/overwrite/EraseMethodGutmann.h"
#include "engine/overwrite/EraseMethodRandom.h"
#include "engine/overwrite/EraseMethodSchneier7Pass.h"

#include <new>

const EraseMethodInfo kEraseMethods[kEraseMethodCount] = {
    {L"Guttmann (35 passes)", 35},
    {L"US DoD 5220.22-M (8-306. / E, C and E) (7 passes)", 7},
    {L"US DoD 5220.22-M (8-306. / E) (3 passes)", 3},
    {L"Pseudorandom Data (1 pass)", 1},
    {L"Only first and last 2KB (1 pass)", 1},
    {L"Schneier's 7 pass (7 passes)", 7},
};

namespace {

bool IsKnownMethod(int methodId)
{
    return methodId >= 1 && methodId <= kEraseMethodCount;
}

int32_t Percent(ULONGLONG part, ULONGLONG whole)
{
    // A job whose size could not be read has no usable whole; a file that grew since it was
    // counted does not take the job past its end.
    if (whole == 0)
        return 0;
    return part >= whole ? 100 : static_cast<int32_t>(static_cast<double>(part) / static_cast<double>(whole) * 100.0);
}

} // namespace

const EraseMethodInfo& EraseMethodOf(int methodId)
{
    return kEraseMethods[IsKnownMethod(methodId) ? methodId - 1 : 0];
}

int PassCountOfMethod(int methodId)
{
    return EraseMethodOf(methodId).passes;
}

std::unique_ptr<CEraseMethod> CreateEraseMethod(int methodId)
{
    switch (IsKnownMethod(methodId) ? methodId : 1) {
    case 2:
    case 3:
        return std::unique_ptr<CEraseMethod>(new (std::nothrow) CEraseMethodDOD());
    case 4:
        return std::unique_ptr<CEraseMethod>(new (std::nothrow) CEraseMethodRandom());
    case 5:
        return std::unique_ptr<CEraseMethod>(new (std::nothrow) CEraseMethodFirstLast2KB());
    case 6:
        return std::unique_ptr<CEraseMethod>(new (std::nothrow) CEraseMethodSchneier7Pass());
    default:
        return std::unique_ptr<CEraseMethod>(new (std::nothrow) CEraseMethodGutmann());
    }
}

bool CEraseMethod::WriteAll(const void* data, DWORD count)
{
    DWORD written = 0;
    return m_context->file->Write(data, count, &written) && written == count;
}

Outcome CEraseMethod::Fail(int32_t code)
{
    return OutcomeOfAnswer(SendProblem(m_context->notify, m_context->path, code), code);
}

Outcome CEraseMethod::ReportNoMemory(EraseContext* context)
{
    SendNoMemory(context->notify);
    return {Ended::Stopped, kProblemNoMemory};
}

void CEraseMethod::ProgressStep(int pass, ULONGLONG writtenBefore)
{
    const ULONGLONG passes = m_context->passCount > 0 ? static_cast<ULONGLONG>(m_context->passCount) : 1;
    const ULONGLONG done = (static_cast<ULONGLONG>(pass) * m_context->fileSize + writtenBefore) / passes;
    const int32_t percent = Percent(done, m_context->fileSize);
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    SendProgress(percent, m_context->doneBefore + done);
}

void CEraseMethod::SendProgress(int32_t filePercent, ULONGLONG totalDone)
{
    // While the job is still being counted, its share done means nothing yet.
    const JobCount count =
        m_context->jobSize ? m_context->jobSize->Current() : JobCount{0, m_context->totalSize, true};
    ::SendProgress(m_context->notify, m_context->path, filePercent, count.complete ? Percent(totalDone, count.bytes) : 0,
                 count);
}
