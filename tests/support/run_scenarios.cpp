#include "tests/support/run_scenarios.h"

#include <stdexcept>

namespace zq::test {

using nlohmann::json;

void AddPackageProgram(TestMachine& machine, const std::string& name, double seconds, unsigned exitCode) {
    machine.WriteFile("C:\\Package\\setup\\" + name, "program");
    machine.config()["programs"]["C:\\Package\\setup\\" + name] = {{"runSeconds", seconds}, {"exitCode", exitCode}};
}

void AddImagingSoftware(TestMachine& machine) {
    machine.WriteFile("C:\\Package\\driver\\zqmerle.inf", "[Version]");
    machine.WriteFile("C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe", "tray");
    machine.config()["registry"]["HKLM\\SOFTWARE\\Zelt\\Pictavo"] = {{"InstallFolder", "C:\\Program Files\\Zelt\\"}};
    machine.config()["processes"] =
        json::array({{{"name", "explorer.exe"}, {"pid", 100}}, {{"name", "zqnotify.exe"}, {"pid", 200}}});
    machine.config()["services"] = {{"zqdevsvc", {{"state", "running"}}}};
    machine.config()["printers"] = json::array();
}

void AddPrinter(TestMachine& machine, const json& printer, const std::string& deviceId) {
    machine.config()["printers"].push_back(printer);
    machine.config()["registry"]["HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" +
                                 printer["name"].get<std::string>() + "\\PrinterDriverData"] = {
        {"SoftwareCUEContextID", deviceId}};
}

void AddPrinterUpdate(TestMachine& machine) {
    AddImagingSoftware(machine);
    for (const auto& [name, port] : {std::pair{"Office", "IP_10.0.0.5"}, std::pair{"Hall", "IP_10.0.0.6"}})
        AddPrinter(machine, {{"name", name}, {"port", port}, {"driver", "ZQ Merle 5400 Series"}},
                   std::string("id-") + name);
}

namespace {

// Two programs, the second a "zqstage" one under the copy dialog.
SettingsFile PackageWithPrograms() {
    return SettingsFile::Basic()
        .Set("Run", "1", "C:\\Package\\setup\\zqprep.exe /q")
        .Set("Run", "2", "C:\\Package\\setup\\zqstage.exe");
}

std::unique_ptr<StandardMachine> Installing(SettingsFile settings = PackageWithPrograms()) {
    auto machine = std::make_unique<StandardMachine>(settings);
    AddPackageProgram(*machine, "zqprep.exe", 3);
    AddPackageProgram(*machine, "zqstage.exe", 5);
    return machine;
}

}  // namespace

std::vector<RunScenario> RunScenarios() {
    return {
        {"finish-restarts", [] { return Installing(); }},
        {"finish-box-ticked",
         [] {
             auto machine = Installing();
             machine->config()["user"]["finishCheckBox"] = true;
             return machine;
         }},
        {"finish-escape",
         [] {
             auto machine = Installing();
             machine->config()["user"]["finishAction"] = "escape";
             return machine;
         }},
        {"program-ends-with-5",
         [] {
             auto machine = Installing();
             AddPackageProgram(*machine, "zqprep.exe", 3, 5);
             return machine;
         }},
        {"program-ends-with-3010",
         [] {
             auto machine = Installing();
             AddPackageProgram(*machine, "zqprep.exe", 3, 3010);
             return machine;
         }},
        {"program-ends-with-1641",
         [] {
             auto machine = Installing();
             AddPackageProgram(*machine, "zqprep.exe", 3, 1641);
             return machine;
         }},
        {"program-missing",
         [] { return Installing(PackageWithPrograms().Set("Run", "3", "C:\\Package\\setup\\missing.exe")); }},
        {"printers-recreated",
         [] {
             auto machine = Installing(PackageWithPrograms()
                                           .Set("Run", "3", "lanpatch.exe C:\\Package\\driver\\zqmerle.inf")
                                           .Set("UpdateDrivers", "1", "ZQ Merle 5400 Series"));
             AddPrinterUpdate(*machine);
             return machine;
         }},
        {"printer-restored",
         [] {
             auto machine = Installing(PackageWithPrograms()
                                           .Set("Run", "3", "lanpatch.exe C:\\Package\\driver\\zqmerle.inf")
                                           .Set("UpdateDrivers", "1", "ZQ Merle 5400 Series"));
             AddPrinterUpdate(*machine);
             machine->config()["printui"]["failsFor"] = json::array({"Hall"});
             return machine;
         }},
        {"second-instance",
         [] {
             auto machine = Installing();
             machine->config()["otherInstanceRunning"] = true;
             return machine;
         }},
        {"unsupported-windows", [] { return Installing(PackageWithPrograms().Set("OS_Support", "os_list", "600")); }},
        {"driver-not-installed",
         [] {
             auto machine = std::make_unique<StandardMachine>(PackageWithPrograms(), /*driverInstalled=*/false);
             machine->WriteUtf16LeFile("C:\\Windows\\inf\\oem1.inf", L"[Version]\r\n", true);
             return machine;
         }},
        {"current-folder-unreadable",
         [] {
             auto machine = Installing();
             machine->config()["currentDirectory"] = nullptr;
             return machine;
         }},
        {"unexpected-error",
         [] {
             auto machine = Installing();
             machine->config()["largestAllocationBytes"] = 1024 * 1024;
             machine->WriteFile("C:\\Windows\\inf\\oem0.inf", std::string(2 * 1024 * 1024, 'x'));
             return machine;
         }},
    };
}

std::unique_ptr<StandardMachine> MakeScenario(const std::string& name) {
    for (const RunScenario& scenario : RunScenarios())
        if (scenario.name == name) return scenario.make();
    throw std::invalid_argument(name + ": no such scenario");
}

}  // namespace zq::test
