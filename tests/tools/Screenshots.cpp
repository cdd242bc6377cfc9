// Takes the pictures of the program's windows shown in the README: runs Morvane.exe (found
// next to this program), drives it to each window (in the main window, the demo's drive opened)
// and saves the window as a BMP file.
//   Screenshots <output folder>

#include "resources/resource.h"
#include "tests/support/Gui.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/RemoteTree.h"
#include "tests/support/TempDir.h"
#include "tests/tools/BenchSupport.h"
#include "win32/ScopedHandle.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The window as it is on the screen, as a 24-bit BMP file.
bool SaveWindow(HWND window, const std::wstring& path)
{
    ::SetForegroundWindow(window);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::Sleep(500);
    RECT rect;
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = ::GetDC(nullptr);
    UniqueMemoryDc memory(::CreateCompatibleDC(screen));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HGDIOBJ previous = ::SelectObject(memory.Get(), bitmap.Get());
    ::BitBlt(memory.Get(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory.Get(), previous);
    ::ReleaseDC(nullptr, screen);

    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(header) + sizeof(info.bmiHeader);
    header.bfSize = header.bfOffBits + imageBytes;
    info.bmiHeader.biSizeImage = imageBytes;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), &header, sizeof(header), &written, nullptr)
           && ::WriteFile(file.Get(), &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr)
           && ::WriteFile(file.Get(), bits, imageBytes, &written, nullptr);
}

// Opens the demo's drive D:, where there is one, and selects its first folder.
void ShowDemoDrive(HWND main)
{
    RemoteTree tree(::GetDlgItem(main, IDC_TREE));
    HTREEITEM drive = tree.IsReady() ? tree.FindChild(nullptr, L"D:\\") : nullptr;
    if (!drive)
        return;
    tree.Expand(drive);
    WaitUntil([&] { return tree.IsExpanded(drive); });
    if (HTREEITEM folder = tree.FindChild(drive, L"Old reports"))
        tree.Select(folder);
}

bool Shoot(HWND window, const std::wstring& folder, const wchar_t* name)
{
    const bool saved = window && SaveWindow(window, folder + L"\\" + name + L".bmp");
    std::printf("%ls: %s\n", name, saved ? "saved" : "FAILED");
    return saved;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (!HasArguments(argc, 1, "Screenshots <output folder>"))
        return 2;
    const std::wstring out = argv[1];
    bool ok = true;
    {
        ProgramRun program(L"");
        HWND main = program.Window(L"Tarnwick");
        ShowDemoDrive(main);
        ok &= Shoot(main, out, L"main-window");
        ::PostMessageW(main, WM_COMMAND, ID_HELP_ABOUT, 0);
        HWND about = program.Window(L"About Tarnwick");
        ok &= Shoot(about, out, L"about-box");
        PressButton(about, IDOK);
        WaitForClose(about);
        ::PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    TempDir dir;
    dir.MakeFolder(L"Old reports");
    for (int i = 1; i <= 6; ++i)
        dir.WriteFile(L"Old reports\\report " + std::to_wstring(i) + L".doc", std::string(300000, 'r'));
    {
        ProgramRun program(L"\"" + dir / L"Old reports" + L"\"");
        PressButton(program.Window(L"Tarnwick"), IDYES);
        HWND chooser = program.Window(L"Choose delete method");
        ok &= Shoot(chooser, out, L"method-chooser");
        ::SendMessageW(::GetDlgItem(chooser, IDC_METHOD), CB_SETCURSEL, 2, 0);
        PressButton(chooser, IDOK);
        HWND progress = program.Window(L"Deleting ...");
        PressButton(progress, IDC_DETAILS);
        WaitUntil([progress] { return ItemText(progress, IDC_CANCEL_FINISH) == L"Finish"; });
        ok &= Shoot(progress, out, L"progress-details");
        PressButton(progress, IDC_CANCEL_FINISH);
    }
    return ok ? 0 : 1;
}
