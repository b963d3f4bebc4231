// The real zqmerlesetup.exe on a prefix that reports Windows XP x64 /
// Server 2003 (5.2, winxp64), with the driver check reading a UTF-16LE
// oem*.inf of the Windows folder: with the package's keyword installed the
// run reaches the launch step and ends on the finish screen; without it,
// message 8 ends the run.
#include <gtest/gtest.h>

#include "tests/win64/ui_driver.h"
#include "tests/win64/ui_package.h"
#include "tests/win64/wine_test_support.h"

namespace zq::uitest {
namespace {

constexpr int kFinish = 1001, kBody = 1018;
const wchar_t kMessageCaption[] = L"ZQ Merle Refresh Installer";

bool IsFinishScreen(HWND dialog) { return HasItem(dialog, kFinish) && HasItem(dialog, kBody); }
bool IsMessageBox(HWND dialog) { return WindowText(dialog) == kMessageCaption; }

std::wstring ChildExits(int status) { return L"\"" + test::kTestChildPath + L"\" exit " + std::to_wstring(status); }

TEST(LauncherOnXp64, InstalledKeywordReachesTheLaunchAndTheFinishScreen) {
    const std::wstring folder = test::FreshTestFolder(L"xp-keyword");
    InstalledOemInf inf(L"oem98.inf", L"ZQ Merle XP 5400");
    const std::wstring settings = WritePackage(folder, {L"502_64", L"ZQ Merle XP 5400", {ChildExits(0)}});

    test::ScopedEnvironmentVariable temp(L"TEMP", folder);
    Process launcher(LauncherCommandLine(settings));
    ASSERT_TRUE(launcher.Started());
    HWND finish = WaitForDialog(launcher.Id(), IsFinishScreen);
    ASSERT_NE(finish, nullptr) << "no finish screen came";
    EXPECT_EQ(Narrow(WindowText(finish)), Narrow(kTexts[7]));
    ASSERT_TRUE(TickAndFinish(finish)) << "the box would not tick; Escape pressed instead";
    EXPECT_EQ(launcher.WaitForExit(), 0u);

    const std::string log = NewestLog(folder);
    EXPECT_NE(log.find("Valid OS found. OS: 502_64"), std::string::npos) << log;
    EXPECT_NE(log.find("Magic key word ZQ Merle XP 5400 found in"), std::string::npos) << log;
    EXPECT_NE(log.find("--> Enter DropMain()"), std::string::npos) << log;
    EXPECT_NE(log.find("Call CreateProcess with \"" + Lower(Narrow(test::kTestChildPath))), std::string::npos) << log;
}

TEST(LauncherOnXp64, MissingKeywordShowsMessageEight) {
    const std::wstring folder = test::FreshTestFolder(L"xp-no-keyword");
    InstalledOemInf inf(L"oem98.inf", L"ZQ Merle XP 5400");
    const std::wstring settings = WritePackage(folder, {L"502_64", L"ZQ Merle Nowhere 9900", {ChildExits(0)}});

    test::ScopedEnvironmentVariable temp(L"TEMP", folder);
    Process launcher(LauncherCommandLine(settings));
    ASSERT_TRUE(launcher.Started());
    HWND box = WaitForDialog(launcher.Id(), IsMessageBox);
    ASSERT_NE(box, nullptr) << "no message box came";
    std::wstring expected = kTexts[8];
    expected.replace(expected.find(L"\\n"), 2, L"\n");
    EXPECT_EQ(Narrow(MessageBoxText(box)), Narrow(expected));
    EXPECT_FALSE(HasItem(box, IDCANCEL) && ::IsWindowVisible(::GetDlgItem(box, IDCANCEL))) << "OK only";
    Click(box, IDOK);
    EXPECT_EQ(launcher.WaitForExit(), 0u);

    const std::string log = NewestLog(folder);
    EXPECT_NE(log.find("Valid OS found. OS: 502_64"), std::string::npos) << log;
    EXPECT_EQ(log.find("--> Enter DropMain()"), std::string::npos) << log;
}

}  // namespace
}  // namespace zq::uitest
