#include "run/run_report.h"

#include <algorithm>

namespace zq {

bool IsSuccessfulProgramExit(std::uint32_t exitCode) {
    return exitCode == 0 || exitCode == static_cast<std::uint32_t>(kExitRestartNeeded) ||
           exitCode == kProgramRestartRequired || exitCode == static_cast<std::uint32_t>(kExitRestartStarted);
}

namespace {

bool AnyProgramEndedWith(const RunReport& report, std::initializer_list<std::uint32_t> codes) {
    return std::any_of(report.programs.begin(), report.programs.end(), [&](const ProgramRun& program) {
        return program.exitCode && std::find(codes.begin(), codes.end(), *program.exitCode) != codes.end();
    });
}

// A program that did not start, whose end could not be read, or that ended
// with a code other than one of success.
bool AnyProgramFailed(const RunReport& report) {
    return std::any_of(report.programs.begin(), report.programs.end(), [](const ProgramRun& program) {
        return !program.started || !program.exitCode || !IsSuccessfulProgramExit(*program.exitCode);
    });
}

// Every printer the update took up must stand re-created: one restored from
// its record still has the old driver, and the others were not touched or
// are gone.
bool AnyPrinterNotRecreated(const std::vector<PrinterResult>& printers) {
    return std::any_of(printers.begin(), printers.end(),
                       [](const PrinterResult& printer) { return printer.outcome != PrinterOutcome::Recreated; });
}

}  // namespace

bool IsRestartNeeded(const RunReport& report) {
    return report.finishStepReached ||
           AnyProgramEndedWith(report, {static_cast<std::uint32_t>(kExitRestartNeeded), kProgramRestartRequired,
                                        static_cast<std::uint32_t>(kExitRestartStarted)});
}

bool IsRestartStarted(const RunReport& report) {
    return report.restartStarted || AnyProgramEndedWith(report, {static_cast<std::uint32_t>(kExitRestartStarted)});
}

int ManagedExitCode(const RunReport& report, const std::vector<PrinterResult>& printers) {
    switch (report.end) {
        case RunEnd::AnotherInstance: return kExitAnotherInstall;
        case RunEnd::UnsupportedWindows: return kExitUnsupportedPlatform;
        case RunEnd::DriverNotInstalled: return kExitNotInstalled;
        case RunEnd::Unfinished:
        case RunEnd::CurrentDirectoryUnreadable:
        case RunEnd::UnexpectedError: return kExitFailed;
        case RunEnd::Completed: break;
    }
    if (report.stepFailed || AnyProgramFailed(report) || AnyPrinterNotRecreated(printers)) return kExitFailed;
    if (IsRestartStarted(report)) return kExitRestartStarted;
    if (IsRestartNeeded(report)) return kExitRestartNeeded;
    return kExitSuccess;
}

int ExitCodeAfterResultFile(int exitCode, bool resultFileWritten) {
    if (resultFileWritten) return exitCode;
    const bool success = exitCode == kExitSuccess || exitCode == kExitRestartNeeded || exitCode == kExitRestartStarted;
    return success ? kExitResultNotWritten : exitCode;
}

std::string_view OutcomeWord(int exitCode) {
    switch (exitCode) {
        case kExitSuccess: return "success";
        case kExitRestartNeeded: return "pending";
        case kExitRestartStarted: return "restarting";
        case kExitAnotherInstall: return "busy";
        case kExitUnsupportedPlatform: return "unsupported";
        case kExitNotInstalled: return "nodriver";
        case kExitResultNotWritten: return "unreported";
        default: return "failed";
    }
}

}  // namespace zq
