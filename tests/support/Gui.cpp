#include "tests/support/Gui.h"

#include "win32/BitmapInfo.h"
#include "win32/ScopedHandle.h"
#include "win32/SelectedObject.h"

namespace {

constexpr DWORD kPollMs = 10;
constexpr UINT kReplyMs = 5000;

struct Search {
    const std::wstring* caption;
    DWORD processId;
    HWND except;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (window == search.except || !::IsWindowVisible(window) || (search.processId && owner != search.processId))
        return TRUE;
    if (!search.caption->empty() && WindowTextOf(window) != *search.caption)
        return TRUE;
    search.found = window;
    return FALSE;
}

// Answers from a window that hangs must not hang the test.
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kReplyMs, &result);
    return static_cast<LRESULT>(result);
}

} // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    for (DWORD waited = 0;; waited += kPollMs) {
        if (condition())
            return true;
        if (waited >= timeoutMs)
            return false;
        ::Sleep(kPollMs);
    }
}

HWND WaitForWindow(const std::wstring& caption, DWORD processId, DWORD timeoutMs, HWND except)
{
    Search search = {&caption, processId, except, nullptr};
    WaitUntil(
        [&] {
            ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

bool WaitForClose(HWND window, DWORD timeoutMs)
{
    return WaitUntil([window] { return !::IsWindow(window) || !::IsWindowVisible(window); }, timeoutMs);
}

std::wstring WindowTextOf(HWND window)
{
    const LRESULT length = Ask(window, WM_GETTEXTLENGTH);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    const LRESULT copied = Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return std::wstring(text.data(), static_cast<size_t>(copied));
}

std::wstring ItemText(HWND dialog, int id)
{
    return WindowTextOf(::GetDlgItem(dialog, id));
}

std::wstring MessageBoxText(HWND box)
{
    return ItemText(box, 0xFFFF);
}

void PressButton(HWND dialog, int id)
{
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void SetChecked(HWND dialog, int id, bool checked)
{
    ::PostMessageW(::GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND dialog, int id)
{
    return Ask(::GetDlgItem(dialog, id), BM_GETCHECK) == BST_CHECKED;
}

int ProgressPosition(HWND dialog, int id)
{
    return static_cast<int>(Ask(::GetDlgItem(dialog, id), PBM_GETPOS));
}

void PressKey(HWND window, WPARAM key)
{
    ::PostMessageW(window, WM_KEYDOWN, key, 1);
    ::PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

void PressAccessKey(HWND window, wchar_t letter)
{
    // What translating the key gives; the dialog manager looks for the letter in the controls'
    // texts. Bit 29: Alt is held.
    ::PostMessageW(window, WM_SYSCHAR, letter, (1 << 29) | 1);
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

std::vector<COLORREF> ImageDrawnOver(HIMAGELIST list, int index, int size, COLORREF background, UINT style)
{
    const BITMAPINFO info = TopDownBitmapInfo(size, size);
    void* bits = nullptr;
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    UniqueBitmap canvas(::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    std::vector<COLORREF> shown;
    if (!canvas)
        return shown;
    {
        SelectedObject selected(dc.Get(), canvas.Get());
        UniqueBrush brush(::CreateSolidBrush(background));
        const RECT all = {0, 0, size, size};
        ::FillRect(dc.Get(), &all, brush.Get());
        if (!::ImageList_Draw(list, index, dc.Get(), 0, 0, style))
            return shown;
        ::GdiFlush();
    }
    for (int i = 0; i < size * size; ++i) {
        const DWORD pixel = static_cast<const DWORD*>(bits)[i];
        shown.push_back(RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF));
    }
    return shown;
}
