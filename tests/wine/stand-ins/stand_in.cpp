// The stand-in program of the Wine tests, built three times: as
// zq_test_child.exe (a package's program and a process to end), as
// zqnotify.exe (the imaging software's tray application, started without
// arguments) and as zqstage.exe (a GUI program, so that no console window
// covers the launcher's copy dialog while it runs).
//
//   (no arguments)              waits until it is terminated
//   exit N                      ends at once with exit status N
//   wait EVENT_NAME [DONE_FILE] waits (ten minutes at most) until another
//                               program sets the named event, then creates
//                               DONE_FILE, if given, and ends with 0
//
// The launcher lowers the command lines it starts, so names are lower case.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/win32/scoped_handle.h"

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
    if (argc < 3 || std::strcmp(argv[1], "wait") != 0) {
        ::Sleep(INFINITE);
        return 0;
    }
    zq::win32::ScopedHandle release(::CreateEventA(nullptr, TRUE, FALSE, argv[2]));
    if (!release) return 98;
    ::WaitForSingleObject(release.Get(), 10 * 60 * 1000);
    if (argc > 3) {
        zq::win32::ScopedFileHandle done(
            ::CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    return 0;
}
