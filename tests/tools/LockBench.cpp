// Prints what one owner lookup costs while a second process holds many extra file handles
// (every one of them is a candidate that must be named), beside the floor the system sets:
// the handle table read alone. Also times the whole unlock of one locked file, from the
// prompt's lookup to the reopen with sharing.

#include "locks/HandleOwner.h"
#include "locks/HandleQuery.h"
#include "locks/INtDll.h"
#include "locks/SystemHandleInformation.h"
#include "locks/UnlockActions.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/TempDir.h"
#include "tests/tools/BenchSupport.h"
#include "win32/ScopedHandle.h"
#include "win32/VirtualBuffer.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>

namespace {

constexpr int kRuns = 7;

// Of several runs: the median, and the fastest, which a machine shared with other work
// disturbs least.
struct Timing {
    double median = 0, fastest = 0;
};

Timing TimingOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return Timing{values[values.size() / 2], values.front()};
}

// Time of one step over kRuns runs; prepare (untimed) runs before each. False when a step
// fails.
bool Measure(const std::function<bool()>& prepare, const std::function<bool()>& step, Timing& timing)
{
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        if (!prepare())
            return false;
        const Stopwatch clock;
        const bool ok = step();
        const double took = clock.Milliseconds();
        if (!ok)
            return false;
        times.push_back(took);
    }
    timing = TimingOf(times);
    return true;
}

// The system's own cost: the handle table, read once into a buffer already large enough.
bool ReadHandleTable(size_t& tableSize)
{
    VirtualBuffer table;
    if (!QuerySystemTable(kSystemExtendedHandleInformation, tableSize, table))
        return false;
    tableSize = table.Size();
    return true;
}

HANDLE OpenForOverwrite(const std::wstring& path, DWORD share)
{
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr);
}

// From the prompt's lookup to the reopen with sharing, once the user answered "Yes" for a
// locked file: the owner the prompt named is the one unlocked.
bool UnlockFlow(const std::wstring& target)
{
    LockOwnerInfo owner = {};
    if (!FindHandleOwner(target, owner) || !CloseOwnerHandle(owner))
        return false;
    UniqueFile reopened(OpenForOverwrite(target, FILE_SHARE_READ | FILE_SHARE_WRITE));
    return reopened.IsValid();
}

// The crowd's handle values, as a snapshot lists them.
bool CrowdHandles(DWORD crowdPid, std::vector<ULONG>& values)
{
    SystemHandleInformation handles;
    handles.SetTypeFilter(L"File");
    if (!handles.TakeSnapshot())
        return false;
    for (const auto& entry : handles) {
        if (entry.ProcessId == crowdPid)
            values.push_back(entry.HandleValue);
    }
    return !values.empty();
}

// The anchor: one duplicate-and-close of every crowd handle, in runs as the lookup takes them,
// in microseconds per handle.
bool DuplicateAndClose(HANDLE crowd, const std::vector<ULONG>& values, double& perHandle)
{
    constexpr size_t kRun = 32;
    const Stopwatch clock;
    for (size_t first = 0; first < values.size(); first += kRun) {
        QueryHandle copies[kRun];
        for (size_t i = first; i < std::min(values.size(), first + kRun); ++i) {
            if (!DuplicateForQuery(crowd, values[i], copies[i - first]))
                return false;
        }
    }
    perHandle = 1000.0 * clock.Milliseconds() / static_cast<double>(values.size());
    return true;
}


} // namespace

int main()
{
    TempDir dir;
    const std::wstring target = dir.WriteFile(L"target.txt", "x");
    const std::wstring shared = dir.WriteFile(L"shared.txt", "x");
    const std::wstring locked = dir.WriteFile(L"locked.txt", "x");
    std::printf("medians of %d runs\n", kRuns);
    std::printf("%-15s %-12s %-12s %-14s %-14s\n", "extra handles", "floor ms", "lookup ms", "above floor", "unlock flow ms");
    size_t tableSize = 8192;
    const int sizes[] = {0, 1000, 5000, 20000};
    std::vector<Timing> lookups;
    std::vector<double> anchors;
    for (int extra : sizes) {
        // The owners start after the crowd, so that its handles come first in the table and
        // every one of them is named before the owner's.
        HolderProcess crowd, owner;
        std::vector<ULONG> values;
        if (!crowd.Start(L"share " + Quoted(shared) + L" " + std::to_wstring(extra))
            || !owner.Start(L"open " + Quoted(target)) || (extra == sizes[3] && !CrowdHandles(crowd.Pid(), values))) {
            std::printf("cannot start the holders of %d handles\n", extra);
            return 1;
        }
        // With the largest crowd every lookup follows one duplicate-and-close of the whole
        // crowd, so that both are timed under the same load.
        OwnerProcesses processes;
        const auto anchor = [&] {
            double cost = 0;
            const bool done = DuplicateAndClose(processes.Open(crowd.Pid()), values, cost);
            anchors.push_back(cost);
            return done;
        };
        const auto nothing = [] { return true; };
        Timing floor, lookup, flow;
        HolderProcess locker;
        const bool ok =
            ReadHandleTable(tableSize) && Measure(nothing, [&] { return ReadHandleTable(tableSize); }, floor)
            && Measure(extra == sizes[3] ? std::function<bool()>(anchor) : nothing,
                      [&] {
                          LockOwnerInfo found = {};
                          return FindHandleOwner(target, found) && found.ProcessId == owner.Pid();
                      },
                      lookup)
            && Measure([&] { locker.Stop(); return locker.Start(L"open " + Quoted(locked)); },
                      [&] { return UnlockFlow(locked); }, flow);
        if (!ok) {
            std::printf("a step failed with %d extra handles\n", extra);
            return 1;
        }
        lookups.push_back(lookup);
        std::printf("%-15d %-12.1f %-12.1f %-14.1f %-14.1f\n", extra, floor.median, lookup.median,
                    lookup.median - floor.median, flow.median);
    }
    const Timing anchor = TimingOf(anchors);
    for (const auto& [name, lookup0, lookup20000, duplicate] :
         {std::make_tuple("median", lookups[0].median, lookups[3].median, anchor.median),
          std::make_tuple("fastest", lookups[0].fastest, lookups[3].fastest, anchor.fastest)}) {
        const double perHandle = 1000.0 * (lookup20000 - lookup0) / sizes[3];
        std::printf("cost per extra file handle (0 to 20,000), %s: %.1f us = %.1f x one duplicate-and-close of such "
                    "a handle (%.1f us, timed between the lookups)\n",
                    name, perHandle, perHandle / duplicate, duplicate);
    }
    return 0;
}
