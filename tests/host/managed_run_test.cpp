// Managed runs ("-quiet", "-norestart", "-result PATH") end to end on
// simulated machines: the exit code of every way a run ends, no window in a
// "-quiet" run, the restart under each switch, and the result file.
#include <gtest/gtest.h>

#include <map>

#include "app/command_line.h"
#include "app/sim/run_launcher.h"
#include "tests/support/result_file.h"
#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

using nlohmann::json;
using test::Contains;
using test::MakeScenario;
using test::ReadResultFile;
using test::RunScenario;
using test::RunScenarios;
using test::SettingsFile;
using test::StandardMachine;
using Lines = std::vector<std::string>;

const std::string kResult = "C:\\Results\\result.json";

// The journal's events that only a window makes.
Lines WindowEvents(const test::TestMachine& machine) {
    Lines shown;
    for (const json& event : machine.Journal())
        for (const char* name :
             {"messageBox", "copyDialogShown", "copyDialogClosed", "finishScreenShown", "finishScreenClosed"})
            if (event["event"] == name) shown.push_back(name);
    return shown;
}

// Every way a run ends, as "-quiet -norestart" (the command an engine is
// given) reports it. (An interactive run ends with 0 on every path: the
// reference files of tests/host/golden/ hold its "exit" event.)
TEST(ManagedRun, ExitCodeOfEveryWayARunEnds) {
    const std::map<std::string, std::pair<int, std::string>> expected = {
        {"finish-restarts", {3010, "pending"}},
        {"finish-box-ticked", {3010, "pending"}},
        {"finish-escape", {3010, "pending"}},
        {"program-ends-with-5", {1603, "failed"}},
        {"program-ends-with-3010", {3010, "pending"}},
        {"program-ends-with-1641", {1641, "restarting"}},
        {"program-missing", {1603, "failed"}},
        {"printers-recreated", {3010, "pending"}},
        {"printer-restored", {1603, "failed"}},
        {"second-instance", {1618, "busy"}},
        {"unsupported-windows", {1633, "unsupported"}},
        {"driver-not-installed", {1605, "nodriver"}},
        {"current-folder-unreadable", {1603, "failed"}},
        {"unexpected-error", {1603, "failed"}},
    };
    for (const RunScenario& scenario : RunScenarios()) {
        SCOPED_TRACE(scenario.name);
        ASSERT_EQ(expected.count(scenario.name), 1u) << "a scenario without its expected code";
        const auto& [code, outcome] = expected.at(scenario.name);
        std::unique_ptr<StandardMachine> machine = scenario.make();
        machine->MakeFolder("C:\\Results");
        machine->config()["argumentText"] = "-quiet -norestart -result " + kResult;
        EXPECT_EQ(sim::RunLauncherOn(machine->Load()).exitStatus, code);
        const std::vector<json> exits = machine->Events("exit");
        ASSERT_EQ(exits.size(), 1u);
        EXPECT_EQ(exits[0]["status"], code);
        EXPECT_EQ(exits[0]["outcome"], outcome);
        EXPECT_EQ(WindowEvents(*machine), Lines{}) << "-quiet shows no window";
        EXPECT_TRUE(machine->Events("restartRequested").empty()) << "-norestart never restarts";
        const json result = ReadResultFile(*machine, kResult);
        ASSERT_FALSE(result.is_null());
        EXPECT_EQ(result["exitCode"], code);
        EXPECT_EQ(result["outcome"], outcome);
        EXPECT_EQ(result["restartStarted"], code == 1641);
        EXPECT_FALSE(machine->FileExists(kResult + ".0.tmp")) << "no temporary file left";
    }
}

// The program's exit status, as the Win32 entry point returns it to Windows.
TEST(ManagedRun, TheProgramReturnsTheCode) {
    for (const auto& [argumentText, status] : {std::pair{"", 0},
                                               {"-log 1", 0},
                                               {"-quiet -norestart", 3010},
                                               {"-norestart", 3010},
                                               {"-quiet", 1641},
                                               {"-result C:\\r.json", 1641}}) {
        SCOPED_TRACE(argumentText);
        std::unique_ptr<StandardMachine> machine = RunScenarios().front().make();
        sim::SimMachine& simulated = machine->Load();
        simulated.SetArgumentText(Utf8ToUtf16(argumentText));
        EXPECT_EQ(RunProgram(simulated.platform()), status);
    }
}

