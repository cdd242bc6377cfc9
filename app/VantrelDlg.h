#pragma once
// The main window: a tree of drives, folders and files, the erase method, and "Delete",
// which confirms and erases the selected item in one job and then refreshes it in the tree;
// Drive > Wipe Free Space wipes the selected drive's free space with the method; Reports names the
// folder where every job's report is also saved, or none.

#include "app/browser/FileBrowserCtrl.h"
#include "app/widgets/AboutBox.h"
#include "app/widgets/BitmapPicture.h"
#include "app/widgets/MyHyperLink.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"

#include <string>
#include <vector>

class CVantrelDlg : public CDialog {
public:
    explicit CVantrelDlg(CWnd* parent = nullptr);

    // Enter and Esc do nothing here: neither may erase nor close by accident.
    bool PreTranslateMessage(MSG* message) override;

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    // The window is closing: the chosen method is remembered.
    void OnCancel() override;
    bool OnCommand(UINT id, UINT code) override;
    void OnSysCommand(UINT id, LPARAM param) override;
    void OnPaint() override;
    HCURSOR OnQueryDragIcon() override;

private:
    void OnBnClickedDelete();
    void OnWipeFreeSpace();
    void OnSaveReportsInFolder();
    // Stored in the settings; an empty folder ticks "Keep No Reports".
    void SetReportFolder(const std::wstring& folder);
    // Erases the confirmed targets that are still there, and refreshes the tree.
    void RunErase(const std::vector<std::wstring>& confirmed);

    HICON m_hIcon;
    CMyHyperLink m_link;
    CFileBrowserCtrl m_tree;
    CComboBox m_cbMethod;
    CButton m_verifyBox;
    CBitmapPicture m_banner;
    CAboutBox m_aboutBox;
};
