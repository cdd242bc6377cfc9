// Prints what one owner lookup costs while a second process holds many extra file handles
// (every one of them is a candidate that must be named), beside the floor the system sets:
// the handle table read alone. Also times the whole unlock of one locked file, from the
// prompt's lookup to the reopen with sharing.

#include "locks/FileNameProbe.h"
#include "locks/HandleOwner.h"
#include "locks/HandleQuery.h"
#include "locks/INtDll.h"
#include "locks/SystemHandleInformation.h"
#include "locks/UnlockActions.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"
#include "win32/VirtualBuffer.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRuns = 7;

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Median time of one step over kRuns runs; prepare (untimed) runs before each. False when a
// step fails.
bool Median(const std::function<bool()>& prepare, const std::function<bool()>& step, double& median)
{
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        if (!prepare())
            return false;
        LARGE_INTEGER start, stop;
        ::QueryPerformanceCounter(&start);
        const bool ok = step();
        ::QueryPerformanceCounter(&stop);
        if (!ok)
            return false;
        times.push_back(Milliseconds(start, stop));
    }
    std::sort(times.begin(), times.end());
    median = times[kRuns / 2];
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

// Where the time per file handle goes: the mean cost of each step the lookup takes for one
// handle of the crowd, over a sample of its handles taken in runs as the lookup takes them.
struct CallCosts {
    double duplicateAndClose = 0, name = 0;
};

bool MeasureCallCosts(DWORD crowdPid, CallCosts& costs)
{
    constexpr size_t kRun = 32, kSample = 64 * kRun;
    SystemHandleInformation handles;
    handles.SetTypeFilter(L"File");
    if (!handles.TakeSnapshot())
        return false;
    std::vector<ULONG> values;
    for (const auto& entry : handles) {
        if (entry.ProcessId == crowdPid && values.size() < kSample)
            values.push_back(entry.HandleValue);
    }
    if (values.size() < kSample)
        return false;
    const HANDLE crowd = handles.Processes().Open(crowdPid);
    for (size_t first = 0; first < kSample; first += kRun) {
        LARGE_INTEGER t0, t1, t2, t3;
        ::QueryPerformanceCounter(&t0);
        {
            QueryHandle copies[kRun];
            HANDLE files[kRun];
            std::wstring names[kRun];
            for (size_t i = 0; i < kRun; ++i) {
                if (!DuplicateForQuery(crowd, values[first + i], copies[i]))
                    return false;
                files[i] = copies[i].Get();
            }
            ::QueryPerformanceCounter(&t1);
            ProbeFileNames(files, kRun, names);
            ::QueryPerformanceCounter(&t2);
        }
        ::QueryPerformanceCounter(&t3);
        costs.duplicateAndClose += Milliseconds(t0, t1) + Milliseconds(t2, t3);
        costs.name += Milliseconds(t1, t2);
    }
    for (double* cost : {&costs.duplicateAndClose, &costs.name})
        *cost = *cost * 1000.0 / kSample;
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
    std::vector<double> lookups;
    CallCosts costs;
    const int sizes[] = {0, 1000, 5000, 20000};
    for (int extra : sizes) {
        // The owners start after the crowd, so that its handles come first in the table and
        // every one of them is named before the owner's.
        HolderProcess crowd, owner;
        if (!crowd.Start(L"share " + Quoted(shared) + L" " + std::to_wstring(extra))
            || !owner.Start(L"open " + Quoted(target))) {
            std::printf("cannot start the holders of %d handles\n", extra);
            return 1;
        }
        const auto nothing = [] { return true; };
        double floor = 0, lookup = 0, flow = 0;
        HolderProcess locker;
        const bool ok =
            ReadHandleTable(tableSize) && Median(nothing, [&] { return ReadHandleTable(tableSize); }, floor)
            && Median(nothing,
                      [&] {
                          LockOwnerInfo found = {};
                          return FindHandleOwner(target, found) && found.ProcessId == owner.Pid();
                      },
                      lookup)
            && Median([&] { locker.Stop(); return locker.Start(L"open " + Quoted(locked)); },
                      [&] { return UnlockFlow(locked); }, flow);
        if (!ok) {
            std::printf("a step failed with %d extra handles\n", extra);
            return 1;
        }
        if (extra == sizes[3] && !MeasureCallCosts(crowd.Pid(), costs)) {
            std::printf("cannot time the calls per handle\n");
            return 1;
        }
        lookups.push_back(lookup);
        std::printf("%-15d %-12.1f %-12.1f %-14.1f %-14.1f\n", extra, floor, lookup, lookup - floor, flow);
    }
    const double perHandle = 1000.0 * (lookups[3] - lookups[2]) / (sizes[3] - sizes[2]);
    std::printf("cost per extra file handle (5,000 to 20,000): %.1f us = %.1f x one duplicate-and-close "
                "(%.1f us); guarded name query %.1f us\n",
                perHandle, perHandle / costs.duplicateAndClose, costs.duplicateAndClose, costs.name);
    return 0;
}
