// Holds Wine's desktop open for the length of a test run, so that the desktop and the
// services are started once, before the first test, and not by (and for) every test. Once the
// desktop is there it creates the file it is given: until then, a test's first window would
// start the desktop itself, which would then hold that test's output open and CTest would wait
// for it forever.
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    ::GetDesktopWindow();
    if (argc == 2)
        ::CloseHandle(::CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ::Sleep(INFINITE);
}
