// Times how long the program's tree is busy expanding one large folder right below drive C:
// (the first expansion, and expanding it again after a collapse, which reads it anew), next
// to a bare enumeration of the same folder in this process as the same-run anchor.
//   TreeBench <folder name below C:\>
// Prints one line per measurement: "RESULT <name> <median ms> <entries>".

#include "resources/resource.h"
#include "tests/support/Gui.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/RemoteTree.h"
#include "tests/tools/BenchSupport.h"
#include "win32/ScopedHandle.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 3;

long CountEntries(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    long count = 0;
    if (search) {
        do
            ++count;
        while (::FindNextFileW(search.Get(), &found));
    }
    return count - 2; // "." and ".."
}

long CountChildren(HWND tree, HTREEITEM parent)
{
    long count = 0;
    for (auto item = reinterpret_cast<HTREEITEM>(
             ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
         item; item = reinterpret_cast<HTREEITEM>(
                   ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item))))
        ++count;
    return count;
}

// From the key press until the tree has expanded the item and answers again.
double TimeExpansion(HWND tree, const RemoteTree& remote, HTREEITEM item)
{
    const Stopwatch clock;
    remote.Expand(item);
    if (!WaitUntil([&] { return remote.IsExpanded(item); }, 600000))
        return -1;
    ::SendMessageW(tree, WM_NULL, 0, 0);
    return clock.Milliseconds();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (!HasArguments(argc, 1, "TreeBench <folder name below C:\\>"))
        return 2;
    const std::wstring name = argv[1];
    const std::wstring folder = L"C:\\" + name;

    std::vector<double> scans;
    long entries = 0;
    for (int run = 0; run < kRuns; ++run) {
        const Stopwatch clock;
        entries = CountEntries(folder);
        scans.push_back(clock.Milliseconds());
    }
    std::printf("RESULT bare-scan %.1f %ld\n", Median(scans), entries);

    ProgramRun program(L"");
    HWND main = program.Window(L"Tarnwick");
    HWND tree = main ? ::GetDlgItem(main, IDC_TREE) : nullptr;
    RemoteTree remote(tree);
    HTREEITEM drive = remote.IsReady() ? remote.FindChild(nullptr, L"C:\\") : nullptr;
    // The drive is opened first: opening it reads it anew, which replaces the folder's item.
    if (drive) {
        remote.Expand(drive);
        WaitUntil([&] { return remote.IsExpanded(drive); });
    }
    HTREEITEM item = drive ? remote.FindChild(drive, name) : nullptr;
    if (!item) {
        std::printf("the folder C:\\%ls is not in the tree\n", name.c_str());
        return 1;
    }
    const double first = TimeExpansion(tree, remote, item);
    const long shown = CountChildren(tree, item);
    std::printf("RESULT first-expansion %.1f %ld\n", first, shown);
    std::vector<double> again;
    for (int run = 0; run < kRuns; ++run) {
        remote.Select(item);
        PressKey(tree, VK_LEFT);
        WaitUntil([&] { return !remote.IsExpanded(item); });
        again.push_back(TimeExpansion(tree, remote, item));
    }
    std::printf("RESULT expansion-again %.1f %ld\n", Median(again), CountChildren(tree, item));
    ::PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    return program.HasEnded(60000) && shown == entries ? 0 : 1;
}
