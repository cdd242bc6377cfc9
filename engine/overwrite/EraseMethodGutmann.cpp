#include "engine/overwrite/EraseMethodGutmann.h"

#include <cstring>

namespace {

// Passes 5 to 31 of Gutmann's table (1996), in his order.
constexpr BYTE kFixedPatterns[27][3] = {
    {0x55, 0x55, 0x55}, {0xAA, 0xAA, 0xAA}, {0x92, 0x49, 0x24}, {0x49, 0x24, 0x92}, {0x24, 0x92, 0x49},
    {0x00, 0x00, 0x00}, {0x11, 0x11, 0x11}, {0x22, 0x22, 0x22}, {0x33, 0x33, 0x33}, {0x44, 0x44, 0x44},
    {0x55, 0x55, 0x55}, {0x66, 0x66, 0x66}, {0x77, 0x77, 0x77}, {0x88, 0x88, 0x88}, {0x99, 0x99, 0x99},
    {0xAA, 0xAA, 0xAA}, {0xBB, 0xBB, 0xBB}, {0xCC, 0xCC, 0xCC}, {0xDD, 0xDD, 0xDD}, {0xEE, 0xEE, 0xEE},
    {0xFF, 0xFF, 0xFF}, {0x92, 0x49, 0x24}, {0x49, 0x24, 0x92}, {0x24, 0x92, 0x49}, {0x6D, 0xB6, 0xDB},
    {0xB6, 0xDB, 0x6D}, {0xDB, 0x6D, 0xB6},
};

constexpr size_t kRandomBytes = 12; // four patterns at each end of the table

} // namespace

CEraseMethodGutmann::CEraseMethodGutmann() : m_patterns(), m_buffer(NewBuffer(kPatternBufferSize))
{
    std::memcpy(m_patterns + kRandomBytes, kFixedPatterns, sizeof(kFixedPatterns));
}

Outcome CEraseMethodGutmann::Erase(EraseContext* context)
{
    if (!m_buffer)
        return ReportNoMemory(context);
    m_random.SeedWithNow();
    for (size_t k = 0; k < kRandomBytes; ++k) {
        m_patterns[k] = m_random.NextByte();
        m_patterns[sizeof(m_patterns) - kRandomBytes + k] = m_random.NextByte();
    }
    BYTE* data = m_buffer.get();
    return RunFrame(context, kPasses, [&](int pass) {
        const BYTE* pattern = m_patterns + 3 * pass;
        for (size_t j = 0; j < kPatternBufferSize; ++j)
            data[j] = pattern[j % 3];
        // Starting each chunk at the phase it continues keeps the pattern seamless across chunks.
        return WritePass(pass, [&](ULONGLONG written, DWORD) { return data + written % 3; });
    });
}
