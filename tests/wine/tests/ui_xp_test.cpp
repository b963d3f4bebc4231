// The real zqmerlesetup.exe on Windows XP: XP x64 / Server 2003 (5.2),
// where the 32-bit build runs under WOW64, and a 32-bit XP (5.1). The
// driver check reads a UTF-16LE oem*.inf of the Windows folder: with the
// package's keyword installed the run takes the os_list entry and the Run
// section of the machine's word size, brings the clean-up program's data
// file up to date from the uninstall string in the launcher's own registry
// view, and ends on the finish screen; without it, message 8 ends the run.
#include <gtest/gtest.h>

#include "tests/wine/support/ui_driver.h"

namespace zq::test {
namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kKeyword[] = L"ZQ Merle XP 5400";

// The package fits 32-bit XP and XP x64; anything else is message 1.
PackageSettings XpPackage(const WString& keyword) {
    return {L"501,502_64", keyword, {ChildExits(32)}, {ChildExits(64)}};
}

std::string ExpectedOsLine() {
    return std::string("Valid OS found. OS: ") + (IsSixtyFourBitWindows() ? "502_64" : "501") + "\r\n";
}

TEST(LauncherOnXp, InstalledKeywordRunsTheMachinesSectionAndReachesTheFinishScreen) {
    PackageRun package(L"xp-keyword", XpPackage(kKeyword), kKeyword);
    // The package's setup\zqclean.dat goes to the folder that the uninstall
    // string names; on 64-bit Windows the other view names another folder,
    // which must stay empty.
    ASSERT_TRUE(::CreateDirectoryW((package.folder() + L"\\setup").c_str(), nullptr));
    WriteFileBytes(package.folder() + L"\\setup\\zqclean.dat", "data file of the package\r\n");
    const WString own = FreshTestFolder(L"xp-cleanup-own") + L"\\",
                  other = FreshTestFolder(L"xp-cleanup-other") + L"\\";
    WriteLocalMachineString(kUninstallKey, L"UninstallString", own + L"zqclean.exe -datfile zqclean.dat",
                            OwnRegistryView());
    if (IsSixtyFourBitWindows()) {
        WriteLocalMachineString(kUninstallKey, L"UninstallString", other + L"zqclean.exe -datfile zqclean.dat",
                                OtherRegistryView());
    }

    StartedProgram launcher = package.Start();
    HWND finish = WaitForDialog(launcher.Pid(), IsFinishScreen);
    ASSERT_NE(finish, nullptr) << "no finish screen came";
    ASSERT_TRUE(TickAndFinish(finish)) << "the box would not tick; Escape pressed instead";
    EXPECT_EQ(launcher.WaitForExit(), 0u);
    for (REGSAM view : {OwnRegistryView(), OtherRegistryView()})
        WriteLocalMachineString(kUninstallKey, L"UninstallString", L"", view);

    const std::string log = package.Log();
    const bool wide = IsSixtyFourBitWindows();
    for (const std::string& line :
         {ExpectedOsLine(), std::string("Magic key word ZQ Merle XP 5400 found in"),
          std::string("--> Enter DropMain()"),
          std::string("Calling RunSectionExe() with ") +
              (wide ? "Parameter .x64 for 64 bit OS" : "Parameter NULL for 32 bit OS"),
          "Call CreateProcess with \"" + Narrow(Lower(kTestChildPath)) + "\" exit " + (wide ? "64" : "32")})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    EXPECT_TRUE(Exists(own + L"zqclean.dat")) << "the data file was not brought up to date";
    EXPECT_FALSE(Exists(other + L"zqclean.dat")) << "the uninstall string of the other view was used";
}

TEST(LauncherOnXp, MissingKeywordShowsMessageEight) {
    PackageRun package(L"xp-no-keyword", XpPackage(L"ZQ Merle Nowhere 9900"), kKeyword);
    StartedProgram launcher = package.Start();
    HWND box = WaitForDialog(launcher.Pid(), IsMessageBox);
    ASSERT_NE(box, nullptr) << "no message box came";
    WString expected = kTexts[8];
    expected.replace(expected.find(L"\\n"), 2, L"\n");
    EXPECT_EQ(Narrow(MessageBoxText(box)), Narrow(expected));
    EXPECT_FALSE(HasItem(box, IDCANCEL) && ::IsWindowVisible(::GetDlgItem(box, IDCANCEL))) << "OK only";
    Click(box, IDOK);
    EXPECT_EQ(launcher.WaitForExit(), 0u);
    const std::string log = package.Log();
    EXPECT_NE(log.find(ExpectedOsLine()), std::string::npos) << log;
    EXPECT_EQ(log.find("--> Enter DropMain()"), std::string::npos) << log;
}

}  // namespace
}  // namespace zq::test
