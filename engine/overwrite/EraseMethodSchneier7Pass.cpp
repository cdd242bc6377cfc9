#include "engine/overwrite/EraseMethodSchneier7Pass.h"

#include <cstring>

Outcome CEraseMethodSchneier7Pass::Erase(EraseContext* context)
{
    auto buffer = NewBuffer(kChunkSize);
    if (!buffer)
        return ReportNoMemory(context);
    return RunFrame(context, context->passCount, [&](int pass) {
        if (pass < 2) {
            std::memset(buffer.get(), pass, kChunkSize); // the value one in the second pass, not its complement
            return WritePass(pass, [&](ULONGLONG, DWORD) { return buffer.get(); });
        }
        return WritePass(pass, [&](ULONGLONG, DWORD count) {
            m_random.FillChunk(buffer.get(), count);
            return buffer.get();
        });
    });
}
