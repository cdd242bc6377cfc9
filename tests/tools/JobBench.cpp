// Times the start of a large erase job: how soon the first file is gone, and the process's peak
// resident memory, beside a bare listing of the same tree.
//   JobBench <folder> <files to erase before cancelling>
// Prints one line per figure: "RESULT <name> <value>".

#include "engine/EraseJob.h"
#include "engine/JobCounter.h"
#include "tests/tools/BenchSupport.h"
#include "win32/ScopedHandle.h"

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

Stopwatch g_clock;
CancelFlag g_cancel{kCancelNone};
unsigned g_toErase = 0;
unsigned g_overwritten = 0;
std::wstring g_first;
double g_firstGone = -1;

// Files and folders below the folder, listed as a plain program lists them.
unsigned long long BareListing(const std::wstring& folder)
{
    unsigned long long entries = 0;
    WIN32_FIND_DATAW found;
    UniqueFindHandle find(::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                             nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find)
        return 0;
    do {
        if (found.cFileName[0] == L'.' && (!found.cFileName[1] || (found.cFileName[1] == L'.' && !found.cFileName[2])))
            continue;
        ++entries;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            entries += BareListing(folder + L"\\" + found.cFileName);
    } while (::FindNextFileW(find.Get(), &found));
    return entries;
}

int32_t Watch(EraseNotice* notice)
{
    if (g_first.empty() && notice->type == FileOverwritten && notice->path)
        g_first = notice->path;
    if (!g_first.empty() && g_firstGone < 0 && ::GetFileAttributesW(g_first.c_str()) == INVALID_FILE_ATTRIBUTES)
        g_firstGone = g_clock.Seconds();
    if (notice->type == FileOverwritten && ++g_overwritten >= g_toErase)
        g_cancel = kCancelRequested;
    return notice->type == Problem ? kAnswerSkip : kNoAnswer;
}

// The peak resident memory of this process. Wine reads it from Linux's VmHWM of the process
// (a file under /proc opened from here would be opened by the Wine server, and be its own).
unsigned long long PeakKib()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize / 1024;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (!HasArguments(argc, 2, "JobBench <folder> <files to erase before cancelling>"))
        return 2;
    const std::wstring folder = argv[1];
    g_toErase = static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 10));

    g_clock.Restart();
    const unsigned long long entries = BareListing(folder);
    std::printf("RESULT listing-seconds %.3f\nRESULT listing-entries %llu\n", g_clock.Seconds(), entries);

    // The job's walk alone: the count beside the job walks as the job does and does nothing more.
    const std::vector<std::wstring> targets = {folder + L"\\"};
    {
        JobCounter walk;
        g_clock.Restart();
        walk.Start(targets);
        walk.Wait();
        std::printf("RESULT walk-seconds %.3f\nRESULT walk-files %llu\n", g_clock.Seconds(), walk.Current().files);
    }

    EraseJob job = {targets, 5, Watch, &g_cancel};
    g_clock.Restart();
    UniqueHandle worker(::CreateThread(nullptr, 0, RunEraseJob, &job, 0, nullptr));
    ::WaitForSingleObject(worker.Get(), INFINITE);
    std::printf("RESULT first-gone %.3f\nRESULT job-seconds %.3f\n", g_firstGone, g_clock.Seconds());
    std::printf("RESULT peak-kib %llu\n", PeakKib());
    return 0;
}
