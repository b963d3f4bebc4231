// Modal dialogs: the launcher's own small dialog layer.
//
// A dialog is a template of the program's resources (ids, texts, layout)
// and a handler, the dialog's message map: plain code that the simulated
// machine runs exactly as Windows does. The platform creates the window
// from the template, runs the modal loop and hands each message to the
// handler together with the window, through which the handler reads and
// sets its controls.
#pragma once

#include <cstdint>
#include <string>

namespace zq {

using WString = std::wstring;

inline constexpr int kIdOk = 1;      // IDOK
inline constexpr int kIdCancel = 2;  // IDCANCEL: Escape, or the framework's close

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// How a control (or the dialog itself) is painted, as the handler answers
// a WM_CTLCOLOR* request.
enum class ControlColour {
    Default,             // the platform's brush and colours
    TransparentOnWhite,  // text without background over the white brush
    WhiteDialog,         // the dialog's own background: the white brush
};

// The window of a dialog while it is shown. Calls come on the dialog's own
// thread, except RequestClose.
class IDialogWindow {
public:
    virtual ~IDialogWindow() = default;

    virtual void SetCaption(const WString& text) = 0;           // SetWindowTextW
    virtual void SetItemText(int id, const WString& text) = 0;  // SetDlgItemTextW
    virtual bool HasItem(int id) = 0;                           // GetDlgItem != NULL
    // Progress bar (msctls_progress32).
    virtual void SetProgressRange(int id, int low, int high) = 0;  // PBM_SETRANGE
    virtual void SetProgressPosition(int id, int position) = 0;    // PBM_SETPOS
    virtual int ProgressPosition(int id) = 0;                      // PBM_GETPOS
    // Animation control (SysAnimate32): the clip is a resource of the program.
    virtual bool OpenAnimation(int id, const WString& clipResource) = 0;  // ACM_OPENW
    virtual void PlayAnimationForever(int id) = 0;                        // ACM_PLAY(-1, 0, -1)
    // Check box.
    virtual bool IsChecked(int id) = 0;                 // BM_GETCHECK == BST_CHECKED
    virtual void SetChecked(int id, bool checked) = 0;  // BM_SETCHECK
    // A disabled control shows greyed and takes no input.
    virtual void EnableItem(int id, bool enabled) = 0;  // EnableWindow
    // The bold variant of the control's font (kept until the window goes).
    virtual void SetBoldFont(int id) = 0;
    // Timer: SetTimer on the dialog; 0 when it could not be started.
    virtual unsigned StartTimer(unsigned id, unsigned periodMs) = 0;
    virtual void StopTimer(unsigned timerId) = 0;  // KillTimer
    virtual void Sleep(unsigned milliseconds) = 0;
    // The dialog's outer rectangle on the screen (GetWindowRect).
    virtual Rect WindowRect() = 0;
    // Draws the bitmap resource stretched into the rectangle of the client
    // area (StretchBlt, SRCCOPY).
    virtual void DrawBitmap(int bitmapId, const Rect& target) = 0;
    // Ends the modal loop with the result (EndDialog).
    virtual void End(int result) = 0;
    // From another thread: sends WM_CLOSE and returns when the dialog's
    // thread has handled it.
    virtual void RequestClose() = 0;
};

// The dialog's message map. Each handler runs on the dialog's thread.
class IDialogHandler {
public:
    virtual ~IDialogHandler() = default;
    virtual int TemplateId() const = 0;
    // WM_INITDIALOG, after the controls exist.
    virtual void OnInitDialog(IDialogWindow& window) = 0;
    // Once the window is shown and its modal loop takes messages: from now on
    // a close request from another thread is handled.
    virtual void OnShown(IDialogWindow&) {}
    virtual void OnTimer(IDialogWindow&, unsigned /*timerId*/) {}
    // WM_CLOSE. The framework's answer ends the dialog as cancelled.
    virtual void OnClose(IDialogWindow& window) { window.End(kIdCancel); }
    // WM_COMMAND / BN_CLICKED from a control. IDOK (Enter) and IDCANCEL
    // (Escape) are the framework's: they end the dialog with that result.
    virtual void OnCommand(IDialogWindow& window, int id) {
        if (id == kIdOk || id == kIdCancel) window.End(id);
    }
    // WM_PAINT.
    virtual void OnPaint(IDialogWindow&) {}
    // WM_CTLCOLOR*: controlId is 0 for the dialog itself.
    virtual ControlColour OnControlColour(int /*controlId*/) { return ControlColour::Default; }
    // After the window is gone (the modal call is about to return).
    virtual void OnEnded(int /*result*/) {}
};

}  // namespace zq
