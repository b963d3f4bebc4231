// The plug-in on a Windows newer than major version 5 (the "main" prefix,
// Wine's default version): it refuses, says so, and leaves the tray
// application and the service alone.
//
// The service is installed but left stopped: had the plug-in gone on, it
// would have asked for it to start. (Service starts are tested in prefixes
// of their own; see prefix.sh on a prefix initialised twice.)
#include <gtest/gtest.h>

#include "plugin/update_driver_plugin.h"
#include "tests/wine/plugin_test_support.h"

namespace zq::test {
namespace {

TEST(PluginUpdateDriver, RefusesOnAnyMajorVersionButFive) {
    ASSERT_NE(LOBYTE(LOWORD(::GetVersion())), 5) << "the default prefix reports a Windows newer than 5.x";
    ASSERT_TRUE(RunningProcessIds(kTrayExeName).empty()) << "no zqnotify.exe runs before the test";

    InstalledImagingSoftware software(L"plugin-not-xp-pictavo");
    InstalledDevService service;
    ASSERT_TRUE(service.IsInstalled());
    StartedProgram tray(software.TrayPath());
    ASSERT_TRUE(tray.IsStarted());
    const WString settings = WriteSettingsFile(L"plugin-not-xp-package", {L"ZQ Merle 5400 Series"});
    LauncherUnderTest launcher(L"plugin-not-xp-log");
    CUpdateDriverPlugin context(settings);

    EXPECT_EQ(RunUpdateDriver(launcher.process(), context, L"lanpatch.exe c:\\zqtest\\drivers\\zqmerle.inf"), 0);

    EXPECT_EQ(launcher.LogMessages(), (std::vector<std::string>{
                                          ">> Stating UpdateDriver Plug-in",
                                          "** OS is not XP. This is a fix for XP network install",
                                      }));
    EXPECT_TRUE(tray.IsRunning()) << "the tray application was not terminated";
    EXPECT_EQ(RunningProcessIds(kTrayExeName), std::vector<DWORD>{tray.Pid()}) << "and none was started";
    EXPECT_EQ(service.CurrentState(), static_cast<DWORD>(SERVICE_STOPPED)) << "the service was not asked to start";
    EXPECT_TRUE(context.installFolder.empty()) << "the install folder was not read";
    EXPECT_EQ(context.driverCount, 0) << "nor the driver list";
}

}  // namespace
}  // namespace zq::test
