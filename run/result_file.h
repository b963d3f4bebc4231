// The result file of a managed run ("-result PATH"): what the run did, as
// JSON in UTF-8, for the scripts of the administrators who deploy a package
// to many computers. Its JSON Schema is docs/result-file.schema.json; an
// example:
//
//   {
//     "formatVersion": 1,
//     "exitCode": 3010,
//     "outcome": "pending",
//     "restartNeeded": true,
//     "restartStarted": false,
//     "launcherVersion": "1.0.0.1",
//     "switches": {"quiet": true, "noRestart": true},
//     "settingsFile": "C:\\Package\\autorun.inf",
//     "logFile": "C:\\Windows\\Temp\\zqmerlesetup000.log",
//     "startTime": "2009-03-07T09:05:02",
//     "endTime": "2009-03-07T09:05:10",
//     "osEntry": "501",
//     "driver": {"keyword": "ZQ Merle 5400", "infFile": "C:\\Windows\\inf\\oem1.inf"},
//     "programs": [{"commandLine": "c:\\package\\setup\\zqprep.exe /q", "started": true,
//                   "startError": 0, "exitCode": 0}],
//     "printers": [{"name": "Office", "port": "IP_10.0.0.5", "driver": "ZQ Merle 5400 Series",
//                   "outcome": "re-created"}],
//     "messages": [{"number": 8, "text": "The ZQ Merle printer driver is not installed."}]
//   }
//
// Times are the computer's local time. "osEntry" and "driver" are null when
// the run ended before it found them.
#pragma once

#include <string>

#include "run/application.h"

namespace zq {

inline constexpr int kResultFormatVersion = 1;
// How many temporary names beside the result file are tried.
inline constexpr int kResultTemporaryNames = 100;

// "2009-03-07T09:05:02".
WString IsoLocalTime(const LocalTime& time);

// The file's text for a run that ends with `exitCode` at `endTime`.
std::string ResultFileJson(const LauncherProcess& process, int exitCode, const LocalTime& endTime);

// PATH.0.tmp ... PATH.99.tmp: the temporary names, in the result file's own
// folder so that the move is a rename on one volume.
WString TemporaryNameBeside(const WString& path, int number);

// Writes the bytes to a new temporary file beside `path` and moves it over
// `path`, so that a reader finds the old file or the whole new one, never a
// part. 0, or the system error code of the step that failed (the temporary
// file is removed again then).
ErrorCode WriteFileReplacing(IFiles& files, const WString& path, const std::string& bytes);

// Writes the result file when the command line asked for one and this run
// has not written it yet (it is written once: before a restart is
// requested, else at the end). Logs "## Result file not written : %s" at
// level 1 when it cannot be written. Whether the file stands written (true
// when none was asked for).
bool WriteResultFileOnce(LauncherProcess& process, int exitCode);

// Called right before the launcher asks Windows to restart: the restart
// counts as started, and the result file is written now, while the run can
// still write it.
void BeforeRestart(LauncherProcess& process);

}  // namespace zq
