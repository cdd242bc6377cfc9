#include "app/MethodChooser.h"

#include "engine/EraseMethod.h"
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

CMethodChooser::CMethodChooser() : CDialog(IDD_METHOD_CHOOSER)
{
}

void CMethodChooser::DoDataExchange(CDataExchange* exchange)
{
    DDX_Control(exchange, IDC_METHOD, m_cbMethod);
}

BOOL CMethodChooser::OnInitDialog()
{
    CDialog::OnInitDialog();
    InsertEraseMethods(m_cbMethod);
    // A stored index outside the list leaves it without a selection, for the user to repair.
    m_cbMethod.SetCurSel(AfxGetApp()->GetProfileInt(kSettingsSection, kFileMethodEntry, 0));
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
    CDialog::OnOK();
}
