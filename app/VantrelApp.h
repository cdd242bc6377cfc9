#pragma once
// The program: with a target on its command line it confirms, asks for the method and erases
// that target; with "/quiet" it erases with no window at all; without a target it shows the main
// window. It never runs a message loop of its own: the modal dialogs are the whole run.

#include "framework/WinApp.h"

class CVantrelApp : public CWinApp {
public:
    // Always FALSE: the program ends when its dialogs, or its quiet job, are done.
    BOOL InitInstance() override;
    // What the run came to, as the exit codes of progress/job/JobDriver.h say; 0 after the main window.
    int ExitInstance() override;

private:
    int m_exitCode = 0;
};

extern CVantrelApp theApp;
