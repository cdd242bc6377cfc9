#include "tests/framework/DialogDriver.h"

namespace {

constexpr DWORD kPollMs = 10;
constexpr DWORD kPatienceMs = 5000;

HWND WaitForDialog(const std::wstring& caption)
{
    for (DWORD waited = 0; waited < kPatienceMs; waited += kPollMs) {
        HWND dialog = ::FindWindowW(L"#32770", caption.c_str());
        if (dialog && ::IsWindowVisible(dialog))
            return dialog;
        ::Sleep(kPollMs);
    }
    return nullptr;
}

bool WaitForClose(HWND dialog)
{
    for (DWORD waited = 0; waited < kPatienceMs; waited += kPollMs) {
        if (!::IsWindow(dialog))
            return true;
        ::Sleep(kPollMs);
    }
    return false;
}

} // namespace

DialogDriver::DialogDriver(std::wstring caption, std::function<void(HWND)> act)
{
    m_thread = std::thread([this, caption = std::move(caption), act = std::move(act)] {
        HWND dialog = WaitForDialog(caption);
        m_found = dialog != nullptr;
        if (!dialog)
            return;
        act(dialog);
        m_closed = WaitForClose(dialog);
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
