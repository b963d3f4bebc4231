#include "tests/support/run_scenarios.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/sim_program.h"

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

void ExpectGolden(const std::string& name, const std::string& actual) {
    const std::filesystem::path file = std::filesystem::path(ZQ_SOURCE_DIR) / "tests" / "host" / "golden" / name;
    if (std::getenv("ZQ_REWRITE_GOLDEN") != nullptr) {
        std::ofstream(file, std::ios::binary) << actual;
        return;
    }
    const std::string expected = ReadText(file);
    const auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    };
    EXPECT_EQ(lines(actual), lines(expected)) << "against " << file;
    EXPECT_EQ(actual, expected) << "against " << file;
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

// The printer update besides: the imaging software and network printers
// "Office" and "Hall" with the package's driver and the identifiers
// "id-Office" and "id-Hall".
std::unique_ptr<StandardMachine> PrinterUpdate(const json& config) {
    auto machine = Installing(config, PackageWithPrograms()
                                          .Set("Run", "3", "lanpatch.exe C:\\Package\\driver\\zqmerle.inf")
                                          .Set("UpdateDrivers", "1", "ZQ Merle 5400 Series"));
    AddImagingSoftware(*machine);
    for (const auto& [name, port] : {std::pair{"Office", "IP_10.0.0.5"}, std::pair{"Hall", "IP_10.0.0.6"}})
        AddPrinter(*machine, {{"name", name}, {"port", port}, {"driver", "ZQ Merle 5400 Series"}},
                   std::string("id-") + name);
    return machine;
}

json ProgramEndsWith(unsigned exitCode) {
    return {{"programs", {{"C:\\Package\\setup\\zqprep.exe", {{"exitCode", exitCode}}}}}};
}

}  // namespace

std::vector<RunScenario> RunScenarios() {
    const auto installing = [](const json& config, SettingsFile settings = PackageWithPrograms()) {
        return [=] { return Installing(config, settings); };
    };
    const auto printers = [](const json& config) { return [=] { return PrinterUpdate(config); }; };
    return {
        {"finish-restarts", installing(json::object())},
        {"finish-box-ticked", installing({{"user", {{"finishCheckBox", true}}}})},
        {"finish-escape", installing({{"user", {{"finishAction", "escape"}}}})},
        {"program-ends-with-5", installing(ProgramEndsWith(5))},
        {"program-ends-with-3010", installing(ProgramEndsWith(3010))},
        {"program-ends-with-1641", installing(ProgramEndsWith(1641))},
        {"program-missing",
         installing(json::object(), PackageWithPrograms().Set("Run", "3", "C:\\Package\\setup\\missing.exe"))},
        {"printers-recreated", printers(json::object())},
        {"printer-restored", printers({{"printui", {{"failsFor", {"Hall"}}}}})},
        {"second-instance", installing({{"otherInstanceRunning", true}})},
        {"unsupported-windows", installing(json::object(), PackageWithPrograms().Set("OS_Support", "os_list", "600"))},
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
