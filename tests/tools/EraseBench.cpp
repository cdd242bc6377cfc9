// Times whole erase jobs: one large file per method, and a folder of many small files, each
// without and with the last pass read back.
//   EraseBench <folder> <size in MiB>
// Prints one line per run: "RESULT <name> <seconds> <bytes written> <seconds verified>".

#include "engine/EraseJob.h"
#include "engine/overwrite/EraseMethod.h"
#include "win32/ScopedHandle.h"
#include "tests/tools/BenchSupport.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

int32_t CountProblems(EraseNotice* notice)
{
    return notice->type == Problem ? kAnswerTerminate : kNoAnswer;
}

bool MakeFile(const std::wstring& path, ULONGLONG size)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        return false;
    std::vector<char> chunk(1 << 20, 'z');
    for (ULONGLONG written = 0; written < size;) {
        const DWORD count = static_cast<DWORD>(std::min<ULONGLONG>(chunk.size(), size - written));
        DWORD done = 0;
        if (!::WriteFile(file.Get(), chunk.data(), count, &done, nullptr))
            return false;
        written += done;
    }
    return true;
}

double TimeJob(const std::wstring& target, int methodId, bool verify)
{
    CancelFlag cancel{kCancelNone};
    EraseJob job = {{target}, methodId, CountProblems, &cancel, nullptr, verify};
    const Stopwatch clock;
    RunEraseJob(&job);
    return clock.Seconds();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (!HasArguments(argc, 2, "EraseBench <folder> <size in MiB>"))
        return 2;
    const std::wstring folder = argv[1];
    const ULONGLONG size = std::wcstoull(argv[2], nullptr, 10) << 20;

    const struct {
        const char* name;
        int methodId;
    } runs[] = {{"random-1-pass", 4}, {"first-last-2KB", 5}, {"dod-3-pass", 3},
                {"dod-7-pass", 2},    {"schneier-7-pass", 6}, {"gutmann-35-pass", 1}};
    for (const auto& run : runs) {
        double seconds[2];
        for (const bool verify : {false, true}) {
            const std::wstring file = folder + L"\\bench.bin";
            if (!MakeFile(file, size)) {
                std::printf("cannot make the test file\n");
                return 1;
            }
            seconds[verify] = TimeJob(file, run.methodId, verify);
        }
        std::printf("RESULT %s %.3f %llu %.3f\n", run.name, seconds[0],
                    static_cast<unsigned long long>(size * PassCountOfMethod(run.methodId)), seconds[1]);
        std::fflush(stdout);
    }

    const std::wstring many = folder + L"\\many\\";
    double seconds[2];
    for (const bool verify : {false, true}) {
        ::CreateDirectoryW(many.c_str(), nullptr);
        for (int i = 0; i < 2000; ++i)
            MakeFile(many + L"file" + std::to_wstring(i) + L".txt", 1024);
        seconds[verify] = TimeJob(many, 4, verify);
    }
    std::printf("RESULT folder-of-2000-files %.3f %llu %.3f\n", seconds[0], 2000ull * 1024, seconds[1]);
    return 0;
}
