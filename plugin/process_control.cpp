#include "plugin/process_control.h"

namespace zq {

namespace {

bool IsListedAs(const std::vector<ProcessEntry>& snapshot, std::uint32_t pid, const WString& executableName) {
    for (const ProcessEntry& entry : snapshot)
        if (entry.pid == pid) return EqualsIgnoringAsciiCase(entry.exeName, executableName);
    return false;
}

enum class KillOutcome { Killed, Failed, NoLongerRunning };

// A process id names a process only while that process runs: once it ends,
// Windows may give the id to a new process at any time. An open handle keeps
// the id from passing on, so the id is checked again only after the open.
KillOutcome KillIfStillNamed(IProcesses& processes, std::uint32_t pid, const WString& executableName) {
    std::unique_ptr<IOpenedProcess> opened = processes.OpenForTerminate(pid);
    if (!opened) return KillOutcome::Failed;
    std::optional<std::vector<ProcessEntry>> fresh = processes.Snapshot();
    // Without a fresh snapshot nothing confirms the id: leave it alone.
    if (!fresh) return KillOutcome::Failed;
    if (!IsListedAs(*fresh, pid, executableName)) return KillOutcome::NoLongerRunning;
    return opened->Terminate() ? KillOutcome::Killed : KillOutcome::Failed;
}

}  // namespace

int KillProcess(LauncherProcess& process, const WString& executableName) {
    IProcesses& processes = process.platform.processes;
    CLogFile& log = process.g_logFile;
    std::optional<std::vector<ProcessEntry>> snapshot = processes.Snapshot();
    if (!snapshot) {
        log.LogMessage(LOG_HIGH, L"CreateToolhelp32Snapshot Failed ");
        return 0;
    }
    for (const ProcessEntry& entry : *snapshot) {
        if (!EqualsIgnoringAsciiCase(entry.exeName, executableName)) continue;
        // Only the first: a second process of the same name keeps running.
        switch (KillIfStillNamed(processes, entry.pid, executableName)) {
            case KillOutcome::Killed:
                log.LogMessage(LOG_MEDIUM, L"Process Killed Successfully : %s", executableName);
                break;
            case KillOutcome::Failed: log.LogMessage(LOG_MEDIUM, L"Failed to Kill Process : %s", executableName); break;
            case KillOutcome::NoLongerRunning:
                log.LogMessage(LOG_MEDIUM, L"## Process no longer running : %s", executableName);
                break;
        }
        return 1;
    }
    return 0;
}

int RunProcess(LauncherProcess& process, const WString& commandLine, int wait, const WString& applicationPath) {
    ProcessStart started = process.platform.processes.Start(commandLine, applicationPath);
    int result = started.process ? 1 : 0;
    if (wait != 0) {
        // Waiting on a process that never started fails as a wait on no
        // handle does.
        result = static_cast<int>(started.process ? started.process->WaitForEnd() : kErrorInvalidHandle);
    }
    started.process.reset();
    process.g_logFile.LogMessage(LOG_MEDIUM, L"** Process : %s return with %d", commandLine, result);
    return result;
}

ErrorCode ChangeServiceState(LauncherProcess& process, const WString& serviceName, int action) {
    ServiceManagerOpen manager = process.platform.services.OpenManager();
    if (!manager.manager) return LogLastError(process, manager.error);
    ServiceOpen service = manager.manager->OpenService(serviceName);
    if (!service.service) return LogLastError(process, service.error);
    ErrorCode error = 0;
    if (action == kServiceStop) error = service.service->Stop();
    else if (action == kServiceStart) error = service.service->Start();
    else return 0;
    if (error != 0) return LogLastError(process, error);
    // The request only: RunUpdateDriver waits for the stop itself.
    if (action == kServiceStop)
        process.g_logFile.LogMessage(LOG_MEDIUM, L"** %s Service stopped successfully", serviceName);
    return 0;
}

namespace {

// Polls while the state read satisfies `keepWaiting`. The sleeps add up to
// the time-out; each poll costs a query besides, so the real wait is a
// little longer.
template <class Predicate>
bool WaitForService(LauncherProcess& process, const WString& serviceName, Predicate keepWaiting) {
    ServiceManagerOpen manager = process.platform.services.OpenManager();
    if (!manager.manager) return true;
    ServiceOpen service = manager.manager->OpenService(serviceName);
    if (!service.service) return true;
    for (unsigned waited = 0;; waited += kServicePollMs) {
        std::optional<std::uint32_t> state = service.service->CurrentState();
        if (!state || !keepWaiting(*state)) return true;
        if (waited >= kServiceStopTimeoutMs) break;
        process.platform.environment.Sleep(kServicePollMs);
    }
    process.g_logFile.LogMessage(LOG_MEDIUM, L"## Service did not stop in time : %s", serviceName);
    return false;
}

}  // namespace

bool WaitUntilServiceStopped(LauncherProcess& process, const WString& serviceName) {
    return WaitForService(process, serviceName, [](std::uint32_t state) { return state != kServiceStopped; });
}

bool WaitWhileServiceStopping(LauncherProcess& process, const WString& serviceName) {
    return WaitForService(process, serviceName, [](std::uint32_t state) { return state == kServiceStopPending; });
}

ErrorCode LogLastError(LauncherProcess& process, ErrorCode lastError) {
    process.g_logFile.LogMessage(LOG_MEDIUM, L"## %s", process.platform.environment.SystemMessage(lastError));
    return lastError;
}

}  // namespace zq
