#include "launch/app_runner.h"

namespace zq {

WString LowerCaseCommandLine(const WString& commandLine) { return ToLowerAscii(commandLine); }

int RunApplication(LauncherProcess& process, WString commandLine) {
    CLogFile& log = process.g_logFile;
    log.LogMessage(LOG_LOW, L"--> Enter RunApplication( %s)", commandLine);
    process.theApp.copyDialog.settingsFilePath = process.SettingsFilePath;

    const WString lowered = LowerCaseCommandLine(commandLine);
    log.LogMessage(LOG_LOW, L"Call CreateProcess with %s", lowered);
    ProcessStart started = process.platform.processes.Start(lowered);
    if (!started.process) return static_cast<int>(started.error);
    // A failed wait is taken as the end of the process.
    started.process->WaitForEnd();
    started.process.reset();
    log.LogMessage(LOG_LOW, L"<-- Exit RunApplication()");
    return 1;
}

}  // namespace zq
