#pragma once
// The window base of the dialog framework. A CWnd routes the messages of one window to its
// virtual handlers: a control is bound by subclassing it (SubclassWindow, SubclassDlgItem,
// DDX_Control), a dialog by its dialog procedure (CDialog). The base handlers give a message
// its default processing, so an override calls its base class for "the default".
//
// A parent passes WM_NOTIFY, WM_CTLCOLORSTATIC, WM_DRAWITEM and WM_COMMAND that come from a
// bound child to that child first (the OnReflect... handlers and DrawItem); the parent's own
// handlers see the message only when the child did not take it.

#include <windows.h>
#include <commctrl.h>

#include <string>

// Sent to every child window once its top-level window has moved to a monitor of another
// DPI and has been scaled; MinGW's headers declare it only for Windows 10 builds.
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

// The whole text of any window.
std::wstring WindowText(HWND window);

// The dots per inch a window is shown at: its monitor's where windows follow their monitor
// (Windows 10 and later), the system's otherwise.
UINT WindowDpi(HWND window);
// A system metric (SM_...) at a number of dots per inch; before Windows 10 every window has
// the system's, and so do the metrics.
int SystemMetricForDpi(int index, UINT dpi);

class CWnd {
public:
    CWnd() = default;
    // Gives the window back its own procedure when it outlives the object; must then run on
    // the window's thread.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Wraps a window for the helpers below without receiving its messages.
    bool Attach(HWND window);
    HWND Detach();

    // Receives the window's messages until the window is destroyed or UnsubclassWindow.
    // False when this object already has a window or the window belongs to another object.
    bool SubclassWindow(HWND window);
    bool SubclassDlgItem(int id, CWnd* parent);
    HWND UnsubclassWindow();

    // The object that receives the window's messages, or null.
    static CWnd* FromHandlePermanent(HWND window);

    HWND GetDlgItem(int id) const;
    std::wstring GetWindowText() const;
    void SetWindowText(const wchar_t* text);
    void GetWindowRect(RECT* rect) const;
    void GetClientRect(RECT* rect) const;
    void ScreenToClient(POINT* point) const;
    void ScreenToClient(RECT* rect) const;
    void MoveWindow(int x, int y, int width, int height, bool repaint = true);
    void MoveWindow(const RECT& rect, bool repaint = true);
    bool SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
    bool ShowWindow(int command);
    bool EnableWindow(bool enable = true);
    bool IsIconic() const;
    // While off, changes to the window draw nothing; on again, the window is drawn anew.
    void SetRedraw(bool redraw = true);
    void Invalidate(bool erase = true);
    bool RedrawWindow(const RECT* update = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    HWND SetCapture();
    bool ReleaseCapture();
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    bool KillTimer(UINT_PTR id);
    HMENU GetSystemMenu(bool revert) const;
    HICON SetIcon(HICON icon, bool big);
    void SetFont(HFONT font, bool redraw = true);
    HFONT GetFont() const;
    DWORD GetStyle() const;
    // Style changes that alter the frame take effect only with SWP_FRAMECHANGED in flags.
    bool ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

protected:
    // Runs once the object is bound to the window, before its messages come here.
    virtual void PreSubclassWindow() {}

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The processing a message gets when no handler takes it.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();

    // OnCommand and OnNotify return true when they have handled the message; the base
    // versions of all handlers give it its default processing.
    virtual bool OnCommand(UINT id, UINT code);
    virtual bool OnNotify(NMHDR* header, LRESULT* result);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnSysCommand(UINT id, LPARAM param);
    virtual void OnPaint();
    virtual HCURSOR OnQueryDragIcon();
    virtual BOOL OnEraseBkgnd(HDC dc);
    virtual void OnMouseMove(UINT flags, POINT point);
    virtual BOOL OnSetCursor(HWND window, UINT hitTest, UINT message);
    virtual void OnSysColorChange();

    // Reflected by the parent. True (or a brush) when the control has handled the message;
    // the parent then answers with *result (or the brush). An owner-drawn bound control
    // always draws itself.
    virtual bool OnReflectNotify(NMHDR* header, LRESULT* result);
    virtual HBRUSH OnReflectCtlColor(HDC dc);
    virtual void DrawItem(DRAWITEMSTRUCT* item);
    virtual bool OnReflectCommand(UINT code);

    struct DispatchResult {
        LRESULT value;
        bool leftToDefault; // the handler asked for default processing it could not run itself
    };
    // Runs WindowProc for one message; messages sent meanwhile nest.
    DispatchResult Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void MarkLeftToDefault() { m_current.leftToDefault = true; }

    // For windows bound by other means than subclassing (dialogs): the same lookup slot.
    void BindHandle(HWND window);
    void UnbindHandle();

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR refData);
    bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool leftToDefault;
    };
    CurrentMessage m_current{};
    bool m_subclassed = false;
};

// The device context of one WM_PAINT handler: painting ends, and the window is validated,
// when it goes.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* window) : m_window(window->m_hWnd), m_hDC(::BeginPaint(m_window, &m_ps)) {}
    ~CPaintDC() { ::EndPaint(m_window, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    operator HDC() const { return m_hDC; }

private:
    HWND m_window;
    PAINTSTRUCT m_ps = {};
    HDC m_hDC;
};
