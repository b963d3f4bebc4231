// The copy-progress dialog (template 109), shown on a thread of its own
// while a "zqstage" program runs. The bar measures no real work: it moves
// one percent every 300 ms up to 100; when the runner reports the end of
// the program it jumps to 100 %, holds for 200 ms and closes.
#pragma once

#include <memory>

#include "log/log_file.h"
#include "platform/dialog.h"
#include "platform/platform.h"

namespace zq {

inline constexpr int kCopyDialogTemplate = 109;
inline constexpr int kCopyAnimation = 1012;
inline constexpr int kCopyLabel = 1013;
inline constexpr int kCopyProgressBar = 1016;
inline constexpr int kCopyPercentText = 1017;
inline constexpr unsigned kCopyTimerId = 1;
inline constexpr unsigned kCopyTimerPeriodMs = 300;
inline constexpr unsigned kCopyCloseHoldMs = 200;
inline constexpr wchar_t kCopyAnimationClip[] = L"FILECOPY_16.AVI";

// The bar after one more tick: one step, not beyond 100.
int NextProgressPosition(int position);
// "N%".
WString PercentText(int position);

class CCopyDlg : public IDialogHandler {
public:
    CCopyDlg(Platform& platform, CLogFile& log);
    ~CCopyDlg() override;

    // Set by the runner before each display; used only for the caption.
    WString settingsFilePath;

    // Shows the dialog modally on a new progress thread, after the previous
    // display's thread has ended, and returns once the window is shown (or
    // the display has already ended).
    void ShowOnProgressThread();
    // Sends the close request to the window, if it still exists, and
    // returns when the dialog has handled it.
    void Close();

    // The message map.
    int TemplateId() const override { return kCopyDialogTemplate; }
    void OnInitDialog(IDialogWindow& window) override;
    void OnShown(IDialogWindow& window) override;
    void OnTimer(IDialogWindow& window, unsigned timerId) override;
    void OnClose(IDialogWindow& window) override;
    void OnEnded(int result) override;

private:
    void ProgressThreadProc();
    void PublishWindow(IDialogWindow* window);

    Platform& platform_;
    CLogFile& log_;
    unsigned TimerId = 0;

    // Shared with the runner's thread.
    std::unique_ptr<ILock> windowLock_;
    std::unique_ptr<IEvent> shownOrEnded_;
    IDialogWindow* window_ = nullptr;
    std::unique_ptr<IThread> progressThread_;
};

}  // namespace zq
