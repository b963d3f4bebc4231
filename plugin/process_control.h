// Terminating and starting programs, stopping and starting services, and
// logging the system's text for an error.
#pragma once

#include "run/application.h"

namespace zq {

inline constexpr int kServiceStop = 1;
inline constexpr int kServiceStart = 3;

// Terminates the first running process of that executable name (compared
// without regard to case). 1 when one was found, whether or not it could
// be terminated; 0 when none was found or no snapshot could be taken.
// The process is terminated only while a fresh snapshot, taken with the
// process held open, still lists its id under that name: an id that has
// passed to another process since the first snapshot is left alone, and
// "## Process no longer running : %s" is logged instead.
int KillProcess(LauncherProcess& process, const WString& executableName);

// Starts a command line; with wait != 0 waits for its end. Without waiting:
// 1 when started, else 0. With waiting: 0 once ended, else the error code
// of the failed wait. A non-empty applicationPath is started by that path,
// without the search that an unquoted command line gets.
int RunProcess(LauncherProcess& process, const WString& commandLine, int wait, const WString& applicationPath = {});

// Action 1 stops the service, 3 starts it, anything else asks nothing.
// 0 when accepted, else the system error code, whose text is logged.
ErrorCode ChangeServiceState(LauncherProcess& process, const WString& serviceName, int action);

// How long the plug-in waits for a stopping service, and how often it asks.
inline constexpr unsigned kServiceStopTimeoutMs = 30000;
inline constexpr unsigned kServicePollMs = 250;

// Polls the service's state until it reports stopped, at most
// kServiceStopTimeoutMs. True when it stopped, or when its state cannot be
// read (the control manager or the service cannot be opened: the stop or
// start request has logged why); false after a time-out, which logs
// "## Service did not stop in time : %s".
bool WaitUntilServiceStopped(LauncherProcess& process, const WString& serviceName);
// The same, but waits only while the service reports stop-pending: one that
// is running or stopped is answered at once.
bool WaitWhileServiceStopping(LauncherProcess& process, const WString& serviceName);

// Logs "## " and the system's text for the error that the failed call
// reported (its line end included), and returns that code.
ErrorCode LogLastError(LauncherProcess& process, ErrorCode lastError);

}  // namespace zq
