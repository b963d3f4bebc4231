#include "tests/wine/ui_driver.h"

#include <commctrl.h>

namespace zq::uitest {

namespace {

constexpr DWORD kPollMs = 20;

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    int length = ::GetClassNameW(window, name, 64);
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
        ClassName(window) != L"#32770")
        return TRUE;
    if (!(*search->wanted)(window)) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter) {
    auto* controls = reinterpret_cast<std::vector<Control>*>(parameter);
    controls->push_back(Control{::GetDlgCtrlID(window), ClassName(window), WindowText(window)});
    return TRUE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs) {
    for (DWORD waited = 0;; waited += kPollMs) {
        if (condition()) return true;
        if (waited >= limitMs) return false;
        ::Sleep(kPollMs);
    }
}

HWND WaitForDialog(DWORD processId, const std::function<bool(HWND)>& wanted, DWORD limitMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            DialogSearch search{processId, &wanted, nullptr};
            ::EnumWindows(TestTopLevelWindow, reinterpret_cast<LPARAM>(&search));
            found = search.found;
            return found != nullptr;
        },
        limitMs);
    return found;
}

bool WaitUntilGone(HWND window, DWORD limitMs) {
    return WaitUntil([window] { return !::IsWindow(window); }, limitMs);
}

std::wstring WindowText(HWND window) {
    const LRESULT length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        ::SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

std::wstring ItemText(HWND dialog, int id) {
    HWND item = ::GetDlgItem(dialog, id);
    return item != nullptr ? WindowText(item) : std::wstring();
}

bool HasItem(HWND dialog, int id) { return ::GetDlgItem(dialog, id) != nullptr; }

int ProgressPosition(HWND dialog, int id) {
    return static_cast<int>(::SendDlgItemMessageW(dialog, id, PBM_GETPOS, 0, 0));
}

bool IsChecked(HWND dialog, int id) { return ::SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Check(HWND dialog, int id) { ::SendDlgItemMessageW(dialog, id, BM_SETCHECK, BST_CHECKED, 0); }

void Click(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::vector<Control> Controls(HWND dialog) {
    std::vector<Control> controls;
    ::EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&controls));
    return controls;
}

std::wstring MessageBoxText(HWND box) {
    // Windows gives the text control the id 0xFFFF; otherwise the static
    // control that holds text (the icon's holds none).
    if (HasItem(box, 0xFFFF)) return ItemText(box, 0xFFFF);
    for (const Control& control : Controls(box)) {
        if (_wcsicmp(control.className.c_str(), L"Static") == 0 && !control.text.empty()) return control.text;
    }
    return {};
}

bool TickAndFinish(HWND finishScreen) {
    constexpr int kCheckBox = 1016;
    constexpr int kFinish = 1001;
    Check(finishScreen, kCheckBox);
    if (!IsChecked(finishScreen, kCheckBox)) {
        Click(finishScreen, IDCANCEL);
        return false;
    }
    Click(finishScreen, kFinish);
    return true;
}

Process::Process(const std::wstring& commandLine, const std::wstring& currentFolder) {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info_)) {
        info_ = PROCESS_INFORMATION{};
    }
}

Process::~Process() {
    if (!Started()) return;
    if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(info_.hProcess, 1);
        ::WaitForSingleObject(info_.hProcess, kPatienceMs);
    }
    ::CloseHandle(info_.hThread);
    ::CloseHandle(info_.hProcess);
}

DWORD Process::WaitForExit(DWORD limitMs) {
    if (!Started() || ::WaitForSingleObject(info_.hProcess, limitMs) != WAIT_OBJECT_0) return ~0u;
    DWORD status = ~0u;
    ::GetExitCodeProcess(info_.hProcess, &status);
    return status;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace zq::uitest
