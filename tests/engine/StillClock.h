#pragma once
// The erase methods' clock held still, so that every random chunk they write is known in advance.

#include <windows.h>

#include <cstdint>
#include <vector>

constexpr int64_t kStillNow = 1700000000;

inline int64_t StillClock()
{
    return kStillNow;
}

// The generator as published: seeded with the time, one draw per byte.
inline std::vector<BYTE> RandomBytes(size_t count, uint32_t seed = static_cast<uint32_t>(kStillNow))
{
    std::vector<BYTE> bytes(count);
    uint32_t state = seed;
    for (BYTE& b : bytes) {
        state = state * 214013u + 2531011u;
        b = static_cast<BYTE>(((state >> 16) & 0x7FFF) % 256);
    }
    return bytes;
}
