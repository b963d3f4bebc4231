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
using test::ReadResultFile;
using test::RunScenario;
using test::RunScenarios;
using test::SettingsFile;
using test::StandardMachine;

const char kResult[] = "C:\\Results\\result.json";

// The journal's events that only a window makes.
const char* const kWindowEvents[] = {"messageBox", "copyDialogShown", "copyDialogClosed", "finishScreenShown",
                                     "finishScreenClosed"};

std::vector<std::string> WindowEvents(const test::TestMachine& machine) {
    std::vector<std::string> shown;
    for (const json& event : machine.Journal())
        for (const char* name : kWindowEvents)
            if (event["event"] == name) shown.push_back(name);
    return shown;
}

struct Expected {
    int exitCode;
    const char* outcome;
};

// Every way a run ends, as "-quiet -norestart" (the command an engine is
// given) reports it.
const std::map<std::string, Expected> kQuietNoRestart = {
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

TEST(ManagedRun, ExitCodeOfEveryWayARunEnds) {
    for (const RunScenario& scenario : RunScenarios()) {
        SCOPED_TRACE(scenario.name);
        ASSERT_EQ(kQuietNoRestart.count(scenario.name), 1u) << "a scenario without its expected code";
        const Expected expected = kQuietNoRestart.at(scenario.name);
        std::unique_ptr<StandardMachine> machine = scenario.make();
        machine->MakeFolder("C:\\Results");
        machine->config()["argumentText"] = std::string("-quiet -norestart -result ") + kResult;
        const ProgramEnd end = sim::RunLauncherOn(machine->Load());

        EXPECT_EQ(end.exitStatus, expected.exitCode);
        const std::vector<json> exits = machine->Events("exit");
        ASSERT_EQ(exits.size(), 1u);
        EXPECT_EQ(exits[0]["status"], expected.exitCode);
        EXPECT_EQ(exits[0]["outcome"], expected.outcome);
        EXPECT_EQ(WindowEvents(*machine), std::vector<std::string>{}) << "-quiet shows no window";
        EXPECT_TRUE(machine->Events("restartRequested").empty()) << "-norestart never restarts";

        const json result = ReadResultFile(*machine, kResult);
        ASSERT_FALSE(result.is_null());
        EXPECT_EQ(result["exitCode"], expected.exitCode);
        EXPECT_EQ(result["outcome"], expected.outcome);
        EXPECT_EQ(result["restartStarted"], expected.exitCode == 1641);
        EXPECT_FALSE(machine->FileExists(std::string(kResult) + ".0.tmp")) << "no temporary file left";
    }
}

// An interactive run ends with 0 on every path, whatever it did; its
// exit code as a managed run is still worked out (the previews show it).
TEST(ManagedRun, AnInteractiveRunExitsWithZeroOnEveryPath) {
    for (const RunScenario& scenario : RunScenarios()) {
        SCOPED_TRACE(scenario.name);
        std::unique_ptr<StandardMachine> machine = scenario.make();
        const ProgramEnd end = sim::RunLauncherOn(machine->Load());
        EXPECT_EQ(end.exitStatus, 0);
        EXPECT_FALSE(end.managed);
        EXPECT_EQ(machine->Events("exit").at(0),
                  (json{{"t", machine->Events("exit").at(0)["t"]}, {"event", "exit"}, {"status", 0}}));
    }
}

// The program's exit status, as the Win32 entry point returns it to Windows.
TEST(ManagedRun, TheProgramReturnsTheCode) {
    for (const auto& [argumentText, status] :
         {std::pair{"", 0}, std::pair{"-log 1", 0}, std::pair{"-quiet -norestart", 3010}, std::pair{"-norestart", 3010},
          std::pair{"-quiet", 1641}, std::pair{"-result C:\\r.json", 1641}}) {
        SCOPED_TRACE(argumentText);
        std::unique_ptr<StandardMachine> machine = RunScenarios().front().make();
        sim::SimMachine& simulated = machine->Load();
        simulated.SetArgumentText(Utf8ToUtf16(argumentText));
        EXPECT_EQ(RunProgram(simulated.platform()), status);
    }
}

struct RestartCase {
    const char* why;
    std::string switches;
    bool boxTicked;            // what the person at the screen does
    const char* finishAction;  // "finish" or "escape"
    bool screenShown;
    bool restart;
    int exitCode;
};

// The finish step under each switch: the screen or none, the restart or
// none, and the code that says which.
TEST(ManagedRun, TheRestartUnderEachSwitch) {
    const RestartCase cases[] = {
        {"-result alone: Finish with the box clear restarts", "", false, "finish", true, true, 1641},
        {"-result alone: the box ticked", "", true, "finish", true, false, 3010},
        {"-result alone: Escape", "", false, "escape", true, false, 3010},
        {"-norestart: Finish cannot restart", "-norestart", false, "finish", true, false, 3010},
        {"-norestart: the user cannot clear the box", "-norestart", true, "finish", true, false, 3010},
        {"-norestart: Escape", "-norestart", false, "escape", true, false, 3010},
        {"-quiet alone restarts at the end", "-quiet", false, "finish", false, true, 1641},
        {"-quiet -norestart", "-quiet -norestart", false, "finish", false, false, 3010},
        {"-norestart -quiet, in either order", "-norestart -quiet", false, "finish", false, false, 3010},
    };
    for (const RestartCase& c : cases) {
        SCOPED_TRACE(c.why);
        std::unique_ptr<StandardMachine> machine = RunScenarios().front().make();
        machine->MakeFolder("C:\\Results");
        machine->config()["user"]["finishCheckBox"] = c.boxTicked;
        machine->config()["user"]["finishAction"] = c.finishAction;
        machine->Run(c.switches + " -result " + kResult);

        const std::vector<json> shown = machine->Events("finishScreenShown");
        ASSERT_EQ(shown.size(), c.screenShown ? 1u : 0u);
        if (!c.screenShown) {
            EXPECT_EQ(WindowEvents(*machine), std::vector<std::string>{}) << "-quiet shows no window";
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

        // The result file is in place before Windows is asked to restart:
        // the restart may end the launcher at any moment after it.
        const std::vector<json> journal = machine->Journal();
        auto at = [&](const char* name) {
            return std::find_if(journal.begin(), journal.end(), [&](const json& e) { return e["event"] == name; });
        };
        ASSERT_NE(at("fileMoved"), journal.end());
        EXPECT_EQ((*at("fileMoved"))["to"], "c:\\results\\result.json") << "lower-cased, as every switch value";
        EXPECT_EQ((*at("fileMoved"))["error"], 0);
        if (c.restart) {
            EXPECT_LT(at("fileMoved"), at("restartRequested"));
        }
        EXPECT_EQ(machine->Events("fileMoved").size(), 1u) << "written once";
    }
}

// A program that asks for a restart, or starts one itself, is a success;
// any other code is a failure. The run goes on through the section.
TEST(ManagedRun, ProgramExitCodes) {
    struct Case {
        unsigned exitCode;
        int runExitCode;
        bool restartNeeded, restartStarted;
    } cases[] = {
        {0, 3010, true, false},   {3010, 3010, true, false}, {3011, 3010, true, false},
        {1641, 1641, true, true}, {5, 1603, true, false},    {1, 1603, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exitCode);
        StandardMachine machine(SettingsFile::Basic()
                                    .Set("Run", "1", "C:\\Package\\setup\\zqprep.exe")
                                    .Set("Run", "2", "C:\\Package\\setup\\after.exe"));
        test::AddPackageProgram(machine, "zqprep.exe", 2, c.exitCode);
        test::AddPackageProgram(machine, "after.exe", 1);
        machine.MakeFolder("C:\\Results");
        machine.Run(std::string("-quiet -norestart -result ") + kResult);
        EXPECT_EQ(machine.Events("processStart").size(), 2u) << "the section goes on";
        const json result = ReadResultFile(machine, kResult);
        ASSERT_FALSE(result.is_null());
        EXPECT_EQ(result["exitCode"], c.runExitCode);
        EXPECT_EQ(result["restartNeeded"], c.restartNeeded);
        EXPECT_EQ(result["restartStarted"], c.restartStarted);
        ASSERT_EQ(result["programs"].size(), 2u);
        EXPECT_EQ(result["programs"][0], (json{{"commandLine", "c:\\package\\setup\\zqprep.exe"},
                                               {"started", true},
                                               {"startError", 0},
                                               {"exitCode", c.exitCode}}));
    }
}

// "-quiet" shows no message box: its text goes to the log at level 1, with
// its number, line breaks and all, and into the result file.
TEST(ManagedRun, QuietLogsTheMessagesInsteadOfShowingThem) {
    struct Case {
        const char* scenario;
        int number;
    } cases[] = {{"unsupported-windows", 1}, {"driver-not-installed", 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        for (const RunScenario& scenario : RunScenarios()) {
            if (scenario.name != c.scenario) continue;
            std::unique_ptr<StandardMachine> machine = scenario.make();
            SettingsFile settings = SettingsFile::Basic()
                                        .Set("Version", "Log", "1")
                                        .Set("English", std::to_string(c.number), "First line\\nsecond line");
            if (c.number == 1) settings.Set("OS_Support", "os_list", "600");
            machine->WriteSettings(settings);
            machine->MakeFolder("C:\\Results");
            machine->Run(std::string("-quiet -result ") + kResult);
            EXPECT_TRUE(machine->Events("messageBox").empty());
            const std::vector<std::string> log = machine->LogMessages();
            const std::string line = "## Message " + std::to_string(c.number) + " : First line";
            ASSERT_TRUE(Contains(log, line));
            EXPECT_EQ(*(std::find(log.begin(), log.end(), line) + 1), "second line") << "the box's line break";
            const json result = ReadResultFile(*machine, kResult);
            ASSERT_FALSE(result.is_null());
            EXPECT_EQ(result["messages"], json::array({{{"number", c.number}, {"text", "First line\nsecond line"}}}));
        }
    }
}

// Without "-quiet" the box is shown as always, and nothing is logged for it.
TEST(ManagedRun, WithoutQuietTheMessageBoxIsShown) {
    for (const std::string switches : {"-norestart", "-result C:\\Results\\result.json"}) {
        SCOPED_TRACE(switches);
        StandardMachine machine(SettingsFile::Basic().Set("OS_Support", "os_list", "600"));
        machine.MakeFolder("C:\\Results");
        machine.Run(switches);
        EXPECT_EQ(machine.Events("messageBox").size(), 1u);
        EXPECT_TRUE(test::LinesStartingWith(machine.LogMessages(), "## Message ").empty());
        EXPECT_EQ(machine.Events("exit").at(0)["status"], 1633);
    }
}

// The copy dialog is not shown under "-quiet", and the program still runs
// and is waited for.
TEST(ManagedRun, QuietShowsNoCopyDialog) {
    std::unique_ptr<StandardMachine> machine = RunScenarios().front().make();
    machine->Run("-quiet -norestart");
    EXPECT_TRUE(machine->Events("copyDialogShown").empty());
    const std::vector<json> ends = machine->Events("processEnd");
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[1]["commandLine"], "c:\\package\\setup\\zqstage.exe");
    EXPECT_EQ(machine->Events("exit").at(0)["t"], ends[1]["t"]) << "no pause for a dialog that is not there";
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
        managed->Run(std::string("-log 511 -norestart -result ") + kResult);
        std::vector<std::string> expected = interactive->LogMessages();
        std::vector<std::string> actual = managed->LogMessages();
        ASSERT_GE(expected.size(), 4u);
        EXPECT_EQ(actual[3], std::string("+++   Command Line : -log 511 -norestart -result ") + kResult);
        expected.erase(expected.begin() + 3);
        actual.erase(actual.begin() + 3);
        EXPECT_EQ(actual, expected);
    }
}

}  // namespace
}  // namespace zq