// The finish step under each switch: the screen or none, the restart or
// none, and the code that says which.
TEST(ManagedRun, TheRestartUnderEachSwitch) {
    struct Case {
        std::string switches;
        bool boxTicked;            // what the person at the screen does
        const char* finishAction;  // "finish" or "escape"
        bool screenShown, restart;
        int exitCode;
    } cases[] = {
        {"", false, "finish", true, true, 1641},  // Finish with the box clear restarts
        {"", true, "finish", true, false, 3010},
        {"", false, "escape", true, false, 3010},
        {"-norestart", false, "finish", true, false, 3010},  // Finish cannot restart
        {"-norestart", true, "finish", true, false, 3010},   // the user cannot clear the box
        {"-norestart", false, "escape", true, false, 3010},
        {"-quiet", false, "finish", false, true, 1641},  // restarts at the end
        {"-quiet -norestart", false, "finish", false, false, 3010},
        {"-norestart -quiet", false, "finish", false, false, 3010},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.switches + (c.boxTicked ? " ticked " : " clear ") + c.finishAction);
        std::unique_ptr<StandardMachine> machine = RunScenarios().front().make();
        machine->MakeFolder("C:\\Results");
        machine->config()["user"] = {{"finishCheckBox", c.boxTicked}, {"finishAction", c.finishAction}};
        machine->Run(c.switches + " -result " + kResult);
        const std::vector<json> shown = machine->Events("finishScreenShown");
        ASSERT_EQ(shown.size(), c.screenShown ? 1u : 0u);
        if (!c.screenShown) {
            EXPECT_EQ(WindowEvents(*machine), Lines{}) << "-quiet shows no window";
        }
        const bool noRestart = c.switches.find("-norestart") != std::string::npos;
        if (c.screenShown && noRestart) {
            EXPECT_EQ(shown[0]["checkBoxEnabled"], false);
            EXPECT_EQ(shown[0]["checkBoxTicked"], true);
            EXPECT_EQ(machine->Events("finishScreenClosed").at(0)["checkBoxTicked"], true);
        } else if (c.screenShown) {
            EXPECT_FALSE(shown[0].contains("checkBoxEnabled")) << "the box as it always was";
        }
        EXPECT_EQ(machine->Events("restartRequested").size(), c.restart ? 1u : 0u);
        EXPECT_EQ(machine->Events("exit").at(0)["status"], c.exitCode);
        const json result = ReadResultFile(*machine, kResult);
        ASSERT_FALSE(result.is_null());
        EXPECT_EQ(result["exitCode"], c.exitCode);
        EXPECT_EQ(result["restartNeeded"], true);
        EXPECT_EQ(result["restartStarted"], c.restart);
        EXPECT_EQ(result["switches"]["noRestart"], noRestart);
        // The result file is in place, once, before Windows is asked to
        // restart: the restart may end the launcher at any moment after it.
        const Lines order = test::Values(machine->Journal(), "event");
        const auto moved = std::find(order.begin(), order.end(), "fileMoved");
        EXPECT_EQ(std::count(order.begin(), order.end(), "fileMoved"), 1);
        EXPECT_EQ(std::find(order.begin(), moved, "restartRequested"), moved);
        const json move = machine->Events("fileMoved").at(0);
        EXPECT_EQ(move["to"], "c:\\results\\result.json") << "lower-cased, as every switch value";
        EXPECT_EQ(move["error"], 0);
    }
}

