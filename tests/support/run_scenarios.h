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

#include <nlohmann/json.hpp>

#include "tests/support/scenario.h"

namespace zq::test {

struct RunScenario {
    std::string name;  // also the reference files' name
    std::function<std::unique_ptr<StandardMachine>()> make;
};

std::vector<RunScenario> RunScenarios();
// The machine of the scenario of that name (an unknown name throws).
std::unique_ptr<StandardMachine> MakeScenario(const std::string& name);

// Expects the text of tests/host/golden/NAME, line by line (a difference
// names its line), then byte for byte; with ZQ_REWRITE_GOLDEN=1 in the
// environment it writes the file instead. A run's reference files change
// only through a decision about its behaviour: review their diff.
void ExpectGolden(const std::string& name, const std::string& actual);

// A program C:\Package\setup\<name> that runs `seconds` and ends with `exitCode`.
void AddPackageProgram(TestMachine& machine, const std::string& name, double seconds, unsigned exitCode = 0);

// The imaging software installed in C:\Program Files\Zelt\ (its tray
// application running as pid 200 beside explorer.exe, its service
// running), the package's INF file C:\Package\driver\zqmerle.inf, and no
// printers.
void AddImagingSoftware(TestMachine& machine);
// A printers entry of machine.json, with its device instance identifier in
// its driver data.
void AddPrinter(TestMachine& machine, const nlohmann::json& printer, const std::string& deviceId);

}  // namespace zq::test
