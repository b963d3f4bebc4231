// The built-in default machine: a 32-bit Windows 5.1 with service pack 3,
// English (1033), with the example driver installed (C:\Windows\inf\oem1.inf
// holds the example package's magic keyword) and the example package in
// C:\Package. Made from examples/machines/default and examples/package.
#pragma once

#include <filesystem>

namespace zq::sim {

// The examples folder of the source tree this program was built from.
std::filesystem::path ExamplesDir();

// Fills `machineDir` (an empty folder) with the default machine; throws
// MachineError when the examples are missing.
void MakeDefaultMachine(const std::filesystem::path& machineDir,
                        const std::filesystem::path& examplesDir = ExamplesDir());

}  // namespace zq::sim
