// Modal dialogs: how they end, data exchange, the modal loop's hooks, and owners on the same
// and on another thread.

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "tests/framework/DialogDriver.h"
#include "tests/support/Gui.h"
#include "tests/framework/TestResources.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>

namespace {

const wchar_t kBasicCaption[] = L"Framework Basic";
const wchar_t kControlsCaption[] = L"Framework Controls";
constexpr UINT kEndCommand = 40001;
constexpr UINT kStartCommand = 40002;
constexpr UINT kFinishCommand = 40003;
constexpr int kEndResult = 42;

TEST(DialogTest, EndsWithTheCommandOfEachStandardWay)
{
    struct Case {
        const char* name;
        void (*act)(HWND dialog);
        INT_PTR expected;
    };
    const Case cases[] = {
        {"OK clicked", [](HWND d) { ClickButton(d, IDOK); }, IDOK},
        {"Cancel clicked", [](HWND d) { ClickButton(d, IDCANCEL); }, IDCANCEL},
        {"Enter", [](HWND d) { PressKey(::GetDlgItem(d, IDC_EDIT), VK_RETURN); }, IDOK},
        {"Esc", [](HWND d) { PressKey(::GetDlgItem(d, IDC_EDIT), VK_ESCAPE); }, IDCANCEL},
        {"close box", [](HWND d) { ::PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
        // Handled inside GetMessage, which nothing else would wake.
        {"IDOK sent by another thread", [](HWND d) { ::SendMessageW(d, WM_COMMAND, IDOK, 0); }, IDOK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDialog dialog(IDD_BASIC);
        DialogDriver driver(kBasicCaption, c.act);
        EXPECT_EQ(c.expected, dialog.DoModal());
        EXPECT_TRUE(driver.Join());
        EXPECT_EQ(nullptr, dialog.m_hWnd);
    }
}

class ExchangeDialog : public CDialog {
public:
    ExchangeDialog() : CDialog(IDD_BASIC) {}
    int m_check = BST_CHECKED;
    std::wstring m_label = L"Label text";
    std::wstring m_edit = L"before";

protected:
    void DoDataExchange(CDataExchange* exchange) override
    {
        DDX_Check(exchange, IDC_CHECK, m_check);
        DDX_Text(exchange, IDC_TEXT, m_label);
        DDX_Text(exchange, IDC_EDIT, m_edit);
    }
};

TEST(DialogTest, DataExchangeFillsTheControlsAndReadsThemBackOnOkOnly)
{
    for (const int closeWith : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(closeWith);
        ExchangeDialog dialog;
        LRESULT shownCheck = -1;
        std::wstring shownLabel, shownEdit;
        DialogDriver driver(kBasicCaption, [&](HWND d) {
            shownCheck = ::SendDlgItemMessageW(d, IDC_CHECK, BM_GETCHECK, 0, 0);
            shownLabel = WindowText(::GetDlgItem(d, IDC_TEXT));
            shownEdit = WindowText(::GetDlgItem(d, IDC_EDIT));
            ::SendDlgItemMessageW(d, IDC_CHECK, BM_SETCHECK, BST_UNCHECKED, 0);
            ::SetDlgItemTextW(d, IDC_EDIT, L"after");
            ClickButton(d, closeWith);
        });
        EXPECT_EQ(closeWith, dialog.DoModal());
        ASSERT_TRUE(driver.Join());
        EXPECT_EQ(BST_CHECKED, shownCheck);
        EXPECT_EQ(L"Label text", shownLabel);
        EXPECT_EQ(L"before", shownEdit);
        EXPECT_EQ(closeWith == IDOK ? BST_UNCHECKED : BST_CHECKED, dialog.m_check);
        EXPECT_EQ(closeWith == IDOK ? L"after" : L"before", dialog.m_edit);
    }
}

class CountingButton : public CButton {
public:
    int m_bindings = 0;
    int m_mouseMoves = 0;

protected:
    void PreSubclassWindow() override { ++m_bindings; }
    void OnMouseMove(UINT flags, POINT point) override
    {
        ++m_mouseMoves;
        CButton::OnMouseMove(flags, point);
    }
};

class BindingDialog : public CDialog {
public:
    BindingDialog() : CDialog(IDD_BASIC) {}
    CountingButton m_check;
    bool m_boundInInit = false;
    bool m_secondExchangeOk = false;
    bool m_destroyReachedObject = false;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_DESTROY)
            m_destroyReachedObject = true;
        return CDialog::WindowProc(message, wParam, lParam);
    }
    void DoDataExchange(CDataExchange* exchange) override { DDX_Control(exchange, IDC_CHECK, m_check); }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_secondExchangeOk = UpdateData(false);
        m_boundInInit = m_check.m_hWnd == GetDlgItem(IDC_CHECK) && CWnd::FromHandlePermanent(m_check) == &m_check;
        ::SendMessageW(m_check, WM_MOUSEMOVE, 0, 0);
        EndDialog(IDOK);
        return TRUE;
    }
};

TEST(DialogTest, DdxControlBindsOncePerWindowAndBothLetGoBeforeTheWindowsGo)
{
    BindingDialog dialog;
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_EQ(IDOK, dialog.DoModal());
        EXPECT_TRUE(dialog.m_boundInInit);
        EXPECT_TRUE(dialog.m_secondExchangeOk);
        EXPECT_EQ(run, dialog.m_check.m_bindings);
        EXPECT_EQ(run, dialog.m_check.m_mouseMoves);
        EXPECT_EQ(nullptr, dialog.m_check.m_hWnd); // let go with its window
        EXPECT_FALSE(dialog.m_destroyReachedObject); // the dialog let go before its window went
    }
}

