// A program with every fault the exe check exists to catch: console
// subsystem, the C++ runtime as a DLL, an import that Windows XP lacks
// (GetTickCount64 came with Vista), no manifest and no version resource;
// linked without ASLR, DEP, high-entropy addresses and base relocations
// (see CMakeLists.txt); importing version.dll, which a file in the
// program's folder could stand in for, and comctl32 with no manifest to
// take it from the side-by-side store; importing SetDllDirectoryW where it
// should be looked up at run time, and never naming
// SetDefaultDllDirectories.
#include <windows.h>

#include <commctrl.h>
#include <winver.h>

#include <string>

extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64();
extern "C" __declspec(dllimport) BOOL WINAPI SetDllDirectoryW(LPCWSTR);

int main(int argc, char** argv) {
    std::string text(static_cast<std::size_t>(argc), 'x');
    SetDllDirectoryW(L"");
    InitCommonControls();
    const DWORD versionSize = GetFileVersionInfoSizeA(argv[0], nullptr);
    return static_cast<int>(GetTickCount64() % 2) + static_cast<int>(text.size()) + static_cast<int>(versionSize % 2);
}
