#include "app/sim/run_launcher.h"

#include "app/entry.h"
#include "base/text.h"

namespace zq::sim {

ProgramEnd RunLauncherOn(SimMachine& machine) {
    machine.Journal("start", {{"program", Utf16ToUtf8(machine.ProgramPath())},
                              {"argumentText", Utf16ToUtf8(machine.ArgumentText())}});
    ProgramEnd end = RunLauncherProgram(machine.platform());
    nlohmann::ordered_json fields = {{"status", end.exitStatus}};
    if (end.managed) fields["outcome"] = end.outcome;
    machine.Journal("exit", fields);
    return end;
}

}  // namespace zq::sim
