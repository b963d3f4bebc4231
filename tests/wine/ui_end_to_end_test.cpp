// The real zqmerlesetup.exe on a package whose Run section holds a
// "zqstage" program, driven from outside as a person would: the copy
// dialog while the program runs, then the finish screen.
//
// Runs in a prefix of its own that reports Windows 7 (601), on the
// virtual display (see prefix.sh). The program ends when the test
// releases it, so nothing here depends on how long anything takes.
#include <gtest/gtest.h>

#include <regex>

#include "tests/wine/ui_driver.h"
#include "tests/wine/ui_package.h"
#include "tests/wine/wine_test_support.h"

namespace zq::uitest {
namespace {

const std::wstring kStagePath = ZQ_STAGE_WINDOWS;
constexpr int kCopyLabel = 1013, kCopyBar = 1016, kCopyPercent = 1017, kCopyAnimation = 1012;
constexpr int kFinish = 1001, kHeadline = 1002, kHint = 1003, kSeparator = 1015, kCheckBox = 1016, kBody = 1018;

bool IsFinishScreen(HWND dialog) { return HasItem(dialog, kFinish) && HasItem(dialog, kBody); }
bool IsCopyDialog(HWND dialog) { return HasItem(dialog, kCopyBar) && HasItem(dialog, kCopyAnimation); }

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// "N%" with N from 0 to 100; -1 for anything else.
int PercentOf(const std::wstring& text) {
    static const std::wregex kPercent(LR"(([0-9]{1,3})%)");
    std::wsmatch match;
    if (!std::regex_match(text, match, kPercent)) return -1;
    const int value = std::stoi(match[1].str());
    return value <= 100 ? value : -1;
}

TEST(LauncherWindows, CopyDialogWhileTheStageProgramRunsThenTheFinishScreen) {
    const std::wstring folder = test::FreshTestFolder(L"ui-copy");
    const std::wstring done = folder + L"\\stage-done";
    const std::wstring release = L"zq-ui-release-" + std::to_wstring(::GetCurrentProcessId());
    InstalledOemInf inf(L"oem99.inf", L"ZQ Merle UI 5400");
    const std::wstring settings = WritePackage(
        folder, {L"601_64", L"ZQ Merle UI 5400", {L"\"" + kStagePath + L"\" wait " + release + L" " + done}});
    HANDLE releaseEvent = ::CreateEventW(nullptr, TRUE, FALSE, release.c_str());
    ASSERT_NE(releaseEvent, nullptr);

    test::ScopedEnvironmentVariable temp(L"TEMP", folder);
    Process launcher(LauncherCommandLine(settings));
    ASSERT_TRUE(launcher.Started());

    // The copy dialog, while the program runs.
    HWND copy = WaitForDialog(launcher.Id(), IsCopyDialog);
    ASSERT_NE(copy, nullptr) << "no copy dialog came";
    EXPECT_EQ(Narrow(WindowText(copy)), Narrow(kTexts[7]));
    EXPECT_EQ(Narrow(ItemText(copy, kCopyLabel)), "Copying ...");
    const int barAtFirstLook = ProgressPosition(copy, kCopyBar);
    EXPECT_GE(barAtFirstLook, 0);
    EXPECT_LE(barAtFirstLook, 100);
    // The timer moves the bar and writes the percentage; the program has
    // not been released, so it still runs meanwhile.
    std::wstring percent;
    ASSERT_TRUE(WaitUntil([&] {
        percent = ItemText(copy, kCopyPercent);
        return PercentOf(percent) >= 2;
    })) << "the percentage never moved: '"
        << Narrow(percent) << "'";
    const int bar = ProgressPosition(copy, kCopyBar);
    EXPECT_GE(bar, PercentOf(percent)) << "the bar is never behind the text written before it was read";
    EXPECT_LE(bar, 100);
    EXPECT_FALSE(FileExists(done)) << "the program is still running";

    // The program ends; then the dialog closes.
    ASSERT_TRUE(::SetEvent(releaseEvent));
    ASSERT_TRUE(WaitUntilGone(copy)) << "the copy dialog stayed after the program ended";
    EXPECT_TRUE(FileExists(done)) << "the dialog closed only after the program had ended";
    ::CloseHandle(releaseEvent);

    // The finish screen.
    HWND finish = WaitForDialog(launcher.Id(), IsFinishScreen);
    ASSERT_NE(finish, nullptr) << "no finish screen came";
    EXPECT_EQ(Narrow(WindowText(finish)), Narrow(kTexts[7]));
    EXPECT_EQ(Narrow(ItemText(finish, kHeadline)), Narrow(kTexts[2]));
    EXPECT_EQ(Narrow(ItemText(finish, kBody)), Narrow(kTexts[3]));
    EXPECT_EQ(Narrow(ItemText(finish, kCheckBox)), Narrow(kTexts[4]));
    EXPECT_EQ(Narrow(ItemText(finish, kHint)), Narrow(kTexts[5]));
    EXPECT_EQ(Narrow(ItemText(finish, kFinish)), Narrow(kTexts[6]));
    EXPECT_EQ(Narrow(ItemText(finish, kSeparator)), "");
    EXPECT_EQ(Controls(finish).size(), 6u);
    EXPECT_FALSE(IsChecked(finish, kCheckBox)) << "the box starts clear";

    ASSERT_TRUE(TickAndFinish(finish)) << "the box would not tick; Escape pressed instead";
    EXPECT_EQ(launcher.WaitForExit(), 0u);

    const std::string log = NewestLog(folder);
    EXPECT_NE(log.find("Valid OS found. OS: 601_64"), std::string::npos) << log;
    EXPECT_NE(log.find("Call CreateProcess with \"" + Lower(Narrow(kStagePath))), std::string::npos) << log;
}

TEST(LauncherWindows, EscapeOnTheCopyDialogLeavesTheProgramRunningToItsEnd) {
    const std::wstring folder = test::FreshTestFolder(L"ui-escape");
    const std::wstring done = folder + L"\\stage-done";
    const std::wstring release = L"zq-ui-escape-" + std::to_wstring(::GetCurrentProcessId());
    InstalledOemInf inf(L"oem99.inf", L"ZQ Merle UI 5400");
    const std::wstring settings = WritePackage(
        folder, {L"601_64", L"ZQ Merle UI 5400", {L"\"" + kStagePath + L"\" wait " + release + L" " + done}});
    HANDLE releaseEvent = ::CreateEventW(nullptr, TRUE, FALSE, release.c_str());
    ASSERT_NE(releaseEvent, nullptr);

    test::ScopedEnvironmentVariable temp(L"TEMP", folder);
    Process launcher(LauncherCommandLine(settings));
    ASSERT_TRUE(launcher.Started());
    HWND copy = WaitForDialog(launcher.Id(), IsCopyDialog);
    ASSERT_NE(copy, nullptr) << "no copy dialog came";

    Click(copy, IDCANCEL);
    ASSERT_TRUE(WaitUntilGone(copy));
    EXPECT_FALSE(FileExists(done)) << "Escape ends the display, not the program";

    // The runner still waits for the program, and its close request then
    // finds no window.
    ASSERT_TRUE(::SetEvent(releaseEvent));
    ::CloseHandle(releaseEvent);
    HWND finish = WaitForDialog(launcher.Id(), IsFinishScreen);
    ASSERT_NE(finish, nullptr) << "no finish screen came";
    EXPECT_TRUE(FileExists(done));
    ASSERT_TRUE(TickAndFinish(finish));
    EXPECT_EQ(launcher.WaitForExit(), 0u);
}

}  // namespace
}  // namespace zq::uitest
