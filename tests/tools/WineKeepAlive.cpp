// Holds Wine's desktop open for the length of a test run, so that the desktop and the
// services are started once, before the first test, and not by (and for) every test.
#include <windows.h>

int main()
{
    ::GetDesktopWindow();
    ::Sleep(INFINITE);
}
