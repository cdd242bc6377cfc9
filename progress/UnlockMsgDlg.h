#pragma once
// The question asked when another process holds a file or folder open: try to free it, skip
// it, or stop the job; and whether the same answer goes to all such questions of the job.

#include "framework/Dialog.h"

#include <string>

class CUnlockMsgDlg : public CDialog {
public:
    enum : int { kYes = 0, kNo = 1, kTerminate = 2 };

    explicit CUnlockMsgDlg(CWnd* parent);

    // Which button closed the prompt; Esc and the close box count as "No".
    int Choice = kNo;
    // "Use for all locked files", read back whichever button closed the prompt.
    int ForAll = FALSE;
    std::wstring MessageText;

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(UINT id, UINT code) override;

private:
    void Close(int choice, int result);
};
