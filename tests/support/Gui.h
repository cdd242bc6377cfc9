#pragma once
// Plays the user of the program's windows from another thread or another process: finds
// windows, reads their texts and presses their buttons without waiting for what a press
// starts (a press that opens a message box must not block the one who has to answer it).

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

constexpr DWORD kGuiPatienceMs = 20000;

// Polls until the condition holds; false when the time is up.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kGuiPatienceMs);

// A visible top-level window with this caption (empty: any), of the given process (0: any),
// other than `except`; null when none appears in time.
HWND WaitForWindow(const std::wstring& caption, DWORD processId = 0, DWORD timeoutMs = kGuiPatienceMs,
                   HWND except = nullptr);
bool WaitForClose(HWND window, DWORD timeoutMs = kGuiPatienceMs);

std::wstring WindowTextOf(HWND window);
std::wstring ItemText(HWND dialog, int id);
// The question of a standard message box.
std::wstring MessageBoxText(HWND box);

// As a click on the dialog's button, queued to the dialog's thread.
void PressButton(HWND dialog, int id);
// Ticks or clears a check box, queued like a click.
void SetChecked(HWND dialog, int id, bool checked);
bool IsChecked(HWND dialog, int id);
int ProgressPosition(HWND dialog, int id);
// A key pressed while the window has the keyboard.
void PressKey(HWND window, WPARAM key);
// A letter pressed with Alt while the window has the keyboard: the access key of a control
// or menu.
void PressAccessKey(HWND window, wchar_t letter);
// The window with the keyboard focus in the thread that runs `window`, or null.
HWND FocusOf(HWND window);

// Image `index` of the list drawn with `style` (ILD_...) over a square of the background colour,
// `size` pixels wide, read back row by row from the top; empty where it cannot be drawn.
std::vector<COLORREF> ImageDrawnOver(HIMAGELIST list, int index, int size, COLORREF background, UINT style);
