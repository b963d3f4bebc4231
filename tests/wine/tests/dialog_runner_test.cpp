// The Win32 dialog runner with the real finish screen: its template and
// picture are this test program's resources (the same .rc as the exe's).
// What only the real system shows: the paint handler's GDI objects and the
// restart request's flags, which go to a recorder here, never to the
// system.
//
// Runs on the virtual display, in the UI prefixes.
#include <gtest/gtest.h>

#include <winternl.h>

#include <cstdint>

#include "tests/wine/support/ui_driver.h"
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

// The finish screen of a package runs modally on a thread of its own, so
// that this thread can look at it and press its buttons.
class FinishScreenRun {
public:
    FinishScreenRun() {
        screen_.settingsFilePath = package_.folder() + L"\\autorun.inf";
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
    TestMachine machine;

private:
    PackageRun package_{L"dialogs", {L"601_64", L"unused", {}}, L""};
    CLogFile log_{machine.Get()};
    CFinishScreen screen_{machine.Get(), log_};
    Win32Threads threads_;
    std::unique_ptr<IThread> thread_;
    int result_ = -2;
};

TEST(DialogRunner, FinishScreenPaintsThePictureOnWhiteAndRepaintingKeepsTheGdiObjectCount) {
    FinishScreenRun run;
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
    const auto repaint = [dialog](int times) {
        for (int i = 0; i < times; ++i)
            ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    };
    repaint(5);
    const unsigned before = GdiObjectCount();
    if (before == 0 && sizeof(void*) == 4 && test::IsSixtyFourBitWindows()) {
        // Wine keeps no GDI handle table in a WOW64 process's PEB; the count
        // is checked where this suite runs in a 32-bit prefix.
        GTEST_SKIP() << "no GDI object count in a WOW64 process under Wine";
    }
    ASSERT_GT(before, 0u);
    repaint(300);
    // Wine makes a few objects of its own now and then; a leak in the paint
    // handler would add at least one per repaint.
    EXPECT_LT(GdiObjectCount(), before + 20);
}

// Finish with the box clear asks the system for the restart with the
// flags that let programs save (the recorder stands in for the system).
TEST(DialogRunner, FinishWithTheBoxClearRequestsTheRestartWithFlags18) {
    FinishScreenRun run;
    ASSERT_NE(run.dialog, nullptr);
    Click(run.dialog, kFinishButton);
    EXPECT_EQ(run.Result(), kIdOk);
    EXPECT_EQ(run.machine.restarts, 1);
    EXPECT_EQ(run.machine.lastFlags, 18u) << "EWX_REBOOT | EWX_FORCEIFHUNG: programs may ask to save";
    EXPECT_EQ(run.machine.lastReason, 0x80000002u) << "planned, other, installation";
}

}  // namespace
}  // namespace zq::win32
