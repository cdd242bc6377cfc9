#include "engine/overwrite/EraseMethodDOD.h"

#include <cstring>

namespace {
constexpr int kSteps = 7;
}

Outcome CEraseMethodDOD::Erase(EraseContext* context)
{
    auto buffer = NewBuffer(kChunkSize);
    if (!buffer)
        return ReportNoMemory(context);
    const int firstStep = context->passCount == 3 ? 4 : 0;
    // Progress counts the passes that run, from 0, whichever step they start at.
    return RunFrame(context, kSteps - firstStep, [&](int pass) {
        const int step = firstStep + pass;
        BYTE* data = buffer.get();
        switch (step) {
        case 0:
        case 4:
            m_random.SeedWithNow();
            std::memset(data, m_random.NextByte(), kChunkSize);
            return WritePass(pass, [&](ULONGLONG, DWORD) { return data; });
        case 1:
        case 5:
            std::memset(data, static_cast<BYTE>(~data[0]), kChunkSize);
            return WritePass(pass, [&](ULONGLONG, DWORD) { return data; });
        default:
            return WritePass(pass, [&](ULONGLONG, DWORD count) {
                m_random.FillChunk(data, count);
                return data;
            });
        }
    });
}
