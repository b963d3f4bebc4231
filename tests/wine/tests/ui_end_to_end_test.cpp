// The real zqmerlesetup.exe on a package whose Run section holds a
// "zqstage" program, driven from outside as a person would: the copy
// dialog while the program runs, then the finish screen. On Windows 7
// (601), on the virtual display. The program ends when the test releases
// it, so nothing here depends on how long anything takes. (The dialogs'
// texts and logic are the host tests' affair.)
#include <gtest/gtest.h>

#include <cwchar>

#include "tests/wine/support/ui_driver.h"
#include "ui/copy_dialog.h"

namespace zq::test {
namespace {

TEST(LauncherWindows, CopyDialogWhileTheStageProgramRunsThenTheFinishScreen) {
    const WString releaseName = L"zq-ui-release-" + std::to_wstring(::GetCurrentProcessId());
    win32::ScopedHandle release(::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    ASSERT_TRUE(release);
    const WString done = L"c:\\zqtest\\ui-copy\\stage-done";
    PackageRun package(L"ui-copy", {L"601_64", L"ZQ Merle UI 5400", {WaitingProgram(kStagePath, releaseName, done)}},
                       L"ZQ Merle UI 5400");
    StartedProgram launcher = package.Start();
    HWND copy = WaitForDialog(launcher.Pid(), IsCopyDialog);
    ASSERT_NE(copy, nullptr) << "no copy dialog came";

    // The timer writes the percentage while the program, not yet released,
    // still runs.
    const auto percent = [&] { return std::wcstol(ItemText(copy, kCopyPercentText).c_str(), nullptr, 10); };
    ASSERT_TRUE(WaitUntil([&] { return percent() >= 2; })) << "the percentage never moved";
    EXPECT_FALSE(Exists(done)) << "the program is still running";

    ASSERT_TRUE(::SetEvent(release.Get()));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(copy); })) << "the copy dialog stayed after the program ended";
    EXPECT_TRUE(Exists(done)) << "the dialog closed only after the program had ended";
    HWND finish = WaitForDialog(launcher.Pid(), IsFinishScreen);
    ASSERT_NE(finish, nullptr) << "no finish screen came";
    ASSERT_TRUE(TickAndFinish(finish)) << "the box would not tick; Escape pressed instead";
    EXPECT_EQ(launcher.WaitForExit(), 0u);
}

}  // namespace
}  // namespace zq::test
