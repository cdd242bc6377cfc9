#include "progress/UnlockMsgDlg.h"

#include "resources/resource.h"

CUnlockMsgDlg::CUnlockMsgDlg(CWnd* parent) : CDialog(IDD_UNLOCK_MSG, parent)
{
}

void CUnlockMsgDlg::DoDataExchange(CDataExchange* exchange)
{
    DDX_Check(exchange, IDC_FOR_ALL, ForAll);
    DDX_Text(exchange, IDC_MESSAGE_TEXT, MessageText);
}

void CUnlockMsgDlg::OnOK()
{
    Close(kYes, IDOK);
}

void CUnlockMsgDlg::OnCancel()
{
    Close(kNo, IDCANCEL);
}

bool CUnlockMsgDlg::OnCommand(UINT id, UINT code)
{
    if (id == IDC_TERMINATE && code == BN_CLICKED) {
        Close(kTerminate, IDCANCEL);
        return true;
    }
    return CDialog::OnCommand(id, code);
}

void CUnlockMsgDlg::Close(int choice, int result)
{
    Choice = choice;
    UpdateData(true);
    EndDialog(result);
}
