// zqmerlesetup-sim --preview PACKAGE_DIR [MACHINES_DIR]: the package run on
// each described machine, one summary each, with the run's exit code and
// its one-word outcome (a machine whose argumentText holds "-quiet",
// "-norestart" or "-result" previews a managed run).
//
// MACHINES_DIR (default: the examples' machines) holds machine folders
// without a package; a MACHINES_DIR that is itself a machine folder is the
// one machine. Each run works on a fresh temporary copy of the machine with
// the package copied into the folder of the machine's "program"
// (C:\Package by default); the copy is removed afterwards, so the machine
// folders never change.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/machine_config.h"
#include "authoring/preview_summary.h"

namespace zq::sim {

struct MachinePreview {
    std::string machine;      // the machine folder's name
    std::string description;  // "Windows 5.2 SP 2.0, 64-bit, user language 1031"
    std::optional<PreviewSummary> summary;
    std::string error;  // why the machine could not be simulated
};

std::string DescribeMachine(const MachineConfig& config);

// The machine folders of MACHINES_DIR, in name order.
std::vector<std::filesystem::path> MachineFolders(const std::filesystem::path& machinesDir);

// One run of the package on a temporary copy of the machine.
MachinePreview PreviewOnMachine(const std::filesystem::path& packageDir, const std::filesystem::path& machineDir);

// Prints a summary per machine; 0 when every machine ran, 2 when the
// package or the machines are missing or a machine cannot be simulated.
int RunPreview(const std::filesystem::path& packageDir, const std::filesystem::path& machinesDir, std::ostream& out,
               std::ostream& err);

}  // namespace zq::sim
