#pragma once
// The program: with a target on its command line it confirms, asks for the method and erases
// that target; without one it shows the main window. It never runs a message loop of its
// own: the modal dialogs are the whole run.

#include "framework/WinApp.h"

class CVantrelApp : public CWinApp {
public:
    // Always FALSE: the program ends when its dialogs are done.
    BOOL InitInstance() override;
};

extern CVantrelApp theApp;
