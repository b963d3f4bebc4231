#include "platform/sim/default_machine.h"

#include <system_error>

#include "platform/sim/machine_config.h"

namespace zq::sim {

namespace fs = std::filesystem;

fs::path ExamplesDir() { return fs::path(ZQ_EXAMPLES_DIR); }

void MakeDefaultMachine(const fs::path& machineDir, const fs::path& examplesDir) {
    const fs::path machine = examplesDir / "machines" / "default";
    const fs::path package = examplesDir / "package";
    std::error_code error;
    if (!fs::is_regular_file(machine / "machine.json", error) || !fs::is_directory(package, error)) {
        throw MachineError(examplesDir.string() + ": the example machine or package is missing");
    }
    fs::copy(machine, machineDir, fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (!error) fs::create_directories(machineDir / "drives" / "C" / "Package", error);
    if (!error) {
        fs::copy(package, machineDir / "drives" / "C" / "Package",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    }
    if (!error) fs::create_directories(machineDir / "drives" / "C" / "Temp", error);
    if (error) throw MachineError(machineDir.string() + ": the default machine cannot be made: " + error.message());
}

}  // namespace zq::sim
