#include "plugin/process_control.h"

namespace zq {

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
        if (processes.Terminate(entry.pid))
            log.LogMessage(LOG_MEDIUM, L"Process Killed Successfully : %s", executableName);
        else
            log.LogMessage(LOG_MEDIUM, L"Failed to Kill Process : %s", executableName);
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
    // No wait for the service to reach its new state.
    if (action == kServiceStop)
        process.g_logFile.LogMessage(LOG_MEDIUM, L"** %s Service stopped successfully", serviceName);
    return 0;
}

ErrorCode LogLastError(LauncherProcess& process, ErrorCode lastError) {
    process.g_logFile.LogMessage(LOG_MEDIUM, L"## %s", process.platform.environment.SystemMessage(lastError));
    return lastError;
}

}  // namespace zq
