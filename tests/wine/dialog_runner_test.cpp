// The Win32 dialog runner with the launcher's own dialogs: the templates,
// the picture and the clip are this test program's resources (the same
// .rc as the exe's), and the handlers are the real CCopyDlg and
// CFinishScreen. The restart request goes to a recorder here, never to
// the system.
//
// Needs the virtual display (run-on-display.sh); the prefix is the UI
// tests' own.
#include <gtest/gtest.h>

#include <winternl.h>

#include <atomic>
#include <cstdint>

#include "platform/win32/win32_platform.h"
#include "tests/wine/ui_driver.h"
#include "tests/wine/ui_package.h"
#include "tests/wine/wine_test_support.h"
#include "ui/copy_dialog.h"
#include "ui/finish_screen.h"

namespace zq::win32 {
namespace {

using uitest::kTexts;
using uitest::Narrow;

// The real dialogs, but a restart only noted down.
class RecordingUserInterface final : public IUserInterface {
public:
    int ShowMessageBox(const WString& caption, const WString& text) override {
        return real_.ShowMessageBox(caption, text);
    }
    int RunModalDialog(IDialogHandler& handler) override { return real_.RunModalDialog(handler); }
    void RequestRestart(unsigned flags, unsigned reason) override {
        ++restarts;
        lastFlags = flags;
        lastReason = reason;
    }

    int restarts = 0;
    unsigned lastFlags = 0, lastReason = 0;

private:
    Win32UserInterface real_;
};

// The real platform with the restart recorded, not made.
class TestMachine {
public:
    Platform& Get() { return platform_.Get(); }
    RecordingUserInterface ui;

private:
    Win32Platform platform_{ui};
};

// GDI objects of this process. Wine answers GetGuiResources with 0 (not
// implemented); there the process's GDI handle table, which the PEB points
// to as on Windows, is counted instead: 24-byte entries in both word sizes,
// type byte at offset 14, 0 for a free entry; 0 when the PEB has no table.
// The PEB comes from NtQueryInformationProcess: the inline NtCurrentTeb of
// the 32-bit headers reads the fs segment in a way GCC's bounds check
// rejects.
unsigned GdiObjectCount() {
    const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted != 0) return counted;
    struct Entry {
        std::uint64_t object;
        std::uint32_t owner;
        std::uint16_t unique;
        std::uint8_t type;
        std::uint8_t flags;
        std::uint64_t user;
    };
    static_assert(sizeof(Entry) == 24);
    struct BasicInformation {
        void* exitStatus;
        const std::uint8_t* peb;
        void* rest[4];
    } information{};
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll"), "NtQueryInformationProcess")));
    if (query == nullptr || query(::GetCurrentProcess(), 0, &information, sizeof information, nullptr) != 0) return 0;
    const std::size_t tableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;  // PEB.GdiSharedHandleTable
    const auto* table = *reinterpret_cast<const Entry* const*>(information.peb + tableOffset);
    if (table == nullptr) return 0;
    unsigned count = 0;
    for (unsigned i = 0; i < 0x10000; ++i) count += table[i].type != 0 ? 1 : 0;
    return count;
}

class DialogRunner : public ::testing::Test {
protected:
    DialogRunner() {
        folder_ = test::FreshTestFolder(L"dialogs-" + std::to_wstring(::GetCurrentProcessId()));
        settings_ = uitest::WritePackage(folder_, {L"601_64", L"unused", {}});
    }

