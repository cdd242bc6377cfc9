#pragma once

#include "engine/overwrite/EraseMethod.h"

// Gutmann's 35 passes: four random three-byte patterns, his 27 fixed patterns, four more
// random ones. The random patterns are drawn anew for every file.
class CEraseMethodGutmann final : public CEraseMethod {
public:
    CEraseMethodGutmann();
    Outcome Erase(EraseContext* context) override;

    static constexpr int kPasses = 35;
    static constexpr size_t kPatternBufferSize = kChunkSize + 3;

private:
    BYTE m_patterns[kPasses * 3];
    // One chunk of a pattern, startable at any of its three phases.
    std::unique_ptr<BYTE[]> m_buffer;
};
