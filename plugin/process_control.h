// Terminating and starting programs, stopping and starting services, and
// logging the system's text for an error.
#pragma once

#include "app/application.h"

namespace zq {

inline constexpr int kServiceStop = 1;
inline constexpr int kServiceStart = 3;

// Terminates the first running process of that executable name (compared
// without regard to case). 1 when one was found, whether or not it could
// be terminated; 0 when none was found or no snapshot could be taken.
int KillProcess(LauncherProcess& process, const WString& executableName);

// Starts a command line; with wait != 0 waits for its end. Without waiting:
// 1 when started, else 0. With waiting: 0 once ended, else the error code
// of the failed wait. A non-empty applicationPath is started by that path,
// without the search that an unquoted command line gets.
int RunProcess(LauncherProcess& process, const WString& commandLine, int wait, const WString& applicationPath = {});

// Action 1 stops the service, 3 starts it, anything else asks nothing.
// 0 when accepted, else the system error code, whose text is logged.
ErrorCode ChangeServiceState(LauncherProcess& process, const WString& serviceName, int action);

// Logs "## " and the system's text for the error that the failed call
// reported (its line end included), and returns that code.
ErrorCode LogLastError(LauncherProcess& process, ErrorCode lastError);

}  // namespace zq
