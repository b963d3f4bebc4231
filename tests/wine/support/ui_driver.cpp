#include "tests/wine/support/ui_driver.h"

#include "ui/copy_dialog.h"
#include "ui/finish_screen.h"

namespace zq::test {

namespace {

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    const int length = ::GetClassNameW(window, name, 64);
    return std::wstring(name, length > 0 ? length : 0);
}

BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if ((search->first == 0 || owner == search->first) && ::IsWindowVisible(window)) search->second.push_back(window);
    return TRUE;
}

bool HasItem(HWND dialog, int id) { return ::GetDlgItem(dialog, id) != nullptr; }
bool IsChecked(HWND dialog, int id) { return ::SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

std::vector<HWND> VisibleWindows(DWORD processId) {
    std::pair<DWORD, std::vector<HWND>> search{processId, {}};
    ::EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

HWND WaitForDialog(DWORD processId, const std::function<bool(HWND)>& wanted, DWORD limitMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : VisibleWindows(processId))
                if (!found && ClassName(window) == L"#32770" && wanted(window)) found = window;
            return found != nullptr;
        },
        limitMs);
    return found;
}

bool IsCopyDialog(HWND dialog) { return HasItem(dialog, kCopyProgressBar) && HasItem(dialog, kCopyAnimation); }
bool IsFinishScreen(HWND dialog) { return HasItem(dialog, kFinishButton) && HasItem(dialog, kFinishBody); }
bool IsMessageBox(HWND dialog) { return WindowText(dialog) == L"ZQ Merle Refresh Installer"; }

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

std::wstring ItemText(HWND dialog, int id) {
    HWND item = ::GetDlgItem(dialog, id);
    return item != nullptr ? WindowText(item) : std::wstring();
}

void Click(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

bool TickAndFinish(HWND finishScreen) {
    ::SendDlgItemMessageW(finishScreen, kFinishCheckBox, BM_SETCHECK, BST_CHECKED, 0);
    const bool ticked = IsChecked(finishScreen, kFinishCheckBox);
    Click(finishScreen, ticked ? kFinishButton : IDCANCEL);
    return ticked;
}

}  // namespace zq::test