    WString folder_;
    WString settings_;
    test::ScopedEnvironmentVariable temp_{L"TEMP", test::FreshTestFolder(L"dialogs-temp")};
    TestMachine machine_;
    CLogFile log_{machine_.Get()};
};

// A dialog that runs one check in its initialisation and ends at once.
class InitOnly final : public IDialogHandler {
public:
    InitOnly(int templateId, std::function<void(IDialogWindow&, HWND)> check)
        : templateId_(templateId), check_(std::move(check)) {}
    int TemplateId() const override { return templateId_; }
    void OnInitDialog(IDialogWindow& window) override {
        window.SetCaption(L"zq init-only dialog");
        check_(window, ::FindWindowW(L"#32770", L"zq init-only dialog"));
        window.End(kIdOk);
    }
    void OnEnded(int result) override { ended = result; }
    int ended = -2;

private:
    int templateId_;
    std::function<void(IDialogWindow&, HWND)> check_;
};

TEST_F(DialogRunner, TheClipOpensAndTheAnimationTakesItsFrameSize) {
    bool opened = false;
    RECT control{};
    InitOnly dialog(kCopyDialogTemplate, [&](IDialogWindow& window, HWND hwnd) {
        opened = window.OpenAnimation(kCopyAnimation, kCopyAnimationClip);
        window.PlayAnimationForever(kCopyAnimation);
        ::GetWindowRect(::GetDlgItem(hwnd, kCopyAnimation), &control);
    });
    EXPECT_EQ(machine_.ui.RunModalDialog(dialog), kIdOk);
    EXPECT_EQ(dialog.ended, kIdOk) << "OnEnded has the result";
    EXPECT_TRUE(opened) << "ACM_OPENW found and read FILECOPY_16.AVI";
    // Without ACS_CENTER the control takes the size of the clip's frames.
    EXPECT_EQ(control.right - control.left, 240);
    EXPECT_EQ(control.bottom - control.top, 48);
}

TEST_F(DialogRunner, AMissingClipIsReportedAndTheDialogStillWorks) {
    bool opened = true;
    InitOnly dialog(kCopyDialogTemplate, [&](IDialogWindow& window, HWND) {
        opened = window.OpenAnimation(kCopyAnimation, L"NO_SUCH_CLIP.AVI");
        window.SetProgressRange(kCopyProgressBar, 0, 100);
        window.SetProgressPosition(kCopyProgressBar, 42);
        EXPECT_EQ(window.ProgressPosition(kCopyProgressBar), 42);
        EXPECT_TRUE(window.HasItem(kCopyPercentText));
        EXPECT_FALSE(window.HasItem(4242));
    });
    EXPECT_EQ(machine_.ui.RunModalDialog(dialog), kIdOk);
    EXPECT_FALSE(opened);
}

TEST_F(DialogRunner, AnUnknownTemplateAnswersMinusOneAndStillEnds) {
    InitOnly dialog(4242, [](IDialogWindow&, HWND) { ADD_FAILURE() << "no window was expected"; });
    EXPECT_EQ(machine_.ui.RunModalDialog(dialog), -1);
    EXPECT_EQ(dialog.ended, -1);
}

BOOL CALLBACK TakeFirstWindow(HWND window, LPARAM found) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The dialog of the calling thread, its one top-level window.
HWND ThisThreadsDialog() {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), TakeFirstWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The real copy dialog, observed from its own thread.
class ObservedCopyDialog final : public CCopyDlg {
public:
    using CCopyDlg::CCopyDlg;
    void OnInitDialog(IDialogWindow& window) override {
        // Before the base, whose end lets the runner's thread go on.
        hwnd = ThisThreadsDialog();
        CCopyDlg::OnInitDialog(window);
    }
    void OnClose(IDialogWindow& window) override {
        closeThread = ::GetCurrentThreadId();
        CCopyDlg::OnClose(window);
        // Ended, but the window is still there to be read.
        barAtClose = window.ProgressPosition(kCopyProgressBar);
        textAtClose = uitest::ItemText(hwnd, kCopyPercentText);
    }
    void OnEnded(int result) override {
        ended = result;
        CCopyDlg::OnEnded(result);
    }

