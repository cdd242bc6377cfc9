#pragma once
// Modal dialogs from numbered templates of the program's resources.
//
// DoModal runs a message loop of its own, so that PreTranslateMessage sees every message of
// its thread first, and it may run on any thread, also with a parent owned by another one.
// Its handlers run on the thread that called DoModal.

#include "framework/Wnd.h"

#include <string>

class CDialog;

// What UpdateData hands to DoDataExchange.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CDialog* const m_pDlgWnd;
    const bool m_bSaveAndValidate; // true: controls to members; false: members to controls
    bool m_bFailed = false;        // a control was missing
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // IDOK, IDCANCEL or what EndDialog was given; -1 when the dialog could not be created or
    // a handler threw. The owner is the parent's top-level window, or without a parent the
    // application's main window; it is disabled while the dialog runs.
    INT_PTR DoModal();
    // Ends the modal loop once the current message has been handled. On the dialog's thread.
    void EndDialog(int result);

    // False when an exchange found no control. Without DoDataExchange: true.
    bool UpdateData(bool saveAndValidate = true);

    // True when the message has been handled and goes no further; the base handles none.
    virtual bool PreTranslateMessage(MSG* message);

    // Gives the control the keyboard focus as Tab would, default button included.
    void GotoDlgCtrl(const CWnd& control);

protected:
    // Runs DoDataExchange (members to controls). TRUE lets the system give the focus to the
    // first control that takes it.
    virtual BOOL OnInitDialog();
    // IDOK: UpdateData(true), then ends with IDOK unless that failed.
    virtual void OnOK();
    // IDCANCEL, also Esc and the close box: ends with IDCANCEL.
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* exchange);

    bool OnCommand(UINT id, UINT code) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND FindOwner() const;
    void RunModalLoop();
    void ForwardToChildren(UINT message, WPARAM wParam, LPARAM lParam);

    const UINT m_templateId;
    CWnd* const m_pParentWnd;
    bool m_ended = false;
    int m_result = -1;
};

// Binds the dialog's control `id` to `control` by subclassing it; a control that is already
// bound is left as it is.
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);
// A check box or radio button: BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
void DDX_Check(CDataExchange* exchange, int id, int& value);
void DDX_Text(CDataExchange* exchange, int id, std::wstring& value);
