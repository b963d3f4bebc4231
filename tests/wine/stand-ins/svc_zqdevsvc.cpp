// A minimal real Windows service, installed by the tests as "zqdevsvc":
// once started it reports RUNNING; on the stop control it reports STOPPED
// from the control handler itself (ControlService comes back with the
// service already stopped), or, given DELAY_MS, STOP_PENDING, and STOPPED
// from its own thread that much later, as a service that must finish its
// work first does: the control manager refuses a start (1056) until then.
//
//   svc_zqdevsvc.exe [DELAY_MS]
#include <windows.h>

#include <cstdlib>

namespace {

wchar_t serviceName[] = L"zqdevsvc";
SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;  // lives as long as the process
DWORD stopDelayMs = 0;

void ReportState(DWORD state) {
    const bool pending = state == SERVICE_STOP_PENDING;
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS,
                          state,
                          state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0u,
                          NO_ERROR,
                          0,
                          pending ? 1u : 0u,
                          pending ? stopDelayMs + 1000 : 0u};
    ::SetServiceStatus(statusHandle, &status);
}

void WINAPI HandleControl(DWORD control) {
    if (control != SERVICE_CONTROL_STOP) return;
    ReportState(stopDelayMs > 0 ? SERVICE_STOP_PENDING : SERVICE_STOPPED);
    ::SetEvent(stopRequested);
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    statusHandle = ::RegisterServiceCtrlHandlerW(serviceName, HandleControl);
    if (statusHandle == nullptr) return;
    ReportState(SERVICE_RUNNING);
    ::WaitForSingleObject(stopRequested, INFINITE);
    if (stopDelayMs == 0) return;
    ::Sleep(stopDelayMs);
    ReportState(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2) stopDelayMs = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    stopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SERVICE_TABLE_ENTRYW services[] = {{serviceName, ServiceMain}, {nullptr, nullptr}};
    // Returns once the service has stopped.
    return stopRequested != nullptr && ::StartServiceCtrlDispatcherW(services) ? 0 : 2;
}
