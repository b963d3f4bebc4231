// A minimal real Windows service, installed by the plug-in tests under the
// name "zqdevsvc" in the Wine prefix: once started it reports RUNNING, and
// on the stop control it reports STOPPED and its process ends.
//
// STOPPED is reported from the control handler itself, before the handler
// returns: ControlService then comes back to its caller with the service
// already stopped, and the process ends right after. The plug-in starts
// the service again without waiting for the stop to finish, and the
// control manager refuses a start (1056) while the old process still runs.
#include <windows.h>

namespace {

wchar_t serviceName[] = L"zqdevsvc";
SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;

void ReportState(DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = NO_ERROR;
    ::SetServiceStatus(statusHandle, &status);
}

void WINAPI HandleControl(DWORD control) {
    if (control != SERVICE_CONTROL_STOP) return;
    ReportState(SERVICE_STOPPED);
    ::SetEvent(stopRequested);
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    statusHandle = ::RegisterServiceCtrlHandlerW(serviceName, HandleControl);
    if (statusHandle == nullptr) return;
    ReportState(SERVICE_RUNNING);
    ::WaitForSingleObject(stopRequested, INFINITE);
}

}  // namespace

int main() {
    stopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stopRequested == nullptr) return 1;
    SERVICE_TABLE_ENTRYW services[] = {{serviceName, ServiceMain}, {nullptr, nullptr}};
    // Returns once the service has stopped.
    return ::StartServiceCtrlDispatcherW(services) ? 0 : 2;
}
