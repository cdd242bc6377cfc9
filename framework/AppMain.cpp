// The program's entry point, outside the framework's static library: the run-time library
// that calls wWinMain comes last on the link line, after the archives have been searched.

#include "framework/WinApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    return AfxWinMain(instance);
}
