// Whole runs of the launcher on simulated machines, one for each way a run
// can end: the package installed (the finish screen closed each way), a
// program that fails or cannot start, the printer update with a printer
// that printui did not re-create, each refusal, and an unexpected error.
//
//   for (const RunScenario& scenario : RunScenarios()) {
//       std::unique_ptr<StandardMachine> machine = scenario.make();
//       machine->Run("-quiet -norestart");
//   }
//
// The interactive runs of these machines are kept as reference files
// (tests/host/golden/), and the managed runs' tests go over the same list.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scenario.h"

namespace zq::test {

struct RunScenario {
    std::string name;  // also the reference files' name
    std::function<std::unique_ptr<StandardMachine>()> make;
};

std::vector<RunScenario> RunScenarios();

// A program C:\Package\setup\<name> that runs `seconds` and ends with `exitCode`.
void AddPackageProgram(TestMachine& machine, const std::string& name, double seconds, unsigned exitCode = 0);

// The imaging software, its tray application and service, the package's
// INF file C:\Package\driver\zqmerle.inf and network printers "Office" and
// "Hall" with the package's driver and their device instance identifiers.
void AddPrinterUpdate(TestMachine& machine);

}  // namespace zq::test
