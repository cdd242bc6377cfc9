#include "engine/overwrite/EraseMethodFirstLast2KB.h"

namespace {
constexpr DWORD kEnds = 4096;
constexpr DWORD kHalf = kEnds / 2;
} // namespace

// The last 2 KB of the data, and the slack after it with them.
Outcome CEraseMethodFirstLast2KB::Erase(EraseContext* context)
{
    return RunFrame(context, 1, [&](int) {
        const ULONGLONG size = context->fileSize;
        const DWORD slack = static_cast<DWORD>(size - context->dataSize);
        const DWORD bufferSize = context->dataSize >= kEnds ? kEnds + slack : static_cast<DWORD>(size);
        auto buffer = NewBuffer(bufferSize);
        if (!buffer)
            return ReportNoMemory(context);
        m_random.FillChunk(buffer.get(), bufferSize);
        if (context->dataSize < kEnds) {
            // The file was just opened: the position is its start.
            return WriteAll(buffer.get(), bufferSize) ? kStepDone : Fail(kProblemWrite);
        }
        if (!context->file->Seek(0, nullptr, FILE_BEGIN))
            return Fail(kProblemSeek);
        if (!WriteAll(buffer.get(), kHalf))
            return Fail(kProblemWrite);
        ProgressStep(0, static_cast<ULONGLONG>(static_cast<LONGLONG>(size) / 2));
        if (!context->file->Seek(-static_cast<LONGLONG>(kHalf + slack), nullptr, FILE_END))
            return Fail(kProblemSeek);
        if (!WriteAll(buffer.get() + kHalf, kHalf + slack))
            return Fail(kProblemWrite);
        return kStepDone;
    });
}
