#pragma once
// The random bytes of the erase methods: a linear congruential generator reseeded with the
// calendar time before every random chunk, so chunks written within one second are equal.

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Calendar time in whole seconds since 1970-01-01 UTC.
using EraseClock = int64_t (*)();
int64_t CalendarSeconds();
// Replaces the clock (tests hold time still with it); returns the previous one.
EraseClock SetEraseClock(EraseClock clock);

class LcgRandom {
public:
    void Seed(uint32_t seed) { m_state = seed; }
    void SeedWithNow();
    int Draw()
    {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFF);
    }
    BYTE NextByte() { return static_cast<BYTE>(Draw() % 256); }
    // Seeds with the current time, then draws one byte for each byte of the chunk.
    void FillChunk(BYTE* data, size_t size);

private:
    uint32_t m_state = 0;
};
