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

struct DialogSearch {
    DWORD processId;
    const std::function<bool(HWND)>* wanted;
    HWND found;
};

BOOL CALLBACK TestTopLevelWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if ((search->processId != 0 && owner != search->processId) || !::IsWindowVisible(window) ||
        ClassName(window) != L"#32770" || !(*search->wanted)(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

bool HasItem(HWND dialog, int id) { return ::GetDlgItem(dialog, id) != nullptr; }
bool IsChecked(HWND dialog, int id) { return ::SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

HWND WaitForDialog(DWORD processId, const std::function<bool(HWND)>& wanted, DWORD limitMs) {
    DialogSearch search{processId, &wanted, nullptr};
    WaitUntil([&] { return !::EnumWindows(TestTopLevelWindow, reinterpret_cast<LPARAM>(&search)) && search.found; },
              limitMs);
    return search.found;
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
