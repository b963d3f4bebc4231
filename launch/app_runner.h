// Carries out one entry of the section of programs: starts it as a process
// and waits for it without time-out.
#pragma once

#include "app/application.h"

namespace zq {

// The command line of a program entry as the started program receives it:
// only the letters A to Z are lowered.
WString LowerCaseCommandLine(const WString& commandLine);

// 1 when the entry was carried out, or the system error code when its
// process could not be created.
int RunApplication(LauncherProcess& process, WString commandLine);

}  // namespace zq
