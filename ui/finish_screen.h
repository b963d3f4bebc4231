// The finish screen (template 106): a picture at the left, headline, body,
// hint, a check box and the Finish button, all texts in the user's
// language. Finish restarts the computer unless the check box is ticked.
#pragma once

#include <functional>

#include "log/log_file.h"
#include "platform/dialog.h"
#include "platform/platform.h"

namespace zq {

inline constexpr int kFinishTemplate = 106;
inline constexpr int kFinishPicture = 107;  // bitmap resource
inline constexpr int kFinishButton = 1001;
inline constexpr int kFinishHeadline = 1002;
inline constexpr int kFinishHint = 1003;
inline constexpr int kFinishSeparator = 1015;
inline constexpr int kFinishCheckBox = 1016;
inline constexpr int kFinishBody = 1018;

// ExitWindowsEx: EWX_REBOOT | EWX_FORCEIFHUNG, and a planned restart for
// an installation (SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_OTHER |
// SHTDN_REASON_MINOR_INSTALLATION). EWX_FORCEIFHUNG, not EWX_FORCE: a
// program with unsaved work gets WM_QUERYENDSESSION and may ask the user to
// save (or refuse the restart); only a program that does not answer is
// ended by force. EWX_FORCE would end them all without a word, and the
// user's work would be lost.
inline constexpr unsigned kRestartFlags = 0x2 | 0x10;
inline constexpr unsigned kRestartReason = 0x80000000u | 0x0u | 0x2u;

// The picture fills the left third of the window's width and four fifths
// of its height (the outer window rectangle, frame included).
Rect PictureRect(const Rect& windowRect);

// The colour answer for a control (0: the dialog itself).
ControlColour FinishScreenColour(int controlId);

class CFinishScreen : public IDialogHandler {
public:
    CFinishScreen(Platform& platform, CLogFile& log);

    // Set by the section launcher before the display; the texts come from it.
    WString settingsFilePath;
    // "-norestart": the box is shown ticked and cannot be cleared, and
    // Finish never restarts.
    bool noRestart = false;
    // Called right before the restart is requested (the result file must
    // be on the disk before Windows begins to end the programs).
    std::function<void()> beforeRestart;

    // Shows the screen modally; IDOK through Finish, IDCANCEL through Escape.
    int DoModal();

    int TemplateId() const override { return kFinishTemplate; }
    void OnInitDialog(IDialogWindow& window) override;
    void OnCommand(IDialogWindow& window, int id) override;
    void OnPaint(IDialogWindow& window) override;
    ControlColour OnControlColour(int controlId) override { return FinishScreenColour(controlId); }

private:
    Platform& platform_;
    CLogFile& log_;
};

}  // namespace zq
