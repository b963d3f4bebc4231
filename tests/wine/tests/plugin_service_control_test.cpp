// ChangeServiceState on the real control manager: a real service
// "zqdevsvc" stopped and started, its state read back from the system. In
// a prefix of its own ("services"), where services of one's own start.
#include <gtest/gtest.h>

#include "plugin/process_control.h"
#include "tests/wine/support/wine_test_support.h"

namespace zq::test {
namespace {

constexpr DWORD kErrorServiceAlreadyRunning = 1056;
constexpr DWORD kErrorServiceDoesNotExist = 1060;
constexpr DWORD kErrorServiceNotActive = 1062;

// The call's result and the state it leaves, read back from the control
// manager (the log lines are the host tests' affair).
TEST(PluginServiceControl, StopsAndStartsTheRealService) {
    const struct {
        const char* what;
        bool installed, startFirst;
        int action;
        ErrorCode result;
        DWORD stateAfter;
    } cases[] = {
        {"stop a running service", true, true, kServiceStop, 0, SERVICE_STOPPED},
        {"stop a stopped service", true, false, kServiceStop, kErrorServiceNotActive, SERVICE_STOPPED},
        {"start a stopped service", true, false, kServiceStart, 0, SERVICE_RUNNING},
        {"start a running service", true, true, kServiceStart, kErrorServiceAlreadyRunning, SERVICE_RUNNING},
        {"action 2, running", true, true, 2, 0, SERVICE_RUNNING},
        {"action 2, stopped", true, false, 2, 0, SERVICE_STOPPED},
        {"stop a missing service", false, false, kServiceStop, kErrorServiceDoesNotExist, 0},
        {"start a missing service", false, false, kServiceStart, kErrorServiceDoesNotExist, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<InstalledDevService> service;
        if (c.installed) {
            ASSERT_TRUE(service.emplace().IsInstalled());
        }
        const DWORD pidBefore = c.startFirst && service->StartAndWaitUntilRunning() ? service->ProcessId() : 0;
        ASSERT_EQ(pidBefore != 0, c.startFirst);
        LauncherUnderTest launcher(L"plugin-service");

        EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", c.action), c.result);
        if (!service) continue;
        // The call does not wait for the new state; the test does.
        EXPECT_EQ(service->WaitForState(c.stateAfter), c.stateAfter);
        if (c.startFirst && c.stateAfter == SERVICE_RUNNING) {
            EXPECT_EQ(service->ProcessId(), pidBefore) << "the same service process still runs";
        }
    }
}

// A service that takes 2 s to stop: the control manager refuses a start
// until it has stopped, which the plug-in waits for.
TEST(PluginServiceControl, AStartWhileTheServiceStopsWaitsForTheStop) {
    InstalledDevService service(2000);
    ASSERT_TRUE(service.IsInstalled());
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    const DWORD firstPid = service.ProcessId();
    LauncherUnderTest launcher(L"plugin-service-slow");

    EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", kServiceStop), 0u);
    EXPECT_EQ(service.CurrentState(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    win32::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    win32::ScopedServiceHandle raw(::OpenServiceW(manager.Get(), L"zqdevsvc", SERVICE_START));
    ASSERT_TRUE(raw);
    EXPECT_FALSE(::StartServiceW(raw.Get(), 0, nullptr));
    EXPECT_EQ(::GetLastError(), kErrorServiceAlreadyRunning);

    EXPECT_TRUE(WaitWhileServiceStopping(launcher.process(), L"zqdevsvc"));
    EXPECT_EQ(service.CurrentState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(ChangeServiceState(launcher.process(), L"zqdevsvc", kServiceStart), 0u);
    EXPECT_EQ(service.WaitForState(SERVICE_RUNNING), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_NE(service.ProcessId(), firstPid) << "a new service process";
    EXPECT_EQ(launcher.LogMessages(), std::vector<std::string>{"** zqdevsvc Service stopped successfully"});
}

}  // namespace
}  // namespace zq::test
