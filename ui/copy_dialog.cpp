#include "ui/copy_dialog.h"

#include "settings/derived_settings.h"

namespace zq {

namespace {
constexpr int kCaptionText = 7;
}  // namespace

int NextProgressPosition(int position) { return position < 100 ? position + 1 : position; }

WString PercentText(int position) { return Format(L"%d%%", position); }

CCopyDlg::CCopyDlg(Platform& platform, CLogFile& log)
    : platform_(platform), log_(log), windowLock_(platform.threads.MakeLock()),
      shownOrEnded_(platform.threads.MakeEvent()) {}

CCopyDlg::~CCopyDlg() {
    if (progressThread_) progressThread_->Join();
}

void CCopyDlg::ShowOnProgressThread() {
    // The dialog object is reused: the previous display ends completely
    // before the next one starts.
    if (progressThread_) progressThread_->Join();
    shownOrEnded_->Reset();
    progressThread_ = platform_.threads.Start([this] { ProgressThreadProc(); });
    // Without a thread there is no dialog, and nothing to close later.
    if (!progressThread_) return;
    // A program that ends at once must still find a window to close.
    shownOrEnded_->Wait();
}

void CCopyDlg::ProgressThreadProc() {
    // A dialog that cannot be created ends at once, without OnEnded.
    if (platform_.ui.RunModalDialog(*this) == -1) shownOrEnded_->Set();
}

void CCopyDlg::PublishWindow(IDialogWindow* window) {
    LockGuard guard(*windowLock_);
    window_ = window;
}

void CCopyDlg::Close() {
    LockGuard guard(*windowLock_);
    // After Escape the display has ended and nothing is left to close.
    if (window_) window_->RequestClose();
}

void CCopyDlg::OnInitDialog(IDialogWindow& window) {
    window.SetProgressRange(kCopyProgressBar, 0, 100);
    window.SetProgressPosition(kCopyProgressBar, 0);
    window.OpenAnimation(kCopyAnimation, kCopyAnimationClip);
    if (window.HasItem(kCopyAnimation)) {
        TimerId = window.StartTimer(kCopyTimerId, kCopyTimerPeriodMs);
        window.PlayAnimationForever(kCopyAnimation);
    }
    CIniFile settings(platform_, log_, settingsFilePath);
    window.SetCaption(GetLangString(settings, kCaptionText));
}

void CCopyDlg::OnShown(IDialogWindow& window) {
    PublishWindow(&window);
    shownOrEnded_->Set();
}

void CCopyDlg::OnTimer(IDialogWindow& window, unsigned) {
    int position = NextProgressPosition(window.ProgressPosition(kCopyProgressBar));
    window.SetProgressPosition(kCopyProgressBar, position);
    window.SetItemText(kCopyPercentText, PercentText(position));
}

void CCopyDlg::OnClose(IDialogWindow& window) {
    window.SetProgressPosition(kCopyProgressBar, 100);
    window.SetItemText(kCopyPercentText, L"100%");
    window.Sleep(kCopyCloseHoldMs);
    if (TimerId != 0) {
        window.StopTimer(TimerId);
        TimerId = 0;
    }
    window.End(kIdCancel);
}

void CCopyDlg::OnEnded(int) {
    // Called on the progress thread while the runner may hold the lock in
    // Close(): that request has been handled by now, so it returns soon.
    PublishWindow(nullptr);
    shownOrEnded_->Set();
}

}  // namespace zq
