// The program as a whole, on whichever machine the platform describes.
#pragma once

#include <string>

#include "platform/platform.h"

namespace zq {

// How one run of the program ended.
struct ProgramEnd {
    int exitStatus = 0;    // the process's exit status
    bool managed = false;  // "-quiet", "-norestart" or "-result" was given
    // The Windows Installer code of the run (run/run_report.h): the exit
    // status of a managed run; what a managed run would have returned, for
    // an interactive one.
    int exitCode = 0;
    std::string outcome;  // the code's one word ("pending", "failed", ...)
};

// Constructs the process-wide objects (the application object, the
// settings object, the logger), looks up IsWow64Process, runs InitInstance,
// writes the result file when one is asked for and not yet written, and
// returns how the run ended. An exception that would end the program
// (exhausted memory included) ends the run instead, logged as
// "## Unexpected error : %s" at level 1 with its text.
ProgramEnd RunLauncherProgram(Platform& platform);

// RunLauncherProgram's exit status: 0 on every path of an interactive run,
// the Windows Installer code of a managed one.
int RunProgram(Platform& platform);

}  // namespace zq
