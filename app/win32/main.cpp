// The program's entry point on Windows: the real machine, chosen once here
// and handed to the run.
#include <windows.h>

#include "app/entry.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // First of all: the program runs elevated from a folder others can
    // write to, and nothing below may load a DLL from there.
    zq::win32::HardenDllSearch();

    // Kept until the process ends: it holds the single-instance mutex.
    zq::win32::Win32Platform machine;
    return zq::RunProgram(machine.Get());
}
