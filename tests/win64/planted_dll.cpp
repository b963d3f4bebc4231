// zqplanted.dll: a stand-in for a DLL that someone placed beside the
// program or in its current folder. It only has to load.
#include <windows.h>

extern "C" __declspec(dllexport) int ZqPlanted() { return 42; }