class KeyEatingDialog : public CDialog {
public:
    KeyEatingDialog() : CDialog(IDD_BASIC) {}
    bool PreTranslateMessage(MSG* message) override
    {
        if (message->message == WM_KEYDOWN && (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE)) {
            ++m_swallowed;
            return true;
        }
        return CDialog::PreTranslateMessage(message);
    }
    int m_swallowed = 0;

protected:
    bool OnCommand(UINT id, UINT code) override
    {
        if (id != kEndCommand)
            return CDialog::OnCommand(id, code);
        EndDialog(kEndResult);
        return true;
    }
};

TEST(DialogTest, PreTranslateMessageCanSwallowEnterAndEsc)
{
    KeyEatingDialog dialog;
    DialogDriver driver(kBasicCaption, [](HWND d) {
        PressKey(::GetDlgItem(d, IDC_EDIT), VK_RETURN);
        PressKey(::GetDlgItem(d, IDC_EDIT), VK_ESCAPE);
        // Posted after the keys: it is handled after them.
        ::PostMessageW(d, WM_COMMAND, kEndCommand, 0);
    });
    EXPECT_EQ(kEndResult, dialog.DoModal());
    EXPECT_TRUE(driver.Join());
    EXPECT_EQ(2, dialog.m_swallowed);
}

class TimerDialog : public CDialog {
public:
    TimerDialog() : CDialog(IDD_BASIC) {}

protected:
    bool OnCommand(UINT id, UINT code) override
    {
        if (id != kStartCommand)
            return CDialog::OnCommand(id, code);
        SetTimer(7, 10);
        return true;
    }
    void OnTimer(UINT_PTR id) override
    {
        KillTimer(id);
        EndDialog(100 + static_cast<int>(id));
    }
};

TEST(DialogTest, TimerReachesOnTimer)
{
    TimerDialog dialog;
    // Started by the driver, the timer cannot end the dialog before the driver has seen it.
    DialogDriver driver(kBasicCaption, [](HWND d) { ::PostMessageW(d, WM_COMMAND, kStartCommand, 0); });
    EXPECT_EQ(107, dialog.DoModal());
    EXPECT_TRUE(driver.Join());
}

class ThrowingDialog : public CDialog {
public:
    ThrowingDialog() : CDialog(IDD_BASIC) {}

protected:
    BOOL OnInitDialog() override { throw std::runtime_error("failed"); }
};

