#pragma once
// The small dialog in which the erase method is picked before a job from the command line.

#include "framework/Controls.h"
#include "framework/Dialog.h"

// The method id of an entry of the method list; 1 for no entry (-1) and anything unknown.
int EraseMethodIdFromIndex(int index);

// "Verify the last pass" as stored, and the box that shows it.
bool StoredVerifyLastPass();
void ShowVerifyLastPass(CButton& box);
// The box's state, stored; the setting it now is.
bool StoreVerifyLastPass(const CButton& box);

// Fills a method list in the list's order, by position, so that a sorted combo box keeps it.
void InsertEraseMethods(CComboBox& list);

class CMethodChooser : public CDialog {
public:
    CMethodChooser();

    CComboBox m_cbMethod;
    CButton m_verifyBox;
    // The chosen method id and whether the last pass is verified; set only by OK.
    int m_nMethod = 1;
    bool m_verifyLastPass = true;

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};
