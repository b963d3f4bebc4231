// The plug-in end to end with a device service that takes 2 s to stop, on
// Windows XP (5.2 or 5.1): without a matching printer the service's start
// follows its stop at once, and only a wait for the stop keeps the start
// from being refused (1056) and the service from staying stopped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "plugin/update_driver_plugin.h"
#include "tests/wine/plugin_test_support.h"

namespace zq::test {
namespace {

constexpr DWORD kStopDelayMs = 2000;
constexpr DWORD kErrorServiceAlreadyRunning = 1056;

WString LowerCase(WString text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

TEST(PluginSlowServiceOnWindowsXp, RunsAgainAfterARunWithoutMatchingPrinter) {
    ASSERT_EQ(LOBYTE(LOWORD(::GetVersion())), 5) << "this prefix reports Windows 5.x";
    InstalledImagingSoftware software(L"xp-slow-service-pictavo");
    InstalledDevService service(kStopDelayMs);
    ASSERT_TRUE(service.IsInstalled());
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    const DWORD firstPid = service.ProcessId();
    const WString settings = WriteSettingsFile(L"xp-slow-service-package", {L"ZQ Merle 5400 Series"});
    const WString inf = LowerCase(settings.substr(0, settings.rfind(L'\\')) + L"\\zqmerle.inf");
    WriteFileBytes(inf, "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n");
    LauncherUnderTest launcher(L"xp-slow-service-log");
    CUpdateDriverPlugin context(settings);

    EXPECT_EQ(RunUpdateDriver(launcher.process(), context, L"lanpatch.exe " + inf), 1);

    const std::vector<std::string> log = launcher.LogMessages();
    EXPECT_NE(std::find(log.begin(), log.end(), "No matching printer found"), log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), AsLogged(L"## " + SystemText(kErrorServiceAlreadyRunning))), log.end())
        << "the start was not refused";
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& line) { return line.rfind("## Service did not stop", 0) == 0; }),
              0);
    EXPECT_EQ(log.back(), "<< End of UpdateDriver Plug-in");
    EXPECT_EQ(service.WaitForState(SERVICE_RUNNING), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_NE(service.ProcessId(), firstPid) << "stopped and started again: a new service process";

    // The tray application that the plug-in started.
    for (DWORD pid : RunningProcessIds(kTrayExeName)) EndProcessById(pid);
}

}  // namespace
}  // namespace zq::test