    HWND hwnd = nullptr;
    DWORD closeThread = 0;
    int barAtClose = -1;
    std::wstring textAtClose;
    std::atomic<int> ended{-2};
};

TEST_F(DialogRunner, TheRunnersCloseRequestEndsTheCopyDialogAtOneHundredPercent) {
    HWND shown = nullptr;
    DWORD closeThread = 0;
    int barAtClose = -1, ended = -2;
    std::wstring textAtClose;
    {
        ObservedCopyDialog dialog(machine_.Get(), log_);
        dialog.settingsFilePath = settings_;
        dialog.ShowOnProgressThread();
        shown = dialog.hwnd;
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(::IsWindow(shown)) << "the window exists when the display has started";
        EXPECT_EQ(Narrow(uitest::WindowText(shown)), Narrow(kTexts[7]));
        EXPECT_EQ(Narrow(uitest::ItemText(shown, kCopyLabel)), "Copying ...");
        dialog.Close();
        EXPECT_TRUE(uitest::WaitUntil([&] { return dialog.ended != -2; }));
        ended = dialog.ended;
        closeThread = dialog.closeThread;
        barAtClose = dialog.barAtClose;
        textAtClose = dialog.textAtClose;
        // The object's end waits for its progress thread.
    }
    EXPECT_NE(closeThread, 0u);
    EXPECT_NE(closeThread, ::GetCurrentThreadId()) << "WM_CLOSE is handled on the dialog's thread";
    EXPECT_EQ(barAtClose, 100);
    EXPECT_EQ(Narrow(textAtClose), "100%");
    EXPECT_EQ(ended, kIdCancel);
    EXPECT_FALSE(::IsWindow(shown));
}

TEST_F(DialogRunner, EscapeEndsTheCopyDialogAsCancelledAndALaterCloseFindsNoWindow) {
    ObservedCopyDialog dialog(machine_.Get(), log_);
    dialog.settingsFilePath = settings_;
    dialog.ShowOnProgressThread();
    ASSERT_NE(dialog.hwnd, nullptr);
    uitest::Click(dialog.hwnd, IDCANCEL);
    ASSERT_TRUE(uitest::WaitUntilGone(dialog.hwnd));
    ASSERT_TRUE(uitest::WaitUntil([&] { return dialog.ended != -2; }));
    EXPECT_EQ(dialog.ended, kIdCancel);
    dialog.Close();  // returns: nothing left to close
    EXPECT_EQ(dialog.closeThread, 0u) << "Escape is not a close request";
}

// The finish screen runs modally on a thread of its own, so that this
// thread can look at it and press its buttons.
class FinishScreenRun {
public:
    FinishScreenRun(Platform& platform, CLogFile& log, const WString& settings) : screen_(platform, log) {
        screen_.settingsFilePath = settings;
        thread_ = threads_.Start([this] { result_ = screen_.DoModal(); });
        dialog = uitest::WaitForDialog(::GetCurrentProcessId(), [](HWND window) {
            return uitest::HasItem(window, kFinishButton) && uitest::HasItem(window, kFinishBody);
        });
    }
    ~FinishScreenRun() {
        if (dialog != nullptr && ::IsWindow(dialog)) uitest::Click(dialog, IDCANCEL);  // never Finish
        if (thread_) thread_->Join();
    }
    int Result() {
        thread_->Join();
        return result_;
    }

    HWND dialog = nullptr;

private:
    CFinishScreen screen_;
    Win32Threads threads_;
    std::unique_ptr<IThread> thread_;
    int result_ = -2;
};

LOGFONTW FontOf(HWND dialog, int id) {
    LOGFONTW font{};
    HFONT handle = reinterpret_cast<HFONT>(::SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0));
    ::GetObjectW(handle, sizeof font, &font);
    return font;
}

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH description{};
    if (::GetObjectW(brush, sizeof description, &description) == 0) return CLR_INVALID;
    return description.lbColor;
}

TEST_F(DialogRunner, FinishScreenTextsFontsAndColours) {
    FinishScreenRun run(machine_.Get(), log_, settings_);
    HWND dialog = run.dialog;
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Narrow(uitest::WindowText(dialog)), Narrow(kTexts[7]));
    EXPECT_EQ(Narrow(uitest::ItemText(dialog, kFinishHeadline)), Narrow(kTexts[2]));
    EXPECT_EQ(Narrow(uitest::ItemText(dialog, kFinishButton)), Narrow(kTexts[6]));

    // Headline and body bold, in one shared font; hint and box normal.
    EXPECT_EQ(FontOf(dialog, kFinishHeadline).lfWeight, FW_BOLD);
    EXPECT_EQ(FontOf(dialog, kFinishBody).lfWeight, FW_BOLD);
    EXPECT_EQ(::SendDlgItemMessageW(dialog, kFinishHeadline, WM_GETFONT, 0, 0),
              ::SendDlgItemMessageW(dialog, kFinishBody, WM_GETFONT, 0, 0));
    EXPECT_EQ(FontOf(dialog, kFinishHint).lfWeight, FW_NORMAL);
    EXPECT_EQ(FontOf(dialog, kFinishCheckBox).lfWeight, FW_NORMAL);
    EXPECT_EQ(std::wstring(FontOf(dialog, kFinishHeadline).lfFaceName),
              std::wstring(FontOf(dialog, kFinishHint).lfFaceName));

    // The colour answers, asked as the controls ask them.
    HDC surface = ::CreateCompatibleDC(nullptr);
    ASSERT_NE(surface, nullptr);
    for (int id : {kFinishHint, kFinishHeadline, kFinishBody, kFinishCheckBox}) {
        SCOPED_TRACE(id);
        ::SetBkMode(surface, OPAQUE);
        auto brush =
            reinterpret_cast<HBRUSH>(::SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(surface),
                                                    reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id))));
        EXPECT_EQ(BrushColour(brush), RGB(255, 255, 255));
        EXPECT_EQ(::GetBkMode(surface), TRANSPARENT);
    }
    ::SetBkColor(surface, RGB(1, 2, 3));
    auto dialogBrush = reinterpret_cast<HBRUSH>(
        ::SendMessageW(dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(surface), reinterpret_cast<LPARAM>(dialog)));
    EXPECT_EQ(BrushColour(dialogBrush), RGB(255, 255, 255));
    EXPECT_EQ(::GetBkColor(surface), RGB(255, 255, 255));
    ::SetBkMode(surface, OPAQUE);
    auto buttonBrush =
        reinterpret_cast<HBRUSH>(::SendMessageW(dialog, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(surface),
                                                reinterpret_cast<LPARAM>(::GetDlgItem(dialog, kFinishButton))));
    EXPECT_NE(buttonBrush, dialogBrush) << "the Finish button keeps the platform's colours";
    EXPECT_EQ(::GetBkMode(surface), OPAQUE);
    ::DeleteDC(surface);
}

