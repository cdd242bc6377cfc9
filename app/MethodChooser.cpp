#include "app/MethodChooser.h"

#include "engine/overwrite/EraseMethod.h"
#include "framework/WinApp.h"
#include "progress/Settings.h"
#include "resources/resource.h"

int EraseMethodIdFromIndex(int index)
{
    return index >= 1 && index < kEraseMethodCount ? index + 1 : 1;
}

void InsertEraseMethods(CComboBox& list)
{
    for (int i = 0; i < kEraseMethodCount; ++i)
        list.InsertString(i, kEraseMethods[i].name);
}

bool StoredVerifyLastPass()
{
    return AfxGetApp()->GetProfileInt(kSettingsSection, kVerifyLastPassEntry, 1) != 0;
}

void ShowVerifyLastPass(CButton& box)
{
    box.SetCheck(StoredVerifyLastPass() ? BST_CHECKED : BST_UNCHECKED);
}

bool StoreVerifyLastPass(const CButton& box)
{
    const bool verify = box.GetCheck() == BST_CHECKED;
    AfxGetApp()->WriteProfileInt(kSettingsSection, kVerifyLastPassEntry, verify ? 1 : 0);
    return verify;
}

CMethodChooser::CMethodChooser() : CDialog(IDD_METHOD_CHOOSER)
{
}

void CMethodChooser::DoDataExchange(CDataExchange* exchange)
{
    DDX_Control(exchange, IDC_METHOD, m_cbMethod);
    DDX_Control(exchange, IDC_VERIFY, m_verifyBox);
}

BOOL CMethodChooser::OnInitDialog()
{
    CDialog::OnInitDialog();
    InsertEraseMethods(m_cbMethod);
    // A stored index outside the list leaves it without a selection, for the user to repair.
    m_cbMethod.SetCurSel(AfxGetApp()->GetProfileInt(kSettingsSection, kFileMethodEntry, 0));
    ShowVerifyLastPass(m_verifyBox);
    // The list has the keyboard, so that the arrow keys pick a method at once; Enter still
    // presses OK.
    GotoDlgCtrl(m_cbMethod);
    return FALSE;
}

void CMethodChooser::OnOK()
{
    const int index = m_cbMethod.GetCurSel();
    m_nMethod = EraseMethodIdFromIndex(index);
    // The raw index: an empty selection is stored as -1.
    AfxGetApp()->WriteProfileInt(kSettingsSection, kFileMethodEntry, index);
    m_verifyLastPass = StoreVerifyLastPass(m_verifyBox);
    CDialog::OnOK();
}
