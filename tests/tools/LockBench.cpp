// Prints how long one owner lookup takes while a second process holds many extra file
// handles (every one of them is named during the lookup).

#include "locks/HandleOwner.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/TempDir.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

int main()
{
    constexpr int kRuns = 5;
    TempDir dir;
    const std::wstring target = dir.WriteFile(L"target.txt", "x");
    const std::wstring shared = dir.WriteFile(L"shared.txt", "x");
    HolderProcess owner;
    if (!owner.Start(L"open \"" + target + L"\"")) {
        std::printf("cannot start the holder\n");
        return 1;
    }

    std::printf("%-15s %-10s %-10s %-10s\n", "extra handles", "min ms", "median ms", "max ms");
    for (int extra : {0, 1000, 5000}) {
        HolderProcess crowd;
        if (!crowd.Start(L"share \"" + shared + L"\" " + std::to_wstring(extra))) {
            std::printf("cannot start the holder of %d handles\n", extra);
            return 1;
        }
        std::vector<double> times;
        for (int run = 0; run < kRuns; ++run) {
            LockOwnerInfo found = {};
            LARGE_INTEGER start, stop;
            ::QueryPerformanceCounter(&start);
            const bool ok = FindHandleOwner(target, found);
            ::QueryPerformanceCounter(&stop);
            if (!ok || found.ProcessId != owner.Pid()) {
                std::printf("lookup failed with %d extra handles\n", extra);
                return 1;
            }
            times.push_back(Milliseconds(start, stop));
        }
        std::sort(times.begin(), times.end());
        std::printf("%-15d %-10.1f %-10.1f %-10.1f\n", extra, times.front(), times[kRuns / 2], times.back());
    }
    return 0;
}
