// The program's entry point on Windows: the real machine, chosen once here
// and handed to the run.
#include <windows.h>

#include "app/entry.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Kept until the process ends: it holds the single-instance mutex.
    zq::win32::Win32Platform machine;
    return zq::RunProgram(machine.Get());
}
