// One run of the launcher on a simulated machine, journalled as the
// zqmerlesetup-sim program does it: "start", the run, "exit".
#pragma once

#include "platform/sim/sim_machine.h"

namespace zq::sim {

// Returns the launcher's exit status.
int RunLauncherOn(SimMachine& machine);

}  // namespace zq::sim
