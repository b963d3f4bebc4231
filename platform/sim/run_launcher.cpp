#include "platform/sim/run_launcher.h"

#include "app/entry.h"
#include "base/text.h"

namespace zq::sim {

int RunLauncherOn(SimMachine& machine) {
    machine.Journal("start", {{"program", Utf16ToUtf8(machine.ProgramPath())},
                              {"argumentText", Utf16ToUtf8(machine.ArgumentText())}});
    const int status = RunProgram(machine.platform());
    machine.Journal("exit", {{"status", status}});
    return status;
}

}  // namespace zq::sim
