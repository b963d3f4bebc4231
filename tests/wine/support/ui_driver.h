// Finding and driving another program's dialogs from outside, as a person
// at the screen would: top-level dialog windows of a process, their
// controls' texts, a check box, a click.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/wine/support/wine_test_support.h"

namespace zq::test {

// The visible top-level windows of the process (of any process for 0), and
// the first dialog (class #32770) among them that satisfies the test;
// nullptr when none did in time.
std::vector<HWND> VisibleWindows(DWORD processId);
HWND WaitForDialog(DWORD processId, const std::function<bool(HWND)>& wanted, DWORD limitMs = kPatienceMs);

// The launcher's windows, told apart by their controls and caption.
bool IsCopyDialog(HWND dialog);
bool IsFinishScreen(HWND dialog);
bool IsMessageBox(HWND dialog);

std::wstring WindowText(HWND window);  // WM_GETTEXT
std::wstring ItemText(HWND dialog, int id);
// A button's click as the dialog sees it: WM_COMMAND with BN_CLICKED.
void Click(HWND dialog, int id);

// The finish screen's safe way out: ticks its check box and, only once the
// box reads as ticked, clicks Finish; otherwise presses Escape. True when
// Finish was clicked.
bool TickAndFinish(HWND finishScreen);

}  // namespace zq::test
