// IServices against the prefix's service control manager.
#include <gtest/gtest.h>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_test_support.h"

namespace zq::win32 {
namespace {

constexpr ErrorCode kErrorServiceDoesNotExist = 1060;
constexpr ErrorCode kErrorServiceNotActive = 1062;

TEST(Win32Services, ManagerOpens) {
    Win32Services services;
    const ServiceManagerOpen manager = services.OpenManager();
    EXPECT_NE(manager.manager, nullptr);
    EXPECT_EQ(manager.error, 0u);
}

TEST(Win32Services, MissingServiceGives1060) {
    Win32Services services;
    ServiceManagerOpen manager = services.OpenManager();
    ASSERT_NE(manager.manager, nullptr);
    const ServiceOpen open = manager.manager->OpenService(L"zqdevsvc");
    EXPECT_EQ(open.service, nullptr);
    EXPECT_EQ(open.error, kErrorServiceDoesNotExist);
}

// A service of the test's own, installed but never started: its program is
// no service at all, so it is never started here.
class Win32InstalledService : public ::testing::Test {
protected:
    void SetUp() override {
        manager_.Reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(manager_);
        RemoveTestService();
        const WString binary = L"\"" + test::kTestChildPath + L"\" wait";
        ScopedServiceHandle created(::CreateServiceW(
            manager_.Get(), kName, kName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
            SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(created) << "error " << ::GetLastError();
    }
    void TearDown() override { RemoveTestService(); }

    void RemoveTestService() {
        ScopedServiceHandle service(::OpenServiceW(manager_.Get(), kName, DELETE));
        if (service) ::DeleteService(service.Get());
    }

    static constexpr const wchar_t* kName = L"ZqTestSvc";
    ScopedServiceHandle manager_;
};

TEST_F(Win32InstalledService, OpensByNameInAnyCase) {
    Win32Services services;
    ServiceManagerOpen manager = services.OpenManager();
    ASSERT_NE(manager.manager, nullptr);
    const ServiceOpen open = manager.manager->OpenService(L"zqtestsvc");
    EXPECT_NE(open.service, nullptr);
    EXPECT_EQ(open.error, 0u);
}

TEST_F(Win32InstalledService, StoppingAStoppedServiceIsRefused) {
    Win32Services services;
    ServiceManagerOpen manager = services.OpenManager();
    ASSERT_NE(manager.manager, nullptr);
    ServiceOpen open = manager.manager->OpenService(kName);
    ASSERT_NE(open.service, nullptr) << "error " << open.error;
    EXPECT_EQ(open.service->Stop(), kErrorServiceNotActive);
}

TEST_F(Win32InstalledService, ANeverStartedServiceReportsStopped) {
    Win32Services services;
    ServiceManagerOpen manager = services.OpenManager();
    ASSERT_NE(manager.manager, nullptr);
    ServiceOpen open = manager.manager->OpenService(kName);
    ASSERT_NE(open.service, nullptr) << "error " << open.error;
    EXPECT_EQ(open.service->CurrentState(), std::optional<std::uint32_t>(kServiceStopped));
}

}  // namespace
}  // namespace zq::win32
