// Stand-in for the imaging software's tray application in the plug-in
// tests: built as zqnotify.exe, it does nothing but wait until it is
// terminated.
#include <windows.h>

int main() {
    ::Sleep(INFINITE);
    return 0;
}
