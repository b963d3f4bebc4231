// ChangeServiceState on the real control manager: a real service
// "zqdevsvc" stopped and started, its state read back from the system.
//
// Runs in a prefix of its own ("services" in CMakeLists.txt), where
// services of one's own can be started.
#include <gtest/gtest.h>

#include "plugin/process_control.h"
#include "tests/wine/plugin_test_support.h"

namespace zq::test {
namespace {

constexpr DWORD kErrorServiceAlreadyRunning = 1056;
constexpr DWORD kErrorServiceDoesNotExist = 1060;
constexpr DWORD kErrorServiceNotActive = 1062;

std::string ErrorLine(DWORD code) { return AsLogged(L"## " + SystemText(code)); }

struct ServiceCase {
    const char* what;
    bool startFirst;  // the test starts the service before the call
    int action;
    ErrorCode result;
    std::vector<std::string> log;  // the whole log of the call
    DWORD stateAfter;
};

TEST(PluginServiceControl, StopsAndStartsTheRealService) {
    const std::string stopped = "** zqdevsvc Service stopped successfully";
    const ServiceCase cases[] = {
        {"stop a running service", true, kServiceStop, 0, {stopped}, SERVICE_STOPPED},
        {"stop a stopped service",
         false,
         kServiceStop,
         kErrorServiceNotActive,
         {ErrorLine(kErrorServiceNotActive)},
         SERVICE_STOPPED},
        {"start a stopped service", false, kServiceStart, 0, {}, SERVICE_RUNNING},
        {"start a running service",
         true,
         kServiceStart,
         kErrorServiceAlreadyRunning,
         {ErrorLine(kErrorServiceAlreadyRunning)},
         SERVICE_RUNNING},
        {"action 2 asks nothing of a running service", true, 2, 0, {}, SERVICE_RUNNING},
        {"action 2 asks nothing of a stopped service", false, 2, 0, {}, SERVICE_STOPPED},
    };
    int row = 0;
    for (const ServiceCase& c : cases) {
        SCOPED_TRACE(c.what);
        InstalledDevService service;
        ASSERT_TRUE(service.IsInstalled());
        DWORD pidBefore = 0;
        if (c.startFirst) {
            ASSERT_TRUE(service.StartAndWaitUntilRunning());
            pidBefore = service.ProcessId();
            ASSERT_NE(pidBefore, 0u);
        }
        LauncherUnderTest launcher(L"plugin-service-" + std::to_wstring(row++));

        EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", c.action), c.result);
        EXPECT_EQ(launcher.LogMessages(), c.log);

        // The call does not wait for the new state; the test does.
        EXPECT_EQ(service.WaitForState(c.stateAfter), c.stateAfter);
        if (c.startFirst && c.stateAfter == SERVICE_RUNNING) {
            EXPECT_EQ(service.ProcessId(), pidBefore) << "the same service process still runs";
        }
    }
}

TEST(PluginServiceControl, StopThenStartRunsTheServiceAgain) {
    InstalledDevService service;
    ASSERT_TRUE(service.IsInstalled());
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    const DWORD firstPid = service.ProcessId();
    LauncherUnderTest launcher(L"plugin-service-restart");

    EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", kServiceStop), 0u);
    EXPECT_EQ(service.WaitForState(SERVICE_STOPPED), static_cast<DWORD>(SERVICE_STOPPED));
    // The old process must be gone before the manager accepts a new start.
    win32::ScopedHandle oldProcess(::OpenProcess(SYNCHRONIZE, FALSE, firstPid));
    if (oldProcess) ::WaitForSingleObject(oldProcess.Get(), 30000);

    EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", kServiceStart), 0u);
    EXPECT_EQ(service.WaitForState(SERVICE_RUNNING), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_NE(service.ProcessId(), firstPid) << "a new service process";
    EXPECT_EQ(launcher.LogMessages(), std::vector<std::string>{"** zqdevsvc Service stopped successfully"});
}

TEST(PluginServiceControl, AStartWhileTheServiceStopsWaitsForTheStop) {
    InstalledDevService service(2000);
    ASSERT_TRUE(service.IsInstalled());
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    LauncherUnderTest launcher(L"plugin-service-slow");

    EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", kServiceStop), 0u);
    EXPECT_EQ(service.CurrentState(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    // What the wait avoids: the control manager refuses a start now.
    win32::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    ASSERT_TRUE(manager);
    win32::ScopedServiceHandle raw(::OpenServiceW(manager.Get(), L"zqdevsvc", SERVICE_START));
    ASSERT_TRUE(raw);
    EXPECT_FALSE(::StartServiceW(raw.Get(), 0, nullptr));
    EXPECT_EQ(::GetLastError(), kErrorServiceAlreadyRunning);

    EXPECT_TRUE(WaitWhileServiceStopping(launcher.process(), L"zqdevsvc"));
    EXPECT_EQ(service.CurrentState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", kServiceStart), 0u);
    EXPECT_EQ(service.WaitForState(SERVICE_RUNNING), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(launcher.LogMessages(), std::vector<std::string>{"** zqdevsvc Service stopped successfully"});
}

TEST(PluginServiceControl, MissingServiceLogsTheSystemText) {
    LauncherUnderTest launcher(L"plugin-service-missing");
    EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", kServiceStop), kErrorServiceDoesNotExist);
    EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", kServiceStart), kErrorServiceDoesNotExist);
    const std::string line = ErrorLine(kErrorServiceDoesNotExist);
    EXPECT_EQ(launcher.LogMessages(), (std::vector<std::string>{line, line}));
}

TEST(PluginServiceControl, ErrorTextKeepsItsLineEnd) {
    // The "## " line carries the system's text as it comes, its CR LF
    // included; Wine's texts differ from Windows', so the text is asked of
    // the system.
    const WString text = SystemText(kErrorServiceNotActive);
    ASSERT_GE(text.size(), 2u);
    ASSERT_EQ(text.substr(text.size() - 2), L"\r\n");
    InstalledDevService service;
    ASSERT_TRUE(service.IsInstalled());
    LauncherUnderTest launcher(L"plugin-service-text");
    EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", kServiceStop), kErrorServiceNotActive);
    const std::string bytes = ReadFileBytes(launcher.process().g_logFile.Path());
    EXPECT_NE(bytes.find("]## " + Narrow(text.substr(0, text.size() - 2)) + "\r\r\n\r\n"), std::string::npos)
        << "the text's CR LF, then the line's own end: " << bytes;
}

}  // namespace
}  // namespace zq::test
