// Times one wipe of a drive's free space with the 1-pass random method.
//   WipeBench <drive>
// Wipes only a drive whose root carries the sign of a test image (morvane-wipe-test-image).
// Prints "RESULT wipe <seconds> <bytes of free space written>".

#include "tests/tools/BenchSupport.h"
#include "wipe/WipeJob.h"
#include "wipe/WipeNotice.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kRandomMethod = 4;
ULONGLONG g_freeBefore = 0;
bool g_problem = false;

int32_t Record(EraseNotice* notice)
{
    if (notice->type == WipeFreeSpace && MomentOf(*notice) == kFreeBeforeWipe)
        g_freeBefore = FreeBytesOf(*notice);
    if (notice->type == Problem) {
        std::printf("problem %d\n", notice->code);
        g_problem = true;
    }
    return kNoAnswer;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring root = argc == 2 ? DriveRootOf(argv[1]) : std::wstring();
    if (root.empty() || ::GetFileAttributesW((root + L"morvane-wipe-test-image").c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("usage: WipeBench <drive of a test image>\n");
        return 2;
    }
    CancelFlag cancel{kCancelNone};
    WipeJob job = {root, kRandomMethod, Record, &cancel, true, nullptr};
    const Stopwatch clock;
    RunWipeJob(&job);
    std::printf("RESULT wipe %.3f %llu\n", clock.Seconds(), g_freeBefore);
    return g_problem ? 1 : 0;
}
