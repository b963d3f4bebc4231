// One run of the launcher on a simulated machine, journalled as the
// zqmerlesetup-sim program does it: "start", the run, "exit".
#pragma once

#include "app/entry.h"
#include "platform/sim/sim_machine.h"

namespace zq::sim {

// How the run ended. The journal's "exit" has the process's exit status
// (0 for an interactive run, the Windows Installer code of a managed run)
// and, for a managed run, its one-word "outcome".
ProgramEnd RunLauncherOn(SimMachine& machine);

}  // namespace zq::sim
