// A simulated machine set up for the printer-driver update plug-in, and one
// call of it as the runner makes it:
//
//   PluginBench bench;
//   bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
//   bench.Run();                                   // "lanpatch.exe C:\Package\driver\zqmerle.inf"
//   EXPECT_TRUE(Contains(bench.Log(), "!! Printer deleted   : Office"));
//
// The machine: a 32-bit Windows 5.1 with the imaging software (see
// AddImagingSoftware) and a settings file naming the driver.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run/application.h"
#include "tests/support/run_scenarios.h"

namespace zq::test {

inline constexpr char kInf[] = "C:\\Package\\driver\\zqmerle.inf";
// The registry path of the printers' keys, "HKLM\...\Printers\".
inline const std::string kDriverData = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

// A printers entry of machine.json.
nlohmann::json Printer(const std::string& name, const std::string& port,
                       const std::string& driver = "ZQ Merle 5400 Series");

class PluginBench {
public:
    explicit PluginBench(SettingsFile settings = SettingsFile::Basic().Set("UpdateDrivers", "1",
                                                                           "ZQ Merle 5400 Series"));

    void AddPrinter(const nlohmann::json& printer, const std::string& deviceId) {
        test::AddPrinter(machine, printer, deviceId);
    }

    // RunUpdateDriver with the command line, logging at 511.
    int Run(const std::string& commandLine = std::string("lanpatch.exe ") + kInf);
    // What the pass did with each printer it took up, as "name: outcome".
    std::vector<std::string> Outcomes() const;

    std::vector<std::string> Log() const { return machine.LogMessages(); }
    nlohmann::json State() { return nlohmann::json(machine.Machine().State()); }
    // A printer's driver data in the machine's state now.
    nlohmann::json DriverData(const std::string& printer) {
        return State()["registry"][kDriverData + printer + "\\PrinterDriverData"];
    }

    TestMachine machine;

private:
    std::unique_ptr<LauncherProcess> process_;
};

}  // namespace zq::test