TEST_F(DialogRunner, FinishScreenPaintsThePictureOnWhiteAndRepaintingKeepsTheGdiObjectCount) {
    FinishScreenRun run(machine_.Get(), log_, settings_);
    HWND dialog = run.dialog;
    ASSERT_NE(dialog, nullptr);
    ::UpdateWindow(dialog);

    // Top left: the picture's dark blue; right: the white dialog.
    RECT client{};
    ::GetClientRect(dialog, &client);
    HDC screen = ::GetDC(dialog);
    const COLORREF picture = ::GetPixel(screen, 8, 8);
    const COLORREF background = ::GetPixel(screen, client.right - 8, 8);
    ::ReleaseDC(dialog, screen);
    EXPECT_GT(GetBValue(picture), GetRValue(picture) + 40) << std::hex << picture;
    EXPECT_EQ(background, RGB(255, 255, 255)) << std::hex << background;

    // Once for what painting makes on first use (fonts, caches), then many.
    for (int i = 0; i < 5; ++i) {
        ::InvalidateRect(dialog, nullptr, TRUE);
        ::UpdateWindow(dialog);
    }
    const unsigned before = GdiObjectCount();
    if (before == 0 && sizeof(void*) == 4 && test::IsSixtyFourBitWindows()) {
        // Wine keeps no GDI handle table in a WOW64 process's PEB; the count
        // is checked where this suite runs in a 32-bit prefix.
        GTEST_SKIP() << "no GDI object count in a WOW64 process under Wine";
    }
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 300; ++i) {
        ::InvalidateRect(dialog, nullptr, TRUE);
        ::UpdateWindow(dialog);
    }
    // Wine makes a few objects of its own now and then; a leak in the paint
    // handler would add at least one per repaint.
    EXPECT_LT(GdiObjectCount(), before + 20);
}

TEST_F(DialogRunner, FinishWithTheBoxClearRequestsTheRestart) {
    FinishScreenRun run(machine_.Get(), log_, settings_);
    ASSERT_NE(run.dialog, nullptr);
    // The recorder stands in for the system here: nothing restarts.
    uitest::Click(run.dialog, kFinishButton);
    EXPECT_EQ(run.Result(), kIdOk);
    EXPECT_EQ(machine_.ui.restarts, 1);
    EXPECT_EQ(machine_.ui.lastFlags, 18u) << "EWX_REBOOT | EWX_FORCEIFHUNG: programs may ask to save";
    EXPECT_EQ(machine_.ui.lastReason, 0x80000002u) << "planned, other, installation";
}

TEST_F(DialogRunner, FinishWithTheBoxTickedOnlyCloses) {
    FinishScreenRun run(machine_.Get(), log_, settings_);
    ASSERT_NE(run.dialog, nullptr);
    ASSERT_TRUE(uitest::TickAndFinish(run.dialog));
    EXPECT_EQ(run.Result(), kIdOk);
    EXPECT_EQ(machine_.ui.restarts, 0);
}

TEST_F(DialogRunner, EscapeClosesTheFinishScreenAsCancelledWithoutARestart) {
    FinishScreenRun run(machine_.Get(), log_, settings_);
    ASSERT_NE(run.dialog, nullptr);
    uitest::Click(run.dialog, IDCANCEL);
    EXPECT_EQ(run.Result(), kIdCancel);
    EXPECT_EQ(machine_.ui.restarts, 0);
}

}  // namespace
}  // namespace zq::win32
