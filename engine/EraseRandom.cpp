#include "engine/EraseRandom.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<EraseClock> g_clock{CalendarSeconds};
}

int64_t CalendarSeconds()
{
    return static_cast<int64_t>(std::time(nullptr));
}

EraseClock SetEraseClock(EraseClock clock)
{
    return g_clock.exchange(clock ? clock : CalendarSeconds);
}

void LcgRandom::SeedWithNow()
{
    Seed(static_cast<uint32_t>(g_clock.load()()));
}

void LcgRandom::FillChunk(BYTE* data, size_t size)
{
    SeedWithNow();
    for (size_t i = 0; i < size; ++i)
        data[i] = NextByte();
}
