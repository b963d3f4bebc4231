#include "app/entry.h"

#include <exception>

#include "app/application.h"
#include "app/init_instance.h"

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
        LogUnexpectedError(process.g_logFile, error.what());
    } catch (...) {
        LogUnexpectedError(process.g_logFile, "an exception of an unknown type");
    }
}

}  // namespace

LauncherProcess::LauncherProcess(Platform& machine)
    : platform(machine),
      theApp(machine, g_logFile),
      g_iniFile(machine, g_logFile),
      g_logFile(machine),
      fnIsWow64Process(machine.version.LookupIsWow64Process()) {}

int RunProgram(Platform& platform) {
    try {
        LauncherProcess process(platform);
        RunInitInstance(process);
    } catch (...) {
        // The process-wide objects could not be made: there is no log to
        // write to, and the program still ends normally.
    }
    // Callers must not read success or failure from the exit status.
    return 0;
}

}  // namespace zq
