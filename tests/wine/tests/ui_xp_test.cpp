// The real zqmerlesetup.exe on Windows XP: XP x64 / Server 2003 (5.2),
// where the 32-bit build runs under WOW64, and a 32-bit XP (5.1). The
// driver check reads a UTF-16LE oem*.inf of the Windows folder: with the
// package's keyword installed the run takes the os_list entry and the Run
// section of the machine's word size, brings the clean-up program's data
// file up to date from the uninstall string in the launcher's own registry
// view, and ends on the finish screen. (Message 8, when the keyword is
// missing, is the host tests' affair.)
#include <gtest/gtest.h>

#include "tests/wine/support/ui_driver.h"

namespace zq::test {
namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kKeyword[] = L"ZQ Merle XP 5400";

TEST(LauncherOnXp, InstalledKeywordRunsTheMachinesSectionAndReachesTheFinishScreen) {
    // The package fits 32-bit XP and XP x64 only.
    PackageRun package(L"xp-keyword", {L"501,502_64", kKeyword, {ChildExits(32)}, {ChildExits(64)}}, kKeyword);
    // The package's setup\zqclean.dat goes to the folder that the uninstall
    // string names; on 64-bit Windows the other view names another folder,
    // which must stay empty.
    ASSERT_TRUE(::CreateDirectoryW((package.folder() + L"\\setup").c_str(), nullptr));
    WriteFileBytes(package.folder() + L"\\setup\\zqclean.dat", "data file of the package\r\n");
    const WString own = FreshTestFolder(L"xp-cleanup-own") + L"\\",
                  other = FreshTestFolder(L"xp-cleanup-other") + L"\\";
    WriteLocalMachineString(kUninstallKey, L"UninstallString", own + L"zqclean.exe -datfile zqclean.dat", 0);
    if (IsSixtyFourBitWindows()) {
        WriteLocalMachineString(kUninstallKey, L"UninstallString", other + L"zqclean.exe -datfile zqclean.dat",
                                OtherRegistryView());
    }

    StartedProgram launcher = package.Start();
    HWND finish = WaitForDialog(launcher.Pid(), IsFinishScreen);
    ASSERT_NE(finish, nullptr) << "no finish screen came";
    ASSERT_TRUE(TickAndFinish(finish)) << "the box would not tick; Escape pressed instead";
    EXPECT_EQ(launcher.WaitForExit(), 0u);
    for (REGSAM view : {REGSAM{0}, OtherRegistryView()})
        WriteLocalMachineString(kUninstallKey, L"UninstallString", L"", view);

    // The Run section of the machine's word size, not of the program's.
    const std::string ran = "Call CreateProcess with \"" + Utf16ToUtf8(ToLowerAscii(kTestChildPath)) + "\" exit " +
                            (IsSixtyFourBitWindows() ? "64" : "32");
    EXPECT_NE(package.Log().find(ran), std::string::npos) << ran << "\n" << package.Log();
    EXPECT_TRUE(Exists(own + L"zqclean.dat")) << "the data file was not brought up to date";
    EXPECT_FALSE(Exists(other + L"zqclean.dat")) << "the uninstall string of the other view was used";
}

}  // namespace
}  // namespace zq::test
