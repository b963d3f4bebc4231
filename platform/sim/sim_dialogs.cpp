// Modal dialogs on the simulated machine: the dialog's own handlers run on
// a window that keeps its controls' state, and the person at the screen
// acts as machine.json's "user" says.
//
// The copy-progress dialog (template 109) ticks on the virtual clock: its
// 300 ms timer fires once for each period that has passed when something
// happens to the dialog: the runner's close request, or the user's Escape
// after "copyDialogEscapeAfterSeconds". The Escape is an alarm on the
// clock: a wait of the runner (a program running) that would pass it stops
// there until the dialog has ended, so the dialog closes at the Escape's
// own time, before the program ends, as on Windows where the window reacts
// to the key while the runner waits. A close request at or before that time
// comes first. A run is the same every time. The finish screen
// (template 106) is answered at once.
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

#include "platform/sim/sim_services.h"

namespace zq::sim {

namespace {

constexpr int kCopyTemplate = 109;
constexpr int kFinishTemplate = 106;

// The templates' controls and their initial texts.
const std::map<int, std::map<int, WString>> kTemplateTexts = {
    {kCopyTemplate, {{1012, L""}, {1013, L"Copying ..."}, {1016, L""}, {1017, L""}}},
    {kFinishTemplate,
     {{1001, L"Finish"},
      {1002, L"Congratulation"},
      {1003, L"Click Finish to Exit"},
      {1015, L""},
      {1016, L"Check1"},
      {1018, L"Static"}}},
};

// Template sizes in dialog units, and the pixels they take with the 8-point
// dialog font (6 x 13 base units) plus a caption and a modal frame.
struct TemplateSize {
    int width, height;
};
const std::map<int, TemplateSize> kTemplateSizes = {{kCopyTemplate, {252, 87}}, {kFinishTemplate, {470, 310}}};
constexpr int kFramePixelsX = 6;
constexpr int kFramePixelsY = 28;

class SimDialogWindow : public IDialogWindow {
public:
    SimDialogWindow(MachineCore& core, IDialogHandler& handler)
        : core_(core), handler_(handler), templateId_(handler.TemplateId()), createdAtMs_(core.ElapsedMs()) {
        auto texts = kTemplateTexts.find(templateId_);
        if (texts != kTemplateTexts.end()) texts_ = texts->second;
    }

    // --- IDialogWindow, on the dialog's thread
    void SetCaption(const WString& text) override { caption_ = text; }
    void SetItemText(int id, const WString& text) override {
        if (HasItem(id)) texts_[id] = text;
    }
    bool HasItem(int id) override { return texts_.count(id) != 0; }
    void SetProgressRange(int, int low, int high) override {
        low_ = low;
        high_ = high;
    }
    void SetProgressPosition(int, int position) override { position_ = std::clamp(position, low_, high_); }
    int ProgressPosition(int) override { return position_; }
    bool OpenAnimation(int id, const WString&) override { return HasItem(id); }
    void PlayAnimationForever(int) override {}
    bool IsChecked(int id) override { return checked_.count(id) != 0; }
    void SetChecked(int id, bool checked) override {
        if (!HasItem(id)) return;
        if (checked) checked_.insert(id);
        else checked_.erase(id);
    }
    void EnableItem(int id, bool enabled) override {
        if (!HasItem(id)) return;
        if (enabled) disabled_.erase(id);
        else disabled_.insert(id);
    }
    void SetBoldFont(int) override {}
    unsigned StartTimer(unsigned id, unsigned periodMs) override {
        timerPeriodMs_ = periodMs;
        timerStartMs_ = core_.ElapsedMs();
        ticksFired_ = 0;
        return id;
    }
    void StopTimer(unsigned) override { timerPeriodMs_ = 0; }
    void Sleep(unsigned milliseconds) override { core_.AdvanceMs(milliseconds); }
    Rect WindowRect() override {
        TemplateSize size = kTemplateSizes.at(templateId_);
        return Rect{0, 0, size.width * 6 / 4 + kFramePixelsX, size.height * 13 / 8 + kFramePixelsY};
    }
    void DrawBitmap(int bitmapId, const Rect& target) override {
        pictures_.push_back({{"bitmap", bitmapId}, {"rect", {target.left, target.top, target.right, target.bottom}}});
    }
    void End(int result) override {
        ended_ = true;
        result_ = result;
    }

    // --- From the runner's thread: queued and handled on the dialog's
    // thread; returns when it has been handled.
    void RequestClose() override {
        std::unique_lock lock(mutex_);
        ++requestsInFlight_;
        closeRequestedAtMs_ = core_.ElapsedMs();
        changed_.notify_all();
        changed_.wait(lock, [this] { return closeHandled_; });
        --requestsInFlight_;
        changed_.notify_all();
    }

    // The window outlives every close request that reached it.
    ~SimDialogWindow() override {
        core_.ReleaseAlarm();
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return requestsInFlight_ == 0; });
    }

    // The threads stopped at the Escape's time go on (after the dialog's end
    // has been announced, so that the runner finds no window to close).
    void ReleaseEscapeAlarm() { core_.ReleaseAlarm(); }

    // --- The modal loops

