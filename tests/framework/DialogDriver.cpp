#include "tests/framework/DialogDriver.h"

#include "tests/support/Gui.h"

namespace {

// Short of the others' patience: a dialog that never comes fails its test quickly.
constexpr DWORD kPatienceMs = 5000;

} // namespace

DialogDriver::DialogDriver(std::wstring caption, std::function<void(HWND)> act)
{
    m_thread = std::thread([this, caption = std::move(caption), act = std::move(act)] {
        HWND dialog = WaitForWindow(caption, ::GetCurrentProcessId(), kPatienceMs);
        m_found = dialog != nullptr;
        if (!dialog)
            return;
        act(dialog);
        m_closed = WaitForClose(dialog, kPatienceMs);
        if (!m_closed)
            ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

DialogDriver::~DialogDriver()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool DialogDriver::Join()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_found && m_closed;
}

void ClickButton(HWND dialog, int id)
{
    ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
