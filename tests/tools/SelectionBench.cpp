// Times how long the program takes from its start with a handed-over list of items until its
// confirmation appears, next to reading the same list and asking for each item's attributes in
// this process (the least any confirmation has to do) as the same-run anchor.
//   SelectionBench <list file>
// Prints "RESULT <items> <anchor ms> <to confirmation ms>"; answers No, so nothing is erased.

#include "app/TargetList.h"
#include "tests/support/Gui.h"
#include "tests/support/ProgramRun.h"
#include "tests/tools/BenchSupport.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (!HasArguments(argc, 1, "SelectionBench <list file>"))
        return 2;
    const std::wstring list = argv[1];

    const Stopwatch anchorClock;
    std::vector<std::wstring> paths;
    if (!TakeTargetList(list, paths)) {
        std::printf("the list %ls cannot be read\n", list.c_str());
        return 1;
    }
    size_t present = 0;
    for (const std::wstring& path : paths)
        present += ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    const double anchor = anchorClock.Milliseconds();
    if (present != paths.size()) {
        std::printf("%zu of %zu listed items are missing\n", paths.size() - present, paths.size());
        return 1;
    }

    const Stopwatch clock;
    ProgramRun program(L"/list \"" + list + L"\"");
    HWND confirm = WaitForWindow(L"Tarnwick", program.Pid(), 900000);
    const double toConfirmation = clock.Milliseconds();
    if (!confirm) {
        std::printf("no confirmation appeared\n");
        return 1;
    }
    PressButton(confirm, IDNO);
    std::printf("RESULT %zu %.0f %.0f\n", paths.size(), anchor, toConfirmation);
    return program.HasEnded(60000) ? 0 : 1;
}
