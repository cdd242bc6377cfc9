#pragma once
// Plays the user of a modal dialog from a thread of its own, while the test's thread runs the
// dialog's message loop.

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

class DialogDriver {
public:
    // Waits for a visible dialog with this caption, then runs `act` on it.
    DialogDriver(std::wstring caption, std::function<void(HWND dialog)> act);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // True when the dialog was found and closed without the driver's help. A dialog still
    // open a while after `act` is cancelled, so that a failing test cannot hang.
    bool Join();

private:
    std::thread m_thread;
    bool m_found = false;
    bool m_closed = false;
};

// As a user's click: through the button, on the dialog's thread.
void ClickButton(HWND dialog, int id);
