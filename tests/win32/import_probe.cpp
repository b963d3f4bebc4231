// A program with every fault the exe check exists to catch: console
// subsystem, the C++ runtime as a DLL, an import that Windows XP lacks
// (GetTickCount64 came with Vista), no manifest and no version resource.
#include <windows.h>

#include <string>

extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64();

int main(int argc, char**) {
    std::string text(static_cast<std::size_t>(argc), 'x');
    return static_cast<int>(GetTickCount64() % 2) + static_cast<int>(text.size());
}