TEST(DialogTest, DoModalFailsWithMinusOneWithoutATemplateOrWhenAHandlerThrows)
{
    CDialog missing(9999);
    EXPECT_EQ(-1, missing.DoModal());

    ThrowingDialog throwing;
    EXPECT_EQ(-1, throwing.DoModal());
    EXPECT_EQ(nullptr, ::FindWindowW(L"#32770", kBasicCaption));
}

// Runs `start` from its own modal loop; ends with kEndResult on Finish, or when kFinishCommand
// is posted to it.
class HostDialog : public CDialog {
public:
    explicit HostDialog(std::function<void(HostDialog&)> start) : CDialog(IDD_CONTROLS), m_start(std::move(start)) {}
    HWND m_window = nullptr;
    bool m_enabledAtFinish = false;
    bool m_activeAtFinish = false;

    void Finish()
    {
        m_enabledAtFinish = ::IsWindowEnabled(m_hWnd) != FALSE;
        m_activeAtFinish = ::GetActiveWindow() == m_hWnd;
        EndDialog(kEndResult);
    }

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_window = m_hWnd;
        PostMessage(WM_COMMAND, kStartCommand);
        return TRUE;
    }
    bool OnCommand(UINT id, UINT code) override
    {
        if (id == kStartCommand)
            m_start(*this);
        else if (id == kFinishCommand)
            Finish();
        else
            return CDialog::OnCommand(id, code);
        return true;
    }

private:
    std::function<void(HostDialog&)> m_start;
};

struct OwnerSeen {
    HWND owner = nullptr;
    bool ownerEnabled = true;
    DWORD thread = 0;
};

void ObserveOwnerAndPressEsc(OwnerSeen& seen, HWND dialog)
{
    seen.owner = ::GetWindow(dialog, GW_OWNER);
    seen.ownerEnabled = ::IsWindowEnabled(seen.owner) != FALSE;
    seen.thread = ::GetWindowThreadProcessId(dialog, nullptr);
    PressKey(::GetDlgItem(dialog, IDC_EDIT), VK_ESCAPE);
}

TEST(DialogTest, WithoutAParentTheMainWindowOwnsTheDialogAndIsDisabledMeanwhile)
{
    ASSERT_TRUE(AfxInitRichEdit());
    CWinApp app(L"DialogTest");
    INT_PTR innerResult = 0;
    OwnerSeen seen;
    DialogDriver driver(kBasicCaption, [&](HWND d) { ObserveOwnerAndPressEsc(seen, d); });
    HostDialog host([&](HostDialog& self) {
        CDialog inner(IDD_BASIC);
        innerResult = inner.DoModal();
        self.Finish();
    });
    app.m_pMainWnd = &host;
    EXPECT_EQ(kEndResult, host.DoModal());
    EXPECT_TRUE(driver.Join());
    EXPECT_EQ(IDCANCEL, innerResult);
    EXPECT_EQ(host.m_window, seen.owner);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_TRUE(host.m_enabledAtFinish);
    EXPECT_TRUE(host.m_activeAtFinish);
}

TEST(DialogTest, RunsOnAWorkerThreadWithAParentOfTheInterfaceThread)
{
    ASSERT_TRUE(AfxInitRichEdit());
    INT_PTR workerResult = 0;
    DWORD workerThread = 0;
    OwnerSeen seen;
    DialogDriver driver(kBasicCaption, [&](HWND d) { ObserveOwnerAndPressEsc(seen, d); });
    std::thread worker;
    HostDialog host([&](HostDialog& self) {
        worker = std::thread([&] {
            workerThread = ::GetCurrentThreadId();
            CDialog prompt(IDD_BASIC, &self);
            workerResult = prompt.DoModal();
            self.PostMessage(WM_COMMAND, kFinishCommand);
        });
    });
    EXPECT_EQ(kEndResult, host.DoModal());
    worker.join();
    EXPECT_TRUE(driver.Join());
    EXPECT_EQ(IDCANCEL, workerResult);
    EXPECT_EQ(host.m_window, seen.owner);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_EQ(workerThread, seen.thread);
    EXPECT_TRUE(host.m_enabledAtFinish);
}

} // namespace
