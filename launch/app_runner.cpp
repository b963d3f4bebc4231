#include "launch/app_runner.h"

#include "plugin/update_driver_plugin.h"

namespace zq {

WString LowerCaseCommandLine(const WString& commandLine) { return ToLowerAscii(commandLine); }

int RunApplication(LauncherProcess& process, WString commandLine) {
    CLogFile& log = process.g_logFile;
    log.LogMessage(LOG_LOW, L"--> Enter RunApplication( %s)", commandLine);
    process.theApp.copyDialog.settingsFilePath = process.SettingsFilePath;

    CUpdateDriverPlugin plugin(process.SettingsFilePath);

    // The plug-in marker is looked for after lowering, so in effect in any
    // letter case; the started program receives its arguments lowered.
    const WString lowered = LowerCaseCommandLine(commandLine);
    if (Contains(lowered, kPluginMarker)) {
        RunUpdateDriver(process, plugin, lowered);
        return 1;
    }
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
