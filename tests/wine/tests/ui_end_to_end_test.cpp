// The real zqmerlesetup.exe on a package whose Run section holds a
// "zqstage" program, driven from outside as a person would: the copy
// dialog while the program runs, then the finish screen. On Windows 7
// (601), on the virtual display. The program ends when the test releases
// it, so nothing here depends on how long anything takes.
#include <gtest/gtest.h>

#include <regex>

#include "tests/wine/support/ui_driver.h"
#include "ui/copy_dialog.h"
#include "ui/finish_screen.h"

namespace zq::test {
namespace {

// "N%" with N from 0 to 100; -1 for anything else.
int PercentOf(const std::wstring& text) {
    static const std::wregex kPercent(LR"(([0-9]{1,3})%)");
    std::wsmatch match;
    if (!std::regex_match(text, match, kPercent)) return -1;
    const int value = std::stoi(match[1].str());
    return value <= 100 ? value : -1;
}

// The package, the launcher started on it and its copy dialog, shown while
// the stage program waits for the release event.
class LauncherWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(release_);
        ASSERT_TRUE(launcher_.IsStarted());
        copy_ = WaitForDialog(launcher_.Pid(), IsCopyDialog);
        ASSERT_NE(copy_, nullptr) << "no copy dialog came";
    }

    const WString releaseName_ = L"zq-ui-release-" + std::to_wstring(::GetCurrentProcessId());
    win32::ScopedHandle release_{::CreateEventW(nullptr, TRUE, FALSE, releaseName_.c_str())};
    const WString done_ = L"c:\\zqtest\\ui-copy\\stage-done";
    PackageRun package_{L"ui-copy",
                        {L"601_64", L"ZQ Merle UI 5400", {WaitingProgram(kStagePath, releaseName_, done_)}},
                        L"ZQ Merle UI 5400"};
    StartedProgram launcher_ = package_.Start();
    HWND copy_ = nullptr;
};

TEST_F(LauncherWindows, CopyDialogWhileTheStageProgramRunsThenTheFinishScreen) {
    EXPECT_EQ(Narrow(WindowText(copy_)), Narrow(kTexts[7]));
    EXPECT_EQ(Narrow(ItemText(copy_, kCopyLabel)), "Copying ...");
    // The timer moves the bar and writes the percentage while the program,
    // not yet released, still runs.
    std::wstring percent;
    ASSERT_TRUE(WaitUntil([&] { return PercentOf(percent = ItemText(copy_, kCopyPercentText)) >= 2; }))
        << "the percentage never moved: '" << Narrow(percent) << "'";
    const int bar = ProgressPosition(copy_, kCopyProgressBar);
    EXPECT_GE(bar, PercentOf(percent)) << "the bar is never behind the text written before it was read";
    EXPECT_LE(bar, 100);
    EXPECT_FALSE(Exists(done_)) << "the program is still running";

    ASSERT_TRUE(::SetEvent(release_.Get()));
    ASSERT_TRUE(WaitUntilGone(copy_)) << "the copy dialog stayed after the program ended";
    EXPECT_TRUE(Exists(done_)) << "the dialog closed only after the program had ended";

    HWND finish = WaitForDialog(launcher_.Pid(), IsFinishScreen);
    ASSERT_NE(finish, nullptr) << "no finish screen came";
    const std::pair<int, WString> texts[] = {{kFinishHeadline, kTexts[2]}, {kFinishBody, kTexts[3]},
                                             {kFinishCheckBox, kTexts[4]}, {kFinishHint, kTexts[5]},
                                             {kFinishButton, kTexts[6]},   {kFinishSeparator, L""}};
    EXPECT_EQ(Narrow(WindowText(finish)), Narrow(kTexts[7]));
    for (const auto& [id, text] : texts) EXPECT_EQ(Narrow(ItemText(finish, id)), Narrow(text)) << id;
    EXPECT_EQ(Controls(finish).size(), 6u);
    EXPECT_FALSE(IsChecked(finish, kFinishCheckBox)) << "the box starts clear";
    ASSERT_TRUE(TickAndFinish(finish)) << "the box would not tick; Escape pressed instead";
    EXPECT_EQ(launcher_.WaitForExit(), 0u);

    const std::string log = package_.Log();
    EXPECT_NE(log.find("Valid OS found. OS: 601_64"), std::string::npos) << log;
    EXPECT_NE(log.find("Call CreateProcess with \"" + Narrow(Lower(kStagePath))), std::string::npos) << log;
}

// Escape ends the display, not the program; the runner still waits for
// the program, and its close request then finds no window.
TEST_F(LauncherWindows, EscapeOnTheCopyDialogLeavesTheProgramRunningToItsEnd) {
    Click(copy_, IDCANCEL);
    ASSERT_TRUE(WaitUntilGone(copy_));
    EXPECT_FALSE(Exists(done_));
    ASSERT_TRUE(::SetEvent(release_.Get()));
    HWND finish = WaitForDialog(launcher_.Pid(), IsFinishScreen);
    ASSERT_NE(finish, nullptr) << "no finish screen came";
    EXPECT_TRUE(Exists(done_));
    ASSERT_TRUE(TickAndFinish(finish));
    EXPECT_EQ(launcher_.WaitForExit(), 0u);
}

}  // namespace
}  // namespace zq::test
