#include "framework/Dialog.h"

#include "framework/WinApp.h"

namespace {

// The one place where a handler's result becomes the dialog procedure's answer: a few
// messages take the value itself, all others take it in DWLP_MSGRESULT, with TRUE for
// "handled".
INT_PTR DialogAnswer(HWND window, UINT message, LRESULT value)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return value;
    default:
        ::SetWindowLongPtrW(window, DWLP_MSGRESULT, value);
        return TRUE;
    }
}

// The control for a data exchange; a missing one fails the exchange.
HWND ExchangeControl(CDataExchange* exchange, int id)
{
    HWND control = exchange->m_pDlgWnd->GetDlgItem(id);
    if (!control)
        exchange->m_bFailed = true;
    return control;
}

} // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParentWnd(parent) {}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;
    m_ended = false;
    m_result = -1;
    HWND owner = FindOwner();
    HWND window = ::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_templateId), owner, DialogProc,
                                       reinterpret_cast<LPARAM>(this));
    if (!window)
        return -1;
    // An owner disabled already belongs to an outer modal dialog, which enables it again.
    const bool disabledOwner = owner && ::IsWindowEnabled(owner);
    if (disabledOwner)
        ::EnableWindow(owner, FALSE);
    if (!m_ended) {
        ::ShowWindow(window, SW_SHOWNORMAL);
        RunModalLoop();
    }
    // The owner is enabled before the dialog goes, or the system would activate some other
    // program's window in its place.
    if (disabledOwner)
        ::EnableWindow(owner, TRUE);
    if (m_hWnd) {
        const bool wasActive = ::GetActiveWindow() == m_hWnd;
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        // Hiding the active window activates the next one in z-order, which need not be the
        // owner.
        if (wasActive && owner)
            ::SetActiveWindow(owner);
        // The destruction messages find no object: nothing of a derived class runs while the
        // window goes, whatever happens to the object afterwards.
        UnbindHandle();
        ::DestroyWindow(window);
    }
    return m_result;
}

HWND CDialog::FindOwner() const
{
    CWnd* parent = m_pParentWnd;
    if (!parent) {
        CWinApp* app = AfxGetApp();
        if (app && app->m_pMainWnd != this)
            parent = app->m_pMainWnd;
    }
    if (!parent || !parent->m_hWnd)
        return nullptr;
    return ::GetAncestor(parent->m_hWnd, GA_ROOT);
}

void CDialog::RunModalLoop()
{
    try {
        MSG message;
        while (!m_ended && m_hWnd) {
            const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
            if (got == -1)
                return;
            if (got == 0) {
                // Meant for the loop further out, which must see it too.
                ::PostQuitMessage(static_cast<int>(message.wParam));
                m_result = -1;
                return;
            }
            if (PreTranslateMessage(&message) || ::IsDialogMessageW(m_hWnd, &message))
                continue;
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    } catch (...) {
        m_result = -1;
    }
}

void CDialog::EndDialog(int result)
{
    m_result = result;
    m_ended = true;
    // Ended from a message sent by another thread, the loop still waits in GetMessage.
    if (m_hWnd)
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

bool CDialog::PreTranslateMessage(MSG*)
{
    return false;
}

void CDialog::GotoDlgCtrl(const CWnd& control)
{
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control.m_hWnd), TRUE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->BindHandle(window);
    } else {
        // Messages before WM_INITDIALOG and after the slot was cleared find no object.
        self = static_cast<CDialog*>(FromHandlePermanent(window));
    }
    if (!self)
        return FALSE;

    INT_PTR answer = FALSE;
    try {
        const DispatchResult result = self->Dispatch(message, wParam, lParam);
        if (!result.leftToDefault)
            answer = DialogAnswer(window, message, result.value);
    } catch (...) {
        // Unwinding through the system's code is undefined; a dialog whose handler failed
        // is in no state to go on.
        self->EndDialog(-1);
    }
    if (message == WM_NCDESTROY)
        self->UnbindHandle();
    return answer;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_SYSCOLORCHANGE:
        // Only top-level windows are told; controls follow the new colours only when passed on.
        ForwardToChildren(message, wParam, lParam);
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

LRESULT CDialog::DefWindowProc(UINT, WPARAM, LPARAM)
{
    // The dialog manager's own processing runs when the dialog procedure answers FALSE; it
    // cannot be called from inside (it would call the dialog procedure again).
    MarkLeftToDefault();
    return 0;
}

void CDialog::ForwardToChildren(UINT message, WPARAM wParam, LPARAM lParam)
{
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ::SendMessageW(child, message, wParam, lParam);
}

bool CDialog::OnCommand(UINT id, UINT code)
{
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return !exchange.m_bFailed;
}

void DDX_Control(CDataExchange* exchange, int id, CWnd& control)
{
    if (control.m_hWnd)
        return;
    if (!control.SubclassDlgItem(id, exchange->m_pDlgWnd))
        exchange->m_bFailed = true;
}

void DDX_Check(CDataExchange* exchange, int id, int& value)
{
    HWND control = ExchangeControl(exchange, id);
    if (!control)
        return;
    if (exchange->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Text(CDataExchange* exchange, int id, std::wstring& value)
{
    HWND control = ExchangeControl(exchange, id);
    if (!control)
        return;
    if (exchange->m_bSaveAndValidate)
        value = WindowText(control);
    else
        ::SetWindowTextW(control, value.c_str());
}
