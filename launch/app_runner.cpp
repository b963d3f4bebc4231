#include "launch/app_runner.h"

#include <exception>

#include "plugin/update_driver_plugin.h"

namespace zq {

namespace {
constexpr unsigned kCloseDelayMs = 200;
constexpr std::size_t kExceptionTextChars = 255;
}  // namespace

WString LowerCaseCommandLine(const WString& commandLine) { return ToLowerAscii(commandLine); }

ProgramEntry ReadProgramEntry(const WString& commandLine) {
    ProgramEntry entry;
    // The progress marker is looked for before lowering: case-sensitive.
    entry.copyDialogWanted = Contains(commandLine, kProgressMarker);
    // The plug-in marker is looked for after lowering, so in effect in any
    // letter case; the started program receives its arguments lowered.
    entry.lowered = LowerCaseCommandLine(commandLine);
    entry.runsPlugin = Contains(entry.lowered, kPluginMarker);
    return entry;
}

int RunApplication(LauncherProcess& process, const WString& commandLine) {
    CLogFile& log = process.g_logFile;
    log.LogMessage(LOG_LOW, L"--> Enter RunApplication( %s)", commandLine);
    try {
        CCopyDlg& copyDialog = process.theApp.copyDialog;
        copyDialog.settingsFilePath = process.SettingsFilePath;
        CUpdateDriverPlugin plugin(process.SettingsFilePath);
        const ProgramEntry entry = ReadProgramEntry(commandLine);
        const bool progressWanted = entry.copyDialogWanted;
        const WString& lowered = entry.lowered;
        if (entry.runsPlugin) {
            RunUpdateDriver(process, plugin, lowered);
            return 1;
        }

        log.LogMessage(LOG_LOW, L"Call CreateProcess with %s", lowered);
        ProcessStart started = process.platform.processes.Start(lowered);
        process.Report.programs.push_back(ProgramRun{lowered, started.process != nullptr, started.error, std::nullopt});
        if (!started.process) return static_cast<int>(started.error);
        // A "-quiet" run shows no window: the copy dialog is left out, and
        // with it the pause before its close.
        const bool dialogShown = progressWanted && !process.Managed.quiet;
        if (dialogShown) copyDialog.ShowOnProgressThread();
        // A failed wait is taken as the end of the process.
        (void)started.process->WaitForEnd();
        // What the program ended with tells a managed run whether it failed
        // or asked for a restart.
        std::uint32_t exitCode = 0;
        if (started.process->ExitCode(exitCode) == 0) process.Report.programs.back().exitCode = exitCode;
        started.process.reset();
        log.LogMessage(LOG_LOW, L"<-- Exit RunApplication()");
        if (dialogShown) {
            process.platform.environment.Sleep(kCloseDelayMs);
            copyDialog.Close();
        }
        return 1;
    } catch (const std::exception& error) {
        // What the string operations raise: a bad argument, exhausted memory.
        WString text = WidenAscii(error.what());
        if (text.size() > kExceptionTextChars) text.resize(kExceptionTextChars);
        log.LogMessage(LOG_HIGH, L"Exception in RunApplication() : %s", text);
        process.Report.stepFailed = true;
        return static_cast<int>(process.platform.environment.LastError());
    }
}

}  // namespace zq
