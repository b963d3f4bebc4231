// Managed runs ("-quiet", "-norestart", "-result PATH") end to end on
// simulated machines: the exit code of every way a run ends, the windows
// shown, the restart under each switch, the log lines of a managed run and
// the result file, all kept whole in tests/host/golden/managed-runs.json.
#include <gtest/gtest.h>

#include "app/sim/run_launcher.h"
#include "tests/support/result_file.h"
#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

using nlohmann::json;
using test::MakeScenario;
using test::RunScenario;
using test::RunScenarios;
using test::SettingsFile;
using test::StandardMachine;
using Lines = std::vector<std::string>;

const std::string kResult = "C:\\Results\\result.json";

struct ManagedCase {
    std::string scenario, switches;
    std::function<void(StandardMachine&)> setUp = nullptr;
    std::string resultPath = kResult;
};

// What a managed run shows of itself: its exit status (returned and in the
// journal), the windows it showed and the restart it asked for (journal
// events without their time), its "## Message" and "## Result" log lines,
// whether a temporary file is left, and the result file (null: none).
json ManagedRunRecord(const ManagedCase& c) {
    std::unique_ptr<StandardMachine> machine = MakeScenario(c.scenario);
    machine->MakeFolder("C:\\Results");
    if (c.setUp) c.setUp(*machine);
    sim::SimMachine& simulated = machine->Load();
    simulated.SetArgumentText(Utf8ToUtf16(c.switches + " -result " + c.resultPath));
    json record = {{"status", sim::RunLauncherOn(simulated).exitStatus}, {"events", json::array()}};
    for (json event : machine->Journal()) {
        const std::string name = event["event"];
        if (name == "exit" || name == "restartRequested" || name == "fileMoved" || name == "messageBox" ||
            name.starts_with("copyDialog") || name.starts_with("finishScreen")) {
            event.erase("t");
            record["events"].push_back(event);
        }
    }
    for (const std::string& line : machine->LogMessages())
        if (line.starts_with("## Message") || line.starts_with("## Result") || line == "second line")
            record["lines"].push_back(line);
    record["temporaryLeft"] = machine->FileExists(c.resultPath + ".0.tmp");
    const bool written =
        !record.contains("lines") || !record["lines"].back().get<std::string>().starts_with("## Result");
    record["result"] = written ? test::ReadResultFile(*machine, c.resultPath) : json();
    return record;
}

TEST(ManagedRun, EveryWayARunEndsUnderEachSwitch) {
    std::vector<ManagedCase> cases;
    for (const RunScenario& scenario : RunScenarios()) cases.push_back({scenario.name, "-quiet -norestart"});
    for (const char* scenario : {"finish-restarts", "finish-box-ticked", "finish-escape"})
        for (const char* switches : {"", "-norestart"}) cases.push_back({scenario, switches});
    cases.push_back({"finish-restarts", "-quiet"});
    cases.push_back({"finish-restarts", "-norestart -quiet"});
    cases.push_back({"unsupported-windows", "-quiet"});
    // 3011 asks for a restart as 3010 does; 1 is a failure as 5 is.
    for (unsigned code : {3011u, 1u})
        cases.push_back({"program-ends-with-5", "-quiet -norestart", [code](StandardMachine& machine) {
                             machine.config()["programs"]["C:\\Package\\setup\\zqprep.exe"]["exitCode"] = code;
                         }});
    // "-quiet" logs the message box's text in its place, line breaks and all.
    for (const char* switches : {"-quiet", ""}) {
        cases.push_back(
            {"driver-not-installed", switches, [](StandardMachine& machine) {
                 machine.WriteSettings(
                     SettingsFile::Basic().Set("Version", "Log", "1").Set("English", "8", "First line\\nsecond line"));
             }});
    }
    // Printer names come from whoever set the printer up.
    cases.push_back({"printers-recreated", "-quiet -norestart", [](StandardMachine& machine) {
                         json& printers = machine.config()["printers"] = json::array();
                         for (const char* name : {"Front \"Desk\"", "Back\\Office", "Tab\there",
                                                  "\xE6\x89\x93\xE5\x8D\xB0", "\xF0\x9F\x96\xA8 Printer"})
                             printers.push_back({{"name", name},
                                                 {"port", "IP_" + std::to_string(printers.size())},
                                                 {"driver", "ZQ Merle 5400 Series"}});
                     }});
    // A result file that cannot be put in place: 1622, unless the run failed anyway.
    for (const char* scenario : {"finish-restarts", "unsupported-windows", "second-instance", "program-ends-with-5"})
        cases.push_back({scenario, "-quiet -norestart", nullptr, "C:\\Nowhere\\result.json"});
    cases.push_back({"finish-restarts", "-quiet -norestart", [](StandardMachine& m) { m.MakeFolder(kResult); }});
    cases.push_back({"finish-restarts", "-quiet -norestart", [](StandardMachine& m) {
                         m.WriteFile(kResult, "old");
                         m.config()["lockedFiles"] = json::array({kResult});
                     }});
    json records = json::array();
    for (const ManagedCase& c : cases) {
        SCOPED_TRACE(c.scenario + " " + c.switches);
        records.push_back({{"run", c.scenario + " " + c.switches + " -result " + c.resultPath}});
        records.back().update(ManagedRunRecord(c));
    }
    test::ExpectGolden("managed-runs.json", records.dump(1) + "\n");
}

// A managed run writes the lines of an interactive run, in the same order;
// only its own lines come in between.
TEST(ManagedRun, LogsWhatAnInteractiveRunLogs) {
    for (const RunScenario& scenario : RunScenarios()) {
        SCOPED_TRACE(scenario.name);
        std::unique_ptr<StandardMachine> interactive = scenario.make();
        interactive->Run("-log 511");
        std::unique_ptr<StandardMachine> managed = scenario.make();
        managed->MakeFolder("C:\\Results");
        managed->Run("-log 511 -norestart -result " + kResult);
        Lines expected = interactive->LogMessages();
        expected.at(3) = "+++   Command Line : -log 511 -norestart -result " + kResult;
        EXPECT_EQ(managed->LogMessages(), expected);
    }
}

}  // namespace
}  // namespace zq
