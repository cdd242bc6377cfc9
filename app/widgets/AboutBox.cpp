#include "app/widgets/AboutBox.h"

#include "resources/resource.h"

CAboutBox::CAboutBox(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}

void CAboutBox::DoDataExchange(CDataExchange* exchange)
{
    CDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_LOGO, m_logo);
}

BOOL CAboutBox::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_logo.SetBitmapResource(IDB_LOGO);
    return TRUE;
}
