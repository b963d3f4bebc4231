// Finding and driving another program's dialogs from outside, as a person
// at the screen would: top-level dialog windows of a process, their
// controls' texts, a progress bar's position, a check box, a click.
//
// Every wait has a generous limit: it keeps a broken run from hanging, and
// no test reads meaning into how long a wait took.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace zq::uitest {

inline constexpr DWORD kPatienceMs = 60 * 1000;

struct Control {
    int id = 0;
    std::wstring className;
    std::wstring text;
};

// The first visible top-level dialog (class #32770) of the process that
// satisfies the test (of any process for 0); nullptr when none did within
// the limit.
HWND WaitForDialog(DWORD processId, const std::function<bool(HWND)>& wanted, DWORD limitMs = kPatienceMs);
// True once the window no longer exists.
bool WaitUntilGone(HWND window, DWORD limitMs = kPatienceMs);
// True once the condition holds.
bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs = kPatienceMs);

std::wstring WindowText(HWND window);  // WM_GETTEXT
std::wstring ItemText(HWND dialog, int id);
bool HasItem(HWND dialog, int id);
int ProgressPosition(HWND dialog, int id);  // PBM_GETPOS
bool IsChecked(HWND dialog, int id);        // BM_GETCHECK == BST_CHECKED
void Check(HWND dialog, int id);            // BM_SETCHECK BST_CHECKED
// A button's click as the dialog sees it: WM_COMMAND with BN_CLICKED.
void Click(HWND dialog, int id);
// The dialog's child controls in window order.
std::vector<Control> Controls(HWND dialog);
// A message box's text: its static control that holds text.
std::wstring MessageBoxText(HWND box);

// The finish screen's safe way out: ticks its check box and, only once the
// box reads as ticked, clicks Finish; otherwise presses Escape (IDCANCEL).
// True when Finish was clicked.
bool TickAndFinish(HWND finishScreen);

// A started program, ended by force when the object goes and it still runs.
class Process {
public:
    // Started in the given current folder, or in this program's when empty.
    explicit Process(const std::wstring& commandLine, const std::wstring& currentFolder = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return info_.hProcess != nullptr; }
    DWORD Id() const { return info_.dwProcessId; }
    // The exit status once it has ended within the limit; ~0u otherwise.
    DWORD WaitForExit(DWORD limitMs = kPatienceMs);

private:
    PROCESS_INFORMATION info_{};
};

std::string Narrow(const std::wstring& text);  // for messages: ASCII, others as '?'
// A to Z lowered, as the launcher lowers the command lines it starts.
std::string Lower(std::string text);

}  // namespace zq::uitest
