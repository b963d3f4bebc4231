#include "platform/win32/win32_platform.h"

namespace zq::win32 {

namespace {

ErrorCode ResultOf(BOOL succeeded) { return succeeded ? 0 : ::GetLastError(); }

class Win32Service final : public IService {
public:
    explicit Win32Service(SC_HANDLE service) : service_(service) {}

    ErrorCode Stop() override {
        SERVICE_STATUS status{};
        // Returns once the control manager has the request; the service may
        // still be stopping.
        return ResultOf(::ControlService(service_.Get(), SERVICE_CONTROL_STOP, &status));
    }

    ErrorCode Start() override { return ResultOf(::StartServiceW(service_.Get(), 0, nullptr)); }

    // QueryServiceStatus rather than its Ex form: Windows 2000 and XP have it,
    // and the state is all the launcher needs.
    std::optional<std::uint32_t> CurrentState() override {
        SERVICE_STATUS status{};
        if (!::QueryServiceStatus(service_.Get(), &status)) return std::nullopt;
        return status.dwCurrentState;
    }

private:
    ScopedServiceHandle service_;
};

class Win32ServiceManager final : public IServiceManager {
public:
    explicit Win32ServiceManager(SC_HANDLE manager) : manager_(manager) {}

    ServiceOpen OpenService(const WString& name) override {
        SC_HANDLE service = ::OpenServiceW(manager_.Get(), name.c_str(), SERVICE_ALL_ACCESS);
        if (service == nullptr) return ServiceOpen{nullptr, ::GetLastError()};
        return ServiceOpen{std::make_unique<Win32Service>(service), 0};
    }

private:
    ScopedServiceHandle manager_;
};

}  // namespace

ServiceManagerOpen Win32Services::OpenManager() {
    SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return ServiceManagerOpen{nullptr, ::GetLastError()};
    return ServiceManagerOpen{std::make_unique<Win32ServiceManager>(manager), 0};
}

}  // namespace zq::win32
