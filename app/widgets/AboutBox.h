#pragma once
// The About box: the product's logo, what the program does, the copyright.

#include "app/widgets/BitmapPicture.h"
#include "framework/Dialog.h"

class CAboutBox : public CDialog {
public:
    explicit CAboutBox(CWnd* parent = nullptr);

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    // Loads the logo on every showing: the control is a new one each time.
    BOOL OnInitDialog() override;

private:
    CBitmapPicture m_logo;
};
