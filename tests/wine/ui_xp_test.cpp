// The real zqmerlesetup.exe on Windows XP: XP x64 / Server 2003 (5.2,
// winxp64), where the 32-bit build runs under WOW64, and, for the 32-bit
// build, a 32-bit XP (5.1). The driver check reads a UTF-16LE oem*.inf of
// the Windows folder: with the package's keyword installed the run takes
// the os_list entry and the Run section of the machine's word size, brings
// the clean-up program's data file up to date from the uninstall string
// in the launcher's own registry view, and ends on the finish screen;
// without it, message 8 ends the run.
#include <gtest/gtest.h>

#include "tests/wine/ui_driver.h"
#include "tests/wine/ui_package.h"
#include "tests/wine/wine_test_support.h"

namespace zq::uitest {
namespace {

constexpr int kFinish = 1001, kBody = 1018;
const wchar_t kMessageCaption[] = L"ZQ Merle Refresh Installer";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The package fits 32-bit XP and XP x64; anything else is message 1.
const wchar_t kOsList[] = L"501,502_64";

bool IsFinishScreen(HWND dialog) { return HasItem(dialog, kFinish) && HasItem(dialog, kBody); }
bool IsMessageBox(HWND dialog) { return WindowText(dialog) == kMessageCaption; }

// The os_list entry the launcher must take here.
std::string ExpectedOsEntry() { return test::IsSixtyFourBitWindows() ? "502_64" : "501"; }

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(LauncherOnXp, InstalledKeywordRunsTheMachinesSectionAndReachesTheFinishScreen) {
    const std::wstring folder = test::FreshTestFolder(L"xp-keyword");
    InstalledOemInf inf(L"oem98.inf", L"ZQ Merle XP 5400");
    const std::wstring settings =
        WritePackage(folder, {kOsList, L"ZQ Merle XP 5400", {ChildExits(32)}, {ChildExits(64)}});
    // The clean-up program's data file: the package's setup\zqclean.dat goes
    // to the folder that the uninstall string names. On 64-bit Windows the
    // other registry view names another folder, which must stay empty.
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\setup").c_str(), nullptr));
    test::WriteFileBytes(folder + L"\\setup\\zqclean.dat", "data file of the package\r\n");
    const std::wstring ownCleanup = test::FreshTestFolder(L"xp-keyword-cleanup-own") + L"\\";
    const std::wstring otherCleanup = test::FreshTestFolder(L"xp-keyword-cleanup-other") + L"\\";
    test::WriteLocalMachineString(kUninstallKey, L"UninstallString", ownCleanup + L"zqclean.exe -datfile zqclean.dat",
                                  test::OwnRegistryView());
    if (test::IsSixtyFourBitWindows()) {
        test::WriteLocalMachineString(kUninstallKey, L"UninstallString",
                                      otherCleanup + L"zqclean.exe -datfile zqclean.dat", test::OtherRegistryView());
    }

    test::ScopedEnvironmentVariable temp(L"TEMP", folder);
    Process launcher(LauncherCommandLine(settings), folder);
    ASSERT_TRUE(launcher.Started());
    HWND finish = WaitForDialog(launcher.Id(), IsFinishScreen);
    ASSERT_NE(finish, nullptr) << "no finish screen came";
    EXPECT_EQ(Narrow(WindowText(finish)), Narrow(kTexts[7]));
    ASSERT_TRUE(TickAndFinish(finish)) << "the box would not tick; Escape pressed instead";
    EXPECT_EQ(launcher.WaitForExit(), 0u);
    for (REGSAM view : {test::OwnRegistryView(), test::OtherRegistryView()}) {
        test::WriteLocalMachineString(kUninstallKey, L"UninstallString", L"", view);
    }

    const std::string log = NewestLog(folder);
    EXPECT_NE(log.find("Valid OS found. OS: " + ExpectedOsEntry() + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Magic key word ZQ Merle XP 5400 found in"), std::string::npos) << log;
    EXPECT_NE(log.find("--> Enter DropMain()"), std::string::npos) << log;
    const std::string section =
        test::IsSixtyFourBitWindows() ? "Parameter .x64 for 64 bit OS" : "Parameter NULL for 32 bit OS";
    EXPECT_NE(log.find("Calling RunSectionExe() with " + section), std::string::npos) << log;
    const int started = test::IsSixtyFourBitWindows() ? 64 : 32;
    EXPECT_NE(log.find("Call CreateProcess with \"" + Lower(Narrow(test::kTestChildPath)) + "\" exit " +
                       std::to_string(started)),
              std::string::npos)
        << log;
    EXPECT_TRUE(FileExists(ownCleanup + L"zqclean.dat")) << "the data file was not brought up to date";
    EXPECT_FALSE(FileExists(otherCleanup + L"zqclean.dat")) << "the uninstall string of the other view was used";
}

TEST(LauncherOnXp, MissingKeywordShowsMessageEight) {
    const std::wstring folder = test::FreshTestFolder(L"xp-no-keyword");
    InstalledOemInf inf(L"oem98.inf", L"ZQ Merle XP 5400");
    const std::wstring settings = WritePackage(folder, {kOsList, L"ZQ Merle Nowhere 9900", {ChildExits(0)}});

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
    EXPECT_NE(log.find("Valid OS found. OS: " + ExpectedOsEntry() + "\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("--> Enter DropMain()"), std::string::npos) << log;
}

}  // namespace
}  // namespace zq::uitest
