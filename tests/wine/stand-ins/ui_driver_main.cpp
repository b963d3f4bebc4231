// zq_ui_driver: the dialog driver of ui_driver.h as a command, for scripts
// that show the launcher's windows (scripts/screenshots.sh).
//
//   zq_ui_driver wait copy [PERCENT]  the copy dialog, once at PERCENT (0)
//   zq_ui_driver wait finish|message  the finish screen, the message box
//   zq_ui_driver release EVENT        sets the named event (ends zqstage.exe)
//   zq_ui_driver finish               ticks the box, then presses Finish
//   zq_ui_driver ok                   presses OK on the message box
//
// "wait" prints the window's rectangle as "left top width height". Exit
// status 0 on success, 1 when the window did not come, 2 for bad usage.
#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/wine/support/ui_driver.h"
#include "ui/copy_dialog.h"

namespace {

using namespace zq::test;

HWND Find(const std::wstring& kind) {
    if (kind == L"copy") return WaitForDialog(0, IsCopyDialog);
    if (kind == L"finish") return WaitForDialog(0, IsFinishScreen);
    if (kind == L"message") return WaitForDialog(0, IsMessageBox);
    return nullptr;
}

int Wait(const std::wstring& kind, int percent) {
    HWND window = Find(kind);
    const auto shown = [&] { return std::wcstol(ItemText(window, zq::kCopyPercentText).c_str(), nullptr, 10); };
    if (window == nullptr || (kind == L"copy" && !WaitUntil([&] { return shown() >= percent; }))) return 1;
    RECT rect{};
    ::GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"wait" && argc > 2) return Wait(argv[2], argc > 3 ? std::wcstol(argv[3], nullptr, 10) : 0);
    if (command == L"release" && argc > 2) {
        zq::win32::ScopedHandle event(::CreateEventW(nullptr, TRUE, FALSE, argv[2]));
        return event && ::SetEvent(event.Get()) ? 0 : 1;
    }
    if (command == L"finish" || command == L"ok") {
        HWND window = Find(command == L"ok" ? L"message" : L"finish");
        if (window != nullptr && command == L"ok") Click(window, IDOK);
        return window != nullptr && (command == L"ok" || TickAndFinish(window)) ? 0 : 1;
    }
    std::fputs("usage: zq_ui_driver wait copy [PERCENT] | wait finish | wait message | release EVENT | finish | ok\n",
               stderr);
    return 2;
}