// A program that asks for a restart, or starts one itself, is a success;
// any other code is a failure. The run goes on through the section.
TEST(ManagedRun, ProgramExitCodes) {
    struct Case {
        unsigned exitCode;
        int runExitCode;
    } cases[] = {{0, 3010}, {3010, 3010}, {3011, 3010}, {1641, 1641}, {5, 1603}, {1, 1603}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exitCode);
        StandardMachine machine(SettingsFile::Basic()
                                    .Set("Run", "1", "C:\\Package\\setup\\zqprep.exe")
                                    .Set("Run", "2", "C:\\Package\\setup\\after.exe"));
        test::AddPackageProgram(machine, "zqprep.exe", 2, c.exitCode);
        test::AddPackageProgram(machine, "after.exe", 1);
        machine.MakeFolder("C:\\Results");
        machine.Run("-quiet -norestart -result " + kResult);
        EXPECT_EQ(machine.Events("processStart").size(), 2u) << "the section goes on";
        const json result = ReadResultFile(machine, kResult);
        ASSERT_FALSE(result.is_null());
        EXPECT_EQ(result["exitCode"], c.runExitCode);
        EXPECT_EQ(result["restartNeeded"], true);
        EXPECT_EQ(result["restartStarted"], c.exitCode == 1641);
        ASSERT_EQ(result["programs"].size(), 2u);
        EXPECT_EQ(result["programs"][0], (json{{"commandLine", "c:\\package\\setup\\zqprep.exe"},
                                               {"started", true},
                                               {"startError", 0},
                                               {"exitCode", c.exitCode}}));
    }
}

// "-quiet" shows no message box: its text goes to the log at level 1, with
// its number, line breaks and all, and into the result file. Without
// "-quiet" the box is shown as always, and nothing is logged for it.
TEST(ManagedRun, QuietLogsTheMessagesInsteadOfShowingThem) {
    for (const auto& [name, number] : {std::pair{"unsupported-windows", 1}, {"driver-not-installed", 8}}) {
        for (const std::string switches : {"-quiet", "-norestart", ""}) {
            SCOPED_TRACE(name + (" " + switches));
            std::unique_ptr<StandardMachine> machine = MakeScenario(name);
            SettingsFile settings = SettingsFile::Basic()
                                        .Set("Version", "Log", "1")
                                        .Set("English", std::to_string(number), "First line\\nsecond line");
            if (number == 1) settings.Set("OS_Support", "os_list", "600");
            machine->WriteSettings(settings);
            machine->MakeFolder("C:\\Results");
            machine->Run(switches + " -result " + kResult);
            const bool quiet = switches == "-quiet";
            EXPECT_EQ(machine->Events("messageBox").size(), quiet ? 0u : 1u);
            const std::string line = "## Message " + std::to_string(number) + " : First line";
            EXPECT_EQ(test::HasRun(machine->LogMessages(), {line, "second line"}), quiet) << "the box's line break";
            EXPECT_EQ(machine->Events("exit").at(0)["status"], number == 1 ? 1633 : 1605);
            const json result = ReadResultFile(*machine, kResult);
            ASSERT_FALSE(result.is_null());
            EXPECT_EQ(result["messages"],
                      quiet ? json::array({{{"number", number}, {"text", "First line\nsecond line"}}}) : json::array());
        }
    }
}

// The copy dialog is not shown under "-quiet", and the program still runs
// and is waited for, without a pause for a dialog that is not there.
TEST(ManagedRun, QuietShowsNoCopyDialog) {
    std::unique_ptr<StandardMachine> machine = RunScenarios().front().make();
    machine->Run("-quiet -norestart");
    const std::vector<json> ends = machine->Events("processEnd");
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[1]["commandLine"], "c:\\package\\setup\\zqstage.exe");
    EXPECT_EQ(machine->Events("exit").at(0)["t"], ends[1]["t"]);
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
        Lines actual = managed->LogMessages();
        ASSERT_GE(expected.size(), 4u);
        EXPECT_EQ(actual[3], "+++   Command Line : -log 511 -norestart -result " + kResult);
        expected.erase(expected.begin() + 3);
        actual.erase(actual.begin() + 3);
        EXPECT_EQ(actual, expected);
    }
}

}  // namespace
}  // namespace zq
