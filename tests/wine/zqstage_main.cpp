// A stand-in for a package's "zqstage" program: the launcher shows its
// copy-progress dialog while a program of that name runs.
//
//   zqstage.exe sleep SECONDS [DONE_FILE]
//   zqstage.exe wait EVENT_NAME [DONE_FILE]
//
// "sleep" runs for a few seconds; "wait" runs until another program sets
// the named event (so a test decides when the program ends, without
// guessing at times), and at most ten minutes. Before it ends it creates
// DONE_FILE, if given, so a test can tell that the program has finished.
// The launcher lower-cases the command line, so names are lower case.
//
// A GUI program, as a package's own programs are: a console program would
// get a console window of its own, over the launcher's dialog.
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

void CreateDoneFile(const wchar_t* path) {
    HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const int argc = __argc;
    wchar_t** argv = __wargv;
    if (argc < 3) return 2;
    const std::wstring mode = argv[1];
    if (mode == L"sleep") {
        ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000);
    } else if (mode == L"wait") {
        HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, argv[2]);
        if (release == nullptr) return 3;
        ::WaitForSingleObject(release, 10 * 60 * 1000);
        ::CloseHandle(release);
    } else {
        return 2;
    }
    if (argc > 3) CreateDoneFile(argv[3]);
    return 0;
}