    int RunCopyDialog(std::optional<double> escapeAfterSeconds) {
        // The runner waits until the dialog is shown: the clock has not
        // moved since the window was made.
        const std::int64_t shownAtMs = createdAtMs_;
        core_.Journal("copyDialogShown", {{"caption", Narrow(caption_)}});
        std::optional<std::int64_t> escapeAtMs;
        if (escapeAfterSeconds) escapeAtMs = shownAtMs + static_cast<std::int64_t>(*escapeAfterSeconds * 1000);
        // Set before the runner learns of the window: none of its waits can pass it.
        if (escapeAtMs) {
            core_.SetAlarm(*escapeAtMs, [this] {
                std::lock_guard guard(mutex_);
                escapeReached_ = true;
                changed_.notify_all();
            });
        }
        handler_.OnShown(*this);
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closeRequestedAtMs_.has_value() || escapeReached_; });
        const std::int64_t closeAtMs = closeRequestedAtMs_.value_or(*escapeAtMs);

        if (escapeAtMs && (escapeReached_ || *escapeAtMs < closeAtMs)) {
            FireTimerUntil(*escapeAtMs);
            handler_.OnCommand(*this, kIdCancel);
            JournalCopyClosed("escape", *escapeAtMs - shownAtMs);
        } else {
            // The Escape never comes: the window is closing. Released
            // without the window's lock, which a ring under way waits for.
            lock.unlock();
            core_.ReleaseAlarm();
            lock.lock();
            FireTimerUntil(closeAtMs);
            const int before = position_;
            handler_.OnClose(*this);
            JournalCopyClosed("runner", closeAtMs - shownAtMs, before);
        }
        // The runner's close request has been answered either way: after an
        // Escape it found no window.
        closeHandled_ = true;
        changed_.notify_all();
        return result_;
    }

    int RunFinishScreen(const UserConfig& user) {
        handler_.OnPaint(*this);
        nlohmann::ordered_json shown = {{"caption", Narrow(caption_)},  {"headline", Narrow(texts_[1002])},
                                        {"body", Narrow(texts_[1018])}, {"checkBox", Narrow(texts_[1016])},
                                        {"hint", Narrow(texts_[1003])}, {"button", Narrow(texts_[1001])}};
        if (!pictures_.empty()) shown["picture"] = pictures_.back()["rect"];
        // A box that the launcher disabled ("-norestart") is shown with its
        // state; the person at the screen cannot change it.
        const bool boxEnabled = disabled_.count(1016) == 0;
        if (!boxEnabled) {
            shown["checkBoxEnabled"] = false;
            shown["checkBoxTicked"] = IsChecked(1016);
        }
        core_.Journal("finishScreenShown", shown);
        if (user.finishCheckBox && boxEnabled) checked_.insert(1016);
        const bool finish = user.finishAction == FinishAction::Finish;
        handler_.OnCommand(*this, finish ? 1001 : kIdCancel);
        core_.Journal("finishScreenClosed",
                      {{"result", finish ? "finish" : "escape"}, {"checkBoxTicked", IsChecked(1016)}});
        return result_;
    }

    bool Ended() const { return ended_; }
    int Result() const { return result_; }

private:
    void FireTimerUntil(std::int64_t atMs) {
        if (timerPeriodMs_ == 0) return;
        const std::int64_t due = (atMs - timerStartMs_) / timerPeriodMs_;
        for (; ticksFired_ < due && timerPeriodMs_ != 0; ++ticksFired_) handler_.OnTimer(*this, 1);
    }

    void JournalCopyClosed(const char* by, std::int64_t shownMs, std::optional<int> percentBeforeClose = {}) {
        nlohmann::ordered_json fields = {
            {"percent", position_}, {"text", Narrow(texts_[1017])}, {"by", by}, {"shownMs", shownMs}};
        if (percentBeforeClose) fields["percentBeforeClose"] = *percentBeforeClose;
        core_.Journal("copyDialogClosed", fields);
    }

    MachineCore& core_;
    IDialogHandler& handler_;
    const int templateId_;
    const std::int64_t createdAtMs_;
    WString caption_;
    std::map<int, WString> texts_;
    std::set<int> checked_;
    std::set<int> disabled_;
    int low_ = 0, high_ = 100, position_ = 0;
    unsigned timerPeriodMs_ = 0;
    std::int64_t timerStartMs_ = 0;
    std::int64_t ticksFired_ = 0;
    std::vector<nlohmann::ordered_json> pictures_;
    bool ended_ = false;
    int result_ = kIdCancel;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::int64_t> closeRequestedAtMs_;
    bool escapeReached_ = false;  // a wait stands at the Escape's time
    bool closeHandled_ = false;
    int requestsInFlight_ = 0;
};

}  // namespace

int SimUserInterface::RunModalDialog(IDialogHandler& handler) {
    SimDialogWindow window(core_, handler);
    handler.OnInitDialog(window);
    UserConfig user;
    {
        std::lock_guard guard(core_.mutex);
        user = core_.state.user;
    }
    int result = kIdCancel;
    if (handler.TemplateId() == kCopyTemplate) {
        result = window.RunCopyDialog(user.copyDialogEscapeAfterSeconds);
        handler.OnEnded(result);
        window.ReleaseEscapeAlarm();
        return result;
    } else if (handler.TemplateId() == kFinishTemplate) {
        handler.OnShown(window);
        result = window.RunFinishScreen(user);
    }
    handler.OnEnded(result);
    return result;
}

void SimUserInterface::RequestRestart(unsigned flags, unsigned reason) {
    // Nothing on this side ever restarts the computer it runs on.
    core_.Journal("restartRequested", {{"flags", flags}, {"reason", reason}});
}

}  // namespace zq::sim
