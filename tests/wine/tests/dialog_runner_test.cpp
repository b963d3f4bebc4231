// The Win32 dialog runner with the launcher's own dialogs: the templates,
// the picture and the clip are this test program's resources (the same
// .rc as the exe's), and the handlers are the real CCopyDlg and
// CFinishScreen. The restart request goes to a recorder here, never to
// the system.
//
// Runs on the virtual display, in the UI prefixes.
#include <gtest/gtest.h>

#include <winternl.h>

#include <atomic>
#include <cstdint>

#include "tests/wine/support/ui_driver.h"
#include "ui/copy_dialog.h"
#include "ui/finish_screen.h"

namespace zq::win32 {
namespace {

using namespace test;

// The real platform and dialogs, but a restart only noted down.
class TestMachine final : public IUserInterface {
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
    Platform& Get() { return platform_.Get(); }

    int restarts = 0;
    unsigned lastFlags = 0, lastReason = 0;

private:
    Win32UserInterface real_;
    Win32Platform platform_{*this};
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
    PROCESS_BASIC_INFORMATION information{};
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll"), "NtQueryInformationProcess")));
    if (query == nullptr || query(::GetCurrentProcess(), 0, &information, sizeof information, nullptr) != 0) return 0;
    const std::size_t tableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;  // PEB.GdiSharedHandleTable
    const auto* table = *reinterpret_cast<const std::uint8_t* const*>(
        reinterpret_cast<const std::uint8_t*>(information.PebBaseAddress) + tableOffset);
    unsigned count = 0;
    for (unsigned i = 0; table != nullptr && i < 0x10000; ++i) count += table[i * 24 + 14] != 0 ? 1 : 0;
    return count;
}

class DialogRunner : public ::testing::Test {
protected:
    PackageRun package_{L"dialogs", {L"601_64", L"unused", {}}, L""};
    WString settings_ = package_.folder() + L"\\autorun.inf";
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

TEST_F(DialogRunner, TheClipOpensOrIsReportedMissingAndAnUnknownTemplateAnswersMinusOne) {
    RECT control{};
    for (const wchar_t* clip : {kCopyAnimationClip, L"NO_SUCH_CLIP.AVI"}) {
        const bool exists = clip == kCopyAnimationClip;
        InitOnly dialog(kCopyDialogTemplate, [&](IDialogWindow& window, HWND hwnd) {
            EXPECT_EQ(window.OpenAnimation(kCopyAnimation, clip), exists) << "ACM_OPENW read FILECOPY_16.AVI";
            window.PlayAnimationForever(kCopyAnimation);
            ::GetWindowRect(::GetDlgItem(hwnd, kCopyAnimation), &control);
            window.SetProgressRange(kCopyProgressBar, 0, 100);
            window.SetProgressPosition(kCopyProgressBar, 42);
            EXPECT_EQ(window.ProgressPosition(kCopyProgressBar), 42);
            EXPECT_TRUE(window.HasItem(kCopyPercentText));
            EXPECT_FALSE(window.HasItem(4242));
        });
        EXPECT_EQ(machine_.RunModalDialog(dialog), kIdOk);
        EXPECT_EQ(dialog.ended, kIdOk) << "OnEnded has the result";
        // Without ACS_CENTER the control takes the size of the clip's frames.
        if (exists) {
            EXPECT_EQ(control.right - control.left, 240);
            EXPECT_EQ(control.bottom - control.top, 48);
        }
    }
    InitOnly unknown(4242, [](IDialogWindow&, HWND) { ADD_FAILURE() << "no window was expected"; });
    EXPECT_EQ(machine_.RunModalDialog(unknown), -1);
    EXPECT_EQ(unknown.ended, -1);
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

// The real copy dialog, observed from its own thread; what it saw outlives
// the object, whose end waits for its progress thread.
struct Seen {
    HWND hwnd = nullptr;
    DWORD closeThread = 0;
    int barAtClose = -1;
    std::wstring textAtClose;
    std::atomic<int> ended{-2};
};

class ObservedCopyDialog final : public CCopyDlg {
public:
    ObservedCopyDialog(Platform& platform, CLogFile& log, Seen& seen) : CCopyDlg(platform, log), seen_(seen) {}
    void OnInitDialog(IDialogWindow& window) override {
        seen_.hwnd = ThisThreadsDialog();  // before the base, whose end lets the runner's thread go on
        CCopyDlg::OnInitDialog(window);
    }
    void OnClose(IDialogWindow& window) override {
        seen_.closeThread = ::GetCurrentThreadId();
        CCopyDlg::OnClose(window);
        // Ended, but the window is still there to be read.
        seen_.barAtClose = window.ProgressPosition(kCopyProgressBar);
        seen_.textAtClose = ItemText(seen_.hwnd, kCopyPercentText);
    }
    void OnEnded(int result) override {
        seen_.ended = result;
        CCopyDlg::OnEnded(result);
    }

private:
    Seen& seen_;
};

// The runner's close request ends the dialog at 100 %, handled on the
// dialog's own thread; Escape ends it as cancelled, and the later close
// request finds no window.
TEST_F(DialogRunner, CopyDialogEndsAtOneHundredPercentOnCloseAndCancelledOnEscape) {
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "close");
        Seen seen;
        {
            ObservedCopyDialog dialog(machine_.Get(), log_, seen);
            dialog.settingsFilePath = settings_;
            dialog.ShowOnProgressThread();
            ASSERT_NE(seen.hwnd, nullptr);
            EXPECT_EQ(Narrow(ItemText(seen.hwnd, kCopyLabel)), "Copying ...");
            if (escape) {
                Click(seen.hwnd, IDCANCEL);
                EXPECT_TRUE(WaitUntilGone(seen.hwnd));
            }
            dialog.Close();
            EXPECT_TRUE(WaitUntil([&] { return seen.ended != -2; }));
        }
        EXPECT_EQ(seen.ended, kIdCancel);
        EXPECT_FALSE(::IsWindow(seen.hwnd));
        if (escape) {
            EXPECT_EQ(seen.closeThread, 0u) << "Escape is not a close request";
            continue;
        }
        EXPECT_NE(seen.closeThread, 0u);
        EXPECT_NE(seen.closeThread, ::GetCurrentThreadId()) << "WM_CLOSE is handled on the dialog's thread";
        EXPECT_EQ(seen.barAtClose, 100);
        EXPECT_EQ(Narrow(seen.textAtClose), "100%");
    }
}

// The finish screen runs modally on a thread of its own, so that this
// thread can look at it and press its buttons.
class FinishScreenRun {
public:
    FinishScreenRun(Platform& platform, CLogFile& log, const WString& settings) : screen_(platform, log) {
        screen_.settingsFilePath = settings;
        thread_ = threads_.Start([this] { result_ = screen_.DoModal(); });
        dialog = WaitForDialog(::GetCurrentProcessId(), IsFinishScreen);
    }
    ~FinishScreenRun() {
        if (dialog != nullptr && ::IsWindow(dialog)) Click(dialog, IDCANCEL);  // never Finish
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

TEST_F(DialogRunner, FinishScreenFontsAndColours) {
    FinishScreenRun run(machine_.Get(), log_, settings_);
    HWND dialog = run.dialog;
    ASSERT_NE(dialog, nullptr);

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
    ScopedMemoryDc dc(::CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    HDC surface = dc.Get();
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
}

TEST_F(DialogRunner, FinishScreenPaintsThePictureOnWhiteAndRepaintingKeepsTheGdiObjectCount) {
    FinishScreenRun run(machine_.Get(), log_, settings_);
    HWND dialog = run.dialog;
    ASSERT_NE(dialog, nullptr);
    ::UpdateWindow(dialog);

    // Top left: the picture's dark blue; right: the white dialog.
    RECT client{};
    ::GetClientRect(dialog, &client);
    HDC screen = ::GetDC(dialog);  // released before any check
    const COLORREF picture = ::GetPixel(screen, 8, 8), background = ::GetPixel(screen, client.right - 8, 8);
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

// Finish with the box clear asks for the restart (the recorder stands in
// for the system here: nothing restarts); with it ticked, or on Escape, no
// restart is asked for.
TEST_F(DialogRunner, OnlyFinishWithTheBoxClearRequestsTheRestart) {
    const struct {
        const char* what;
        bool tick;
        int button, result, restarts;
    } rows[] = {
        {"Finish, box clear", false, kFinishButton, kIdOk, 1},
        {"Finish, box ticked", true, kFinishButton, kIdOk, 0},
        {"Escape", false, IDCANCEL, kIdCancel, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        machine_.restarts = 0;
        FinishScreenRun run(machine_.Get(), log_, settings_);
        ASSERT_NE(run.dialog, nullptr);
        if (row.tick) {
            ::SendDlgItemMessageW(run.dialog, kFinishCheckBox, BM_SETCHECK, BST_CHECKED, 0);
            ASSERT_TRUE(IsChecked(run.dialog, kFinishCheckBox));
        }
        Click(run.dialog, row.button);
        EXPECT_EQ(run.Result(), row.result);
        EXPECT_EQ(machine_.restarts, row.restarts);
    }
    EXPECT_EQ(machine_.lastFlags, 18u) << "EWX_REBOOT | EWX_FORCEIFHUNG: programs may ask to save";
    EXPECT_EQ(machine_.lastReason, 0x80000002u) << "planned, other, installation";
}

}  // namespace
}  // namespace zq::win32
