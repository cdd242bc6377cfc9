#include "engine/EraseMethodFirstLast2KB.h"

namespace {
constexpr DWORD kEnds = 4096;
constexpr DWORD kHalf = kEnds / 2;
} // namespace

Outcome CEraseMethodFirstLast2KB::Erase(EraseContext* context)
{
    return RunFrame(context, 1, [&](int) {
        const ULONGLONG size = context->fileSize;
        const DWORD bufferSize = size >= kEnds ? kEnds : static_cast<DWORD>(size);
        auto buffer = NewBuffer(bufferSize);
        if (!buffer)
            return ReportNoMemory(context);
        m_random.FillChunk(buffer.get(), bufferSize);
        DWORD written = 0;
        if (size < kEnds) {
            // The file was just opened: the position is its start.
            return context->file->Write(buffer.get(), bufferSize, &written) ? kStepDone : Fail(kProblemWrite);
        }
        if (!context->file->Seek(0, nullptr, FILE_BEGIN))
            return Fail(kProblemSeek);
        if (!context->file->Write(buffer.get(), kHalf, &written))
            return Fail(kProblemWrite);
        ProgressStep(0, static_cast<ULONGLONG>(static_cast<LONGLONG>(size) / 2));
        if (!context->file->Seek(-static_cast<LONGLONG>(kHalf), nullptr, FILE_END))
            return Fail(kProblemSeek);
        if (!context->file->Write(buffer.get() + kHalf, kHalf, &written))
            return Fail(kProblemWrite);
        return kStepDone;
    });
}
