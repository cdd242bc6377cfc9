#include "framework/Wnd.h"

#include "win32/ScopedHandle.h"

namespace {

// The lookup slot of every window bound to an object. A property rather than
// GWLP_USERDATA, which a control may use for itself.
const wchar_t kObjectProperty[] = L"Morvane.Framework.CWnd";
constexpr UINT_PTR kSubclassId = 1;

// Mouse coordinates are signed: left of or above a window that holds the capture they are
// negative (windowsx.h is not included: its SubclassWindow macro would rename the member).
POINT PointFromLParam(LPARAM lParam)
{
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// A function of user32 that older systems lack, or null.
template <class Fn>
Fn User32Function(const char* name)
{
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

} // namespace

UINT WindowDpi(HWND window)
{
    static const auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (getDpiForWindow)
        return getDpiForWindow(window);
    // A memory device context has the screen's dots per inch.
    UniqueMemoryDc screen(::CreateCompatibleDC(nullptr));
    const int dpi = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

int SystemMetricForDpi(int index, UINT dpi)
{
    static const auto getSystemMetricsForDpi = User32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    return getSystemMetricsForDpi ? getSystemMetricsForDpi(index, dpi) : ::GetSystemMetrics(index);
}

CWnd::~CWnd()
{
    if (m_subclassed)
        UnsubclassWindow();
}

bool CWnd::Attach(HWND window)
{
    if (m_hWnd || !::IsWindow(window))
        return false;
    m_hWnd = window;
    return true;
}

HWND CWnd::Detach()
{
    if (m_subclassed)
        return UnsubclassWindow();
    HWND window = m_hWnd;
    m_hWnd = nullptr;
    return window;
}

bool CWnd::SubclassWindow(HWND window)
{
    if (m_hWnd || !::IsWindow(window) || FromHandlePermanent(window))
        return false;
    m_hWnd = window;
    PreSubclassWindow();
    if (!::SetPropW(window, kObjectProperty, this)) {
        m_hWnd = nullptr;
        return false;
    }
    if (!::SetWindowSubclass(window, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        UnbindHandle();
        return false;
    }
    m_subclassed = true;
    return true;
}

bool CWnd::SubclassDlgItem(int id, CWnd* parent)
{
    return parent && SubclassWindow(::GetDlgItem(parent->m_hWnd, id));
}

HWND CWnd::UnsubclassWindow()
{
    if (!m_subclassed)
        return nullptr;
    HWND window = m_hWnd;
    ::RemoveWindowSubclass(window, SubclassProc, kSubclassId);
    m_subclassed = false;
    UnbindHandle();
    return window;
}

CWnd* CWnd::FromHandlePermanent(HWND window)
{
    return window ? static_cast<CWnd*>(::GetPropW(window, kObjectProperty)) : nullptr;
}

void CWnd::BindHandle(HWND window)
{
    m_hWnd = window;
    ::SetPropW(window, kObjectProperty, this);
}

void CWnd::UnbindHandle()
{
    ::RemovePropW(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR refData)
{
    auto* self = reinterpret_cast<CWnd*>(refData);
    LRESULT result = 0;
    try {
        result = self->Dispatch(message, wParam, lParam).value;
    } catch (...) {
        // Unwinding through the system's code is undefined: the message ends here as handled.
    }
    if (message == WM_NCDESTROY)
        self->UnsubclassWindow();
    return result;
}

CWnd::DispatchResult CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    struct Restore {
        CurrentMessage& slot;
        CurrentMessage saved;
        ~Restore() { slot = saved; }
    } restore{m_current, m_current};
    m_current = {message, wParam, lParam, false};
    const LRESULT value = WindowProc(message, wParam, lParam);
    return {value, m_current.leftToDefault};
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Messages reach a CWnd only through its subclass procedure, or the dialog procedure,
    // which overrides this.
    return ::DefSubclassProc(m_hWnd, message, wParam, lParam);
}

bool CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND child = nullptr;
    switch (message) {
    case WM_NOTIFY:
        child = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
        break;
    case WM_CTLCOLORSTATIC:
    case WM_COMMAND:
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_DRAWITEM:
        if (wParam != 0) // zero: a menu item
            child = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
        break;
    default:
        return false;
    }
    CWnd* control = FromHandlePermanent(child);
    if (!control || control == this)
        return false;

    switch (message) {
    case WM_NOTIFY:
        return control->OnReflectNotify(reinterpret_cast<NMHDR*>(lParam), &result);
    case WM_CTLCOLORSTATIC: {
        HBRUSH brush = control->OnReflectCtlColor(reinterpret_cast<HDC>(wParam));
        result = reinterpret_cast<LRESULT>(brush);
        return brush != nullptr;
    }
    case WM_DRAWITEM:
        control->DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    default: // WM_COMMAND
        result = 0;
        return control->OnReflectCommand(HIWORD(wParam));
    }
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (ReflectToChild(message, wParam, lParam, result))
        return result;

    switch (message) {
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam)))
            return 0;
        break;
    case WM_NOTIFY:
        if (OnNotify(reinterpret_cast<NMHDR*>(lParam), &result))
            return result;
        break;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(OnQueryDragIcon());
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), PointFromLParam(lParam));
        return 0;
    case WM_SETCURSOR:
        return OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam));
    case WM_SYSCOLORCHANGE:
        OnSysColorChange();
        return 0;
    }
    return Default();
}

