#pragma once

// What the benchmark tools share: one clock, the median of a few runs, and one answer to a
// wrong command line.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

// Milliseconds on the performance counter since it was made or last restarted.
class Stopwatch {
public:
    Stopwatch() { Restart(); }
    void Restart() { ::QueryPerformanceCounter(&m_start); }
    double Milliseconds() const
    {
        LARGE_INTEGER now, frequency;
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&frequency);
        return 1000.0 * static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(frequency.QuadPart);
    }
    double Seconds() const { return Milliseconds() / 1000.0; }

private:
    LARGE_INTEGER m_start;
};

inline double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// False, with the usage line printed, when the tool was not given exactly `arguments`.
inline bool HasArguments(int argc, int arguments, const char* usage)
{
    if (argc == arguments + 1)
        return true;
    std::printf("usage: %s\n", usage);
    return false;
}
