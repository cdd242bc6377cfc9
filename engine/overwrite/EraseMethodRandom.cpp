#include "engine/overwrite/EraseMethodRandom.h"

Outcome CEraseMethodRandom::Erase(EraseContext* context)
{
    auto buffer = NewBuffer(kChunkSize);
    if (!buffer)
        return ReportNoMemory(context);
    return RunFrame(context, context->passCount, [&](int pass) {
        return WritePass(pass, [&](ULONGLONG, DWORD count) {
            m_random.FillChunk(buffer.get(), count);
            return buffer.get();
        });
    });
}
