// What a run did, kept as it happens, for the exit code and the result file
// of a managed run: how the run ended, the programs it started, the
// messages it logged instead of showing, the restart.
//
// A managed run is one whose command line holds "-quiet", "-norestart" or
// "-result PATH". It ends with a Windows Installer code, the one language
// that every deployment engine (Intune, Configuration Manager, PDQ Deploy,
// winget) reads:
//
//   3010  the run completed and needs a restart that it did not start
//   1641  the run completed and the restart was started (by the launcher,
//         or by a program that ended with 1641)
//   1618  another instance is running
//   1633  no os_list entry fits this Windows (message 1)
//   1605  the driver to refresh is not installed (message 8)
//   1603  anything failed (below)
//   1622  the result file could not be written (in place of a success code)
//
// An interactive run (none of the three switches) ends with 0 whatever
// happened, as it always has.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "run/printer_outcome.h"

namespace zq {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailed = 1603;               // ERROR_INSTALL_FAILURE
inline constexpr int kExitNotInstalled = 1605;         // ERROR_UNKNOWN_PRODUCT
inline constexpr int kExitAnotherInstall = 1618;       // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr int kExitResultNotWritten = 1622;     // ERROR_INSTALL_LOG_FAILURE
inline constexpr int kExitUnsupportedPlatform = 1633;  // ERROR_INSTALL_PLATFORM_UNSUPPORTED
inline constexpr int kExitRestartStarted = 1641;       // ERROR_SUCCESS_REBOOT_INITIATED
inline constexpr int kExitRestartNeeded = 3010;        // ERROR_SUCCESS_REBOOT_REQUIRED
// A program that ends with ERROR_SUCCESS_RESTART_REQUIRED has done its work too.
inline constexpr std::uint32_t kProgramRestartRequired = 3011;

// The three switches of a managed run.
struct ManagedSwitches {
    bool quiet = false;                 // "-quiet": no window of any kind
    bool noRestart = false;             // "-norestart": never restart the computer
    std::optional<WString> resultPath;  // "-result PATH"

    bool IsManaged() const { return quiet || noRestart || resultPath.has_value(); }
};

// Where the run ended.
enum class RunEnd {
    Unfinished,       // nothing ended it yet: it counts as failed
    Completed,        // the package's section ran to the finish step
    AnotherInstance,  // the single-instance test refused the run
    CurrentDirectoryUnreadable,
    UnsupportedWindows,  // message 1
    DriverNotInstalled,  // message 8
    UnexpectedError,     // an exception ended the run at the top
};

struct ProgramRun {
    WString commandLine;  // as the program received it (lower-cased)
    bool started = false;
    ErrorCode startError = 0;               // CreateProcess's error when not started
    std::optional<std::uint32_t> exitCode;  // missing when not started or not readable
};

struct LoggedMessage {
    int number = 0;
    WString text;  // as the box would have shown it
};

struct RunReport {
    RunEnd end = RunEnd::Unfinished;
    LocalTime startTime;
    std::optional<WString> osEntry;                  // the os_list entry that fitted
    std::optional<WString> keyword, keywordInfFile;  // the magic keyword found, and where
    std::vector<ProgramRun> programs;
    std::vector<LoggedMessage> messages;  // logged instead of shown ("-quiet")
    bool stepFailed = false;              // an exception ended a program entry or the section
    bool finishStepReached = false;       // the section ran to its finish screen (shown or not)
    bool restartStarted = false;          // the launcher asked Windows to restart
};

// Whether a program's exit code is one of success: 0, 3010, 3011 or 1641.
bool IsSuccessfulProgramExit(std::uint32_t exitCode);

// Whether the run needs a restart: it reached its finish step (which always
// offers one), or a program asked for one.
bool IsRestartNeeded(const RunReport& report);
// Whether a restart was started: by the launcher, or by a program (1641).
bool IsRestartStarted(const RunReport& report);

// The exit code of a managed run from what it did, before the result file
// is written (the table above, without 1622).
int ManagedExitCode(const RunReport& report, const std::vector<PrinterResult>& printers);

// 1622 in place of a success code when the result file could not be
// written; a failure code stays, since it says more about the run.
int ExitCodeAfterResultFile(int exitCode, bool resultFileWritten);

// One word for an exit code: "success" (0), "pending" (3010), "restarting"
// (1641), "busy" (1618), "unsupported" (1633), "nodriver" (1605),
// "unreported" (1622), "failed" (1603 and anything else).
std::string_view OutcomeWord(int exitCode);

}  // namespace zq
