#include "app/entry.h"

#include <exception>

#include "app/init_instance.h"
#include "run/application.h"
#include "run/result_file.h"

namespace zq {

namespace {

// An exception's text as the log writes it back: each byte as the
// character of the same value, so the line holds the very bytes of what()
// (in the C runtime's code page on Windows).
WString ExceptionText(const char* what) {
    WString text;
    for (const char* at = what; *at != '\0'; ++at) text.push_back(static_cast<unsigned char>(*at));
    return text;
}

void LogUnexpectedError(CLogFile& log, const char* what) noexcept {
    try {
        log.LogMessage(LOG_HIGH, L"## Unexpected error : %s", ExceptionText(what));
    } catch (...) {
        // The line itself found no memory: the run ends without it.
    }
}

// InitInstance, with every exception that would end the program caught
// here: the run ends as any other run ends, with a log line that says why.
// (An allocation that finds no free block of its size, in a 32-bit
// process, is the likely one.)
void RunInitInstance(LauncherProcess& process) {
    try {
        InitInstance(process);
    } catch (const std::exception& error) {
        process.Report.end = RunEnd::UnexpectedError;
        LogUnexpectedError(process.g_logFile, error.what());
    } catch (...) {
        process.Report.end = RunEnd::UnexpectedError;
        LogUnexpectedError(process.g_logFile, "an exception of an unknown type");
    }
}

// The run's code, with the result file written on the way (every exit
// path of InitInstance comes through here).
ProgramEnd EndOfRun(LauncherProcess& process) {
    ProgramEnd end;
    end.managed = process.Managed.IsManaged();
    end.exitCode = ManagedExitCode(process.Report, process.PrinterResults);
    end.exitCode = ExitCodeAfterResultFile(end.exitCode, WriteResultFileOnce(process, end.exitCode));
    end.outcome = OutcomeWord(end.exitCode);
    end.exitStatus = end.managed ? end.exitCode : 0;
    return end;
}

}  // namespace

LauncherProcess::LauncherProcess(Platform& machine)
    : platform(machine), theApp(machine, g_logFile), g_iniFile(machine, g_logFile), g_logFile(machine),
      fnIsWow64Process(machine.version.LookupIsWow64Process()) {}

ProgramEnd RunLauncherProgram(Platform& platform) {
    try {
        LauncherProcess process(platform);
        process.Report.startTime = platform.environment.Now();
        RunInitInstance(process);
        return EndOfRun(process);
    } catch (...) {
        // The process-wide objects could not be made: there is no log to
        // write to, nor a command line read, and the program still ends
        // normally.
    }
    ProgramEnd end;
    end.exitCode = kExitFailed;
    end.outcome = OutcomeWord(end.exitCode);
    return end;
}

int RunProgram(Platform& platform) { return RunLauncherProgram(platform).exitStatus; }

}  // namespace zq