bool CWnd::OnCommand(UINT, UINT)
{
    return false;
}

bool CWnd::OnNotify(NMHDR*, LRESULT*)
{
    return false;
}

void CWnd::OnTimer(UINT_PTR)
{
    Default();
}

void CWnd::OnSysCommand(UINT, LPARAM)
{
    Default();
}

void CWnd::OnPaint()
{
    Default();
}

HCURSOR CWnd::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(Default());
}

BOOL CWnd::OnEraseBkgnd(HDC)
{
    return static_cast<BOOL>(Default());
}

void CWnd::OnMouseMove(UINT, POINT)
{
    Default();
}

BOOL CWnd::OnSetCursor(HWND, UINT, UINT)
{
    return static_cast<BOOL>(Default());
}

void CWnd::OnSysColorChange()
{
    Default();
}

bool CWnd::OnReflectNotify(NMHDR*, LRESULT*)
{
    return false;
}

HBRUSH CWnd::OnReflectCtlColor(HDC)
{
    return nullptr;
}

void CWnd::DrawItem(DRAWITEMSTRUCT*) {}

bool CWnd::OnReflectCommand(UINT)
{
    return false;
}

HWND CWnd::GetDlgItem(int id) const
{
    return ::GetDlgItem(m_hWnd, id);
}

std::wstring WindowText(HWND window)
{
    // The length is an upper bound (it may count a double-byte conversion), never short.
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring CWnd::GetWindowText() const
{
    return WindowText(m_hWnd);
}

void CWnd::SetWindowText(const wchar_t* text)
{
    ::SetWindowTextW(m_hWnd, text);
}

void CWnd::GetWindowRect(RECT* rect) const
{
    ::GetWindowRect(m_hWnd, rect);
}

void CWnd::GetClientRect(RECT* rect) const
{
    ::GetClientRect(m_hWnd, rect);
}

void CWnd::ScreenToClient(POINT* point) const
{
    ::ScreenToClient(m_hWnd, point);
}

void CWnd::ScreenToClient(RECT* rect) const
{
    // Both corners at once, so that a mirrored (right-to-left) window swaps them correctly.
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

void CWnd::MoveWindow(int x, int y, int width, int height, bool repaint)
{
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(const RECT& rect, bool repaint)
{
    MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

bool CWnd::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags) != FALSE;
}

bool CWnd::ShowWindow(int command)
{
    return ::ShowWindow(m_hWnd, command) != FALSE;
}

bool CWnd::EnableWindow(bool enable)
{
    return ::EnableWindow(m_hWnd, enable) != FALSE;
}

bool CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd) != FALSE;
}

void CWnd::SetRedraw(bool redraw)
{
    ::SendMessageW(m_hWnd, WM_SETREDRAW, redraw, 0);
    // Windows leaves drawing anew to the caller.
    if (redraw)
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void CWnd::Invalidate(bool erase)
{
    ::InvalidateRect(m_hWnd, nullptr, erase);
}

bool CWnd::RedrawWindow(const RECT* update, HRGN region, UINT flags)
{
    return ::RedrawWindow(m_hWnd, update, region, flags) != FALSE;
}

HWND CWnd::SetCapture()
{
    return ::SetCapture(m_hWnd);
}

bool CWnd::ReleaseCapture()
{
    return ::ReleaseCapture() != FALSE;
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs)
{
    return ::SetTimer(m_hWnd, id, elapseMs, nullptr);
}

bool CWnd::KillTimer(UINT_PTR id)
{
    return ::KillTimer(m_hWnd, id) != FALSE;
}

HMENU CWnd::GetSystemMenu(bool revert) const
{
    return ::GetSystemMenu(m_hWnd, revert);
}

HICON CWnd::SetIcon(HICON icon, bool big)
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

void CWnd::SetFont(HFONT font, bool redraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

HFONT CWnd::GetFont() const
{
    return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
}

DWORD CWnd::GetStyle() const
{
    return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
}

bool CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags)
{
    const DWORD style = GetStyle();
    const DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return false;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
    if (flags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return true;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

bool CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam) != FALSE;
}
