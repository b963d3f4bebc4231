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

// The package installed: both programs run and end with 0, then `config`
// is merged into machine.json.
std::unique_ptr<StandardMachine> Installing(const json& config = json::object(),
                                            SettingsFile settings = PackageWithPrograms()) {
    auto machine = std::make_unique<StandardMachine>(settings);
    AddPackageProgram(*machine, "zqprep.exe", 3);
    AddPackageProgram(*machine, "zqstage.exe", 5);
    machine->config().merge_patch(config);
    return machine;
}

std::unique_ptr<StandardMachine> PrinterUpdate(const json& config) {
    auto machine = Installing(json::object(), PackageWithPrograms()
                                                  .Set("Run", "3", "lanpatch.exe C:\\Package\\driver\\zqmerle.inf")
                                                  .Set("UpdateDrivers", "1", "ZQ Merle 5400 Series"));
    AddPrinterUpdate(*machine);
    machine->config().merge_patch(config);
    return machine;
}

json ProgramEndsWith(unsigned exitCode) {
    return {{"programs", {{"C:\\Package\\setup\\zqprep.exe", {{"exitCode", exitCode}}}}}};
}

}  // namespace

std::vector<RunScenario> RunScenarios() {
    const SettingsFile missing = PackageWithPrograms().Set("Run", "3", "C:\\Package\\setup\\missing.exe");
    return {
        {"finish-restarts", [] { return Installing(); }},
        {"finish-box-ticked",
         [] {
             return Installing({{"user", {{"finishCheckBox", true}}}});
         }},
        {"finish-escape",
         [] {
             return Installing({{"user", {{"finishAction", "escape"}}}});
         }},
        {"program-ends-with-5", [] { return Installing(ProgramEndsWith(5)); }},
        {"program-ends-with-3010", [] { return Installing(ProgramEndsWith(3010)); }},
        {"program-ends-with-1641", [] { return Installing(ProgramEndsWith(1641)); }},
        {"program-missing", [=] { return Installing(json::object(), missing); }},
        {"printers-recreated", [] { return PrinterUpdate(json::object()); }},
        {"printer-restored",
         [] {
             return PrinterUpdate({{"printui", {{"failsFor", {"Hall"}}}}});
         }},
        {"second-instance",
         [] {
             return Installing({{"otherInstanceRunning", true}});
         }},
        {"unsupported-windows",
         [] { return Installing(json::object(), PackageWithPrograms().Set("OS_Support", "os_list", "600")); }},
        {"driver-not-installed",
         [] {
             auto machine = std::make_unique<StandardMachine>(PackageWithPrograms(), /*driverInstalled=*/false);
             machine->WriteUtf16LeFile("C:\\Windows\\inf\\oem1.inf", L"[Version]\r\n", true);
             return machine;
         }},
        // The current folder cannot be read: null (merge_patch would remove it).
        {"current-folder-unreadable",
         [] {
             auto machine = Installing();
             machine->config()["currentDirectory"] = nullptr;
             return machine;
         }},
        {"unexpected-error",
         [] {
             auto machine = Installing({{"largestAllocationBytes", 1024 * 1024}});
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
