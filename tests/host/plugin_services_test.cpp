// The plug-in's handling of the imaging software around the printer work:
// the device service awaited while it stops, the tray application
// terminated only while its id still names it, and started again only from
// an absolute install folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "plugin/process_control.h"
#include "plugin/update_driver_plugin.h"
#include "tests/support/plugin_bench.h"

namespace zq {
namespace {

using nlohmann::json;
using test::Contains;
using test::HasRun;
using test::PluginBench;
using test::Printer;
using test::TestMachine;
using Lines = std::vector<std::string>;

const std::string kTimeOut = "## Service did not stop in time : zqdevsvc";

json Service(const char* state, double stopSeconds = 0) {
    return {{"zqdevsvc", {{"state", state}, {"stopSeconds", stopSeconds}}}};
}

TEST(PluginService, AwaitedWhileItStops) {
    struct Case {
        const char* why;
        json services;
        bool printer;            // a matching printer to re-create
        Lines requests;          // the journal's service requests: action and error
        int timeOuts;            // kTimeOut lines
        std::string stateAfter;  // the service's
        std::int64_t printerMs;  // from the stop request to the printer's deletion (-1: none)
    } cases[] = {
        {"stops at once", Service("running"), true, {"stop 0", "start 0"}, 0, "running", 0},
        {"takes 2 s, no matching printer", Service("running", 2), false, {"stop 0", "start 0"}, 0, "running", -1},
        {"takes 2 s, a printer re-created", Service("running", 2), true, {"stop 0", "start 0"}, 0, "running", 2000},
        {"takes 29.9 s", Service("running", 29.9), false, {"stop 0", "start 0"}, 0, "running", -1},
        // The wait gives up at 30 s and the printers are done; by the start the stop has ended.
        {"takes 45 s", Service("running", 45), true, {"stop 0", "start 0"}, 1, "running", 30000},
        // Still stopping at the start too: the start is refused as Windows refuses it; the run goes on.
        {"takes 100 s", Service("running", 100), true, {"stop 0", "start 1056"}, 2, "stopping", 30000},
        {"already stopping", Service("stopping", 5), false, {"stop 1061", "start 0"}, 0, "running", -1},
        {"already stopped", Service("stopped", 5), false, {"stop 1062", "start 0"}, 0, "running", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        PluginBench bench;
        bench.machine.config()["services"] = c.services;
        if (c.printer) bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
        EXPECT_EQ(bench.Run(), 1);
        const std::vector<json> requests = bench.machine.Events("serviceControl");
        Lines asked;
        for (const json& e : requests) asked.push_back(e["action"].get<std::string>() + " " + e["error"].dump());
        EXPECT_EQ(asked, c.requests);
        const Lines log = bench.Log();
        EXPECT_EQ(std::count(log.begin(), log.end(), kTimeOut), c.timeOuts);
        EXPECT_EQ(bench.State()["services"]["zqdevsvc"]["state"], c.stateAfter);
        EXPECT_EQ(log.back(), "<< End of UpdateDriver Plug-in") << "the flow goes on whatever the service did";
        // The first time-out comes right after the stop, before the printers; the second right before the start.
        if (c.timeOuts > 0) {
            EXPECT_TRUE(HasRun(log, {"** zqdevsvc Service stopped successfully", kTimeOut}));
        }
        if (c.timeOuts > 1) {
            EXPECT_TRUE(
                HasRun(test::WithoutTrace(log), {kTimeOut, "## An instance of the service is already running.\r"}));
        }
        if (c.printerMs >= 0) {
            const std::vector<json> deleted = bench.machine.Events("printerDeleted");
            ASSERT_EQ(deleted.size(), 1u);
            const std::int64_t after = deleted[0]["t"].get<std::int64_t>() - requests.at(0)["t"].get<std::int64_t>();
            EXPECT_GE(after, c.printerMs);
            EXPECT_LT(after, c.printerMs + kServicePollMs);
        }
    }
}

// The calls themselves, on a machine of the service alone.
TEST(PluginService, RequestsAndWaitsAnswerFromTheServiceState) {
    const std::string running = "## An instance of the service is already running.\r";
    struct Case {
        const char* why;
        json services;
        bool scmOpenFails;
        int action;
        ErrorCode error;
        Lines lines;                       // of the request
        bool untilStopped, whileStopping;  // the two waits' answers
        int timeOuts;
    } cases[] = {
        {"stop a running one",
         Service("running"),
         false,
         kServiceStop,
         0,
         {"** zqdevsvc Service stopped successfully"},
         false,
         true,
         1},
        {"start a stopped one", Service("stopped"), false, kServiceStart, 0, {}, true, true, 0},
        {"stop a stopped one",
         Service("stopped"),
         false,
         kServiceStop,
         1062,
         {"## The service has not been started.\r"},
         true,
         true,
         0},
        {"start a running one", Service("running"), false, kServiceStart, 1056, {running}, false, true, 1},
        {"stopping for 70 s", Service("stopping", 70), false, 2, 0, {}, false, false, 2},
        {"missing",
         json::object(),
         false,
         kServiceStop,
         1060,
         {"## The specified service does not exist as an installed service.\r"},
         true,
         true,
         0},
        {"no control manager", Service("running"), true, kServiceStop, 5, {"## Access is denied.\r"}, true, true, 0},
        {"another action asks nothing", Service("running"), false, 2, 0, {}, false, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        for (bool waits : {false, true}) {
            TestMachine machine;
            machine.MakeFolder("C:\\Temp");
            machine.config()["services"] = c.services;
            machine.config()["scmOpenFails"] = c.scmOpenFails;
            auto process = test::ProcessOn(machine);
            if (waits) {
                EXPECT_EQ(WaitUntilServiceStopped(*process, L"zqdevsvc"), c.untilStopped);
                EXPECT_EQ(WaitWhileServiceStopping(*process, L"zqdevsvc"), c.whileStopping);
                EXPECT_EQ(machine.LogMessages(), Lines(static_cast<std::size_t>(c.timeOuts), kTimeOut));
                EXPECT_TRUE(machine.Events("serviceControl").empty()) << "waiting asks nothing of the service";
            } else {
                EXPECT_EQ(ChangeServiceState(*process, L"zqdevsvc", c.action), c.error);
                // The system's text keeps its CR LF: the line ends in a CR and an empty line follows.
                EXPECT_EQ(test::WithoutTrace(machine.LogMessages()), c.lines);
            }
        }
    }
}

TEST(PluginKillProcess, TerminatesOnlyWhileTheIdStillNamesTheProcess) {
    const json tray = {{"name", "zqnotify.exe"}, {"pid", 200}};
    struct Case {
        const char* why;
        json processes;
        int result;
        Lines log;
        Lines runningAfter;  // names, in order
    } cases[] = {
        {"any case",
         {{{"name", "explorer.exe"}, {"pid", 100}}, {{"name", "ZQNotify.exe"}, {"pid", 200}}},
         1,
         {"Process Killed Successfully : zqnotify.exe"},
         {"explorer.exe"}},
        {"only the first",
         {{{"name", "ZQNotify.EXE"}, {"pid", 300}}, tray},
         1,
         {"Process Killed Successfully : zqnotify.exe"},
         {"zqnotify.exe"}},
        {"termination fails",
         {{{"name", "zqnotify.exe"}, {"pid", 200}, {"terminateFails", true}}},
         1,
         {"Failed to Kill Process : zqnotify.exe"},
         {"zqnotify.exe"}},
        {"its id has passed to another process",
         {{{"name", "zqnotify.exe"}, {"pid", 200}, {"pidReusedBy", "winword.exe"}},
          {{"name", "zqnotify.exe"}, {"pid", 204}}},
         1,
         {"## Process no longer running : zqnotify.exe"},
         {"winword.exe", "zqnotify.exe"}},
        // Names are compared as before: without regard to case.
        {"its id has passed to one of the same name",
         {{{"name", "zqnotify.exe"}, {"pid", 200}, {"pidReusedBy", "ZQNOTIFY.EXE"}}},
         1,
         {"Process Killed Successfully : zqnotify.exe"},
         {}},
        {"none running", {{{"name", "explorer.exe"}, {"pid", 100}}}, 0, {}, {"explorer.exe"}},
        {"no snapshot", nullptr, 0, {"CreateToolhelp32Snapshot Failed "}, {"zqnotify.exe"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TestMachine machine;
        machine.MakeFolder("C:\\Temp");
        machine.config()["processes"] = c.processes.is_null() ? json::array({tray}) : c.processes;
        machine.config()["snapshotFails"] = c.processes.is_null();
        auto process = test::ProcessOn(machine);
        EXPECT_EQ(KillProcess(*process, L"zqnotify.exe"), c.result);
        EXPECT_EQ(machine.LogMessages(), c.log);
        EXPECT_EQ(test::Values(json(machine.Machine().State())["processes"].get<std::vector<json>>(), "name"),
                  c.runningAfter);
    }
}

TEST(PluginTray, StartedOnlyFromAnAbsoluteInstallFolder) {
    struct Case {
        const char* why;
        json key;             // the Pictavo key's values; null: no key
        Lines folderLines;    // "## I didn't get install folder" and "** InstallFolder" lines
        std::string started;  // the tray application's path; empty: not started
        Lines end;            // the lines after "No matching printer found"
    } cases[] = {
        {"absolute",
         {{"InstallFolder", "D:\\Tools"}},
         {"** InstallFolder : D:\\Tools"},
         "D:\\Tools\\Pictavo\\Bin\\zqnotify.exe",
         {}},
        {"relative",
         {{"InstallFolder", "Zelt\\"}},
         {"** InstallFolder : Zelt\\"},
         "",
         {"## Tray application not started : Zelt\\", "<< End of UpdateDriver Plug-in"}},
        {"from the current drive's root",
         {{"InstallFolder", "\\Zelt\\"}},
         {"** InstallFolder : \\Zelt\\"},
         "",
         {"## Tray application not started : \\Zelt\\", "<< End of UpdateDriver Plug-in"}},
        {"value missing",
         json::object(),
         {"## I didn't get install folder", "** InstallFolder : "},
         "",
         {"## Tray application not started : ", "<< End of UpdateDriver Plug-in"}},
        {"key missing",
         nullptr,
         {"## I didn't get install folder"},
         "",
         {"## Tray application not started : ", "<< End of UpdateDriver Plug-in"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        PluginBench bench;
        bench.SetInstallKey(c.key);
        bench.Run();
        const Lines log = bench.Log();
        Lines folderLines = test::LinesStartingWith(log, "## I didn't");
        for (const std::string& line : test::LinesStartingWith(log, "** InstallFolder")) folderLines.push_back(line);
        EXPECT_EQ(folderLines, c.folderLines);
        const Lines after = test::LinesFrom(log, "No matching printer found");
        ASSERT_GE(after.size(), 2u);
        const std::vector<json> starts = bench.machine.Events("processStart");
        if (c.started.empty()) {
            EXPECT_EQ(Lines(after.begin() + 1, after.end()), c.end);
            EXPECT_TRUE(starts.empty());
        } else {
            EXPECT_EQ(after.at(1), "** Starting Trayapp");
            EXPECT_EQ(after.at(2).rfind("** Process : " + c.started + " return with ", 0), 0u) << after[2];
            EXPECT_EQ(test::Values(starts, "commandLine"), Lines{c.started});
        }
    }
}

}  // namespace
}  // namespace zq
