// A minimal real Windows service, installed by the plug-in tests under the
// name "zqdevsvc" in the Wine prefix: once started it reports RUNNING, and
// on the stop control it reports STOPPED and its process ends.
//
//   svc_zqdevsvc.exe              stops at once
//   svc_zqdevsvc.exe DELAY_MS     takes DELAY_MS milliseconds to stop
//
// Without a delay, STOPPED is reported from the control handler itself,
// before the handler returns: ControlService then comes back to its caller
// with the service already stopped, and the process ends right after.
// With a delay, the handler reports STOP_PENDING and the service's own
// thread reports STOPPED once the delay has passed, as a service that must
// finish its work first does; the control manager refuses a start (1056)
// until then.
#include <windows.h>

#include <cstdlib>

namespace {

wchar_t serviceName[] = L"zqdevsvc";
SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;
DWORD stopDelayMs = 0;

void ReportState(DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = NO_ERROR;
    if (state == SERVICE_STOP_PENDING) {
        status.dwCheckPoint = 1;
        status.dwWaitHint = stopDelayMs + 1000;
    }
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
    if (stopDelayMs > 0) {
        ::Sleep(stopDelayMs);
        ReportState(SERVICE_STOPPED);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2) stopDelayMs = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    stopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stopRequested == nullptr) return 1;
    SERVICE_TABLE_ENTRYW services[] = {{serviceName, ServiceMain}, {nullptr, nullptr}};
    // Returns once the service has stopped.
    return ::StartServiceCtrlDispatcherW(services) ? 0 : 2;
}
