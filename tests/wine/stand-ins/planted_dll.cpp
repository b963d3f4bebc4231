// zqplanted.dll: a stand-in for a DLL that someone placed beside the
// program or in its current folder. It only has to load. For rundll32 it
// also has ZqRecord, which writes "ran" to the file its argument names:
// only a rundll32 of this build's word size can load it.
#include <windows.h>

extern "C" __declspec(dllexport) int ZqPlanted() { return 42; }

extern "C" __declspec(dllexport) void CALLBACK ZqRecord(HWND, HINSTANCE, LPSTR path, int) {
    HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, "ran", 3, &written, nullptr);
    ::CloseHandle(file);
}
