// The plug-in's handling of the imaging software around the printer work,
// on simulated machines: the device service awaited while it stops, the
// tray application terminated only while its id still names it, and started
// again only from an absolute install folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "plugin/process_control.h"
#include "plugin/update_driver_plugin.h"
#include "tests/support/plugin_bench.h"

namespace zq {
namespace {

using nlohmann::json;
using test::Contains;
using test::LinesStartingWith;
using test::PluginBench;
using test::Printer;
using test::TestMachine;

const std::string kTimeOut = "## Service did not stop in time : zqdevsvc";

// The journal's serviceControl events as "stop 0", "start 1056", ...
std::vector<std::string> ServiceRequests(const TestMachine& machine) {
    std::vector<std::string> requests;
    for (const json& event : machine.Events("serviceControl"))
        requests.push_back(event["action"].get<std::string>() + " " + std::to_string(event["error"].get<int>()));
    return requests;
}

std::int64_t TimeOf(const json& event) { return event["t"].get<std::int64_t>(); }

TEST(PluginService, AwaitedWhileItStops) {
    struct Case {
        const char* why;
        json service;
        bool matchingPrinter;
        std::vector<std::string> requests;  // as the journal shows them
        int timeOuts;                       // "## Service did not stop in time" lines
        std::string stateAfter;
        // Virtual time from the stop request to the printer's deletion:
        // the stop's duration, or the time-out.
        std::int64_t printersAfterMs;
    } cases[] = {
        {"stops at once", {{"state", "running"}}, true, {"stop 0", "start 0"}, 0, "running", 0},
        {"takes 2 s, no matching printer",
         {{"state", "running"}, {"stopSeconds", 2}},
         false,
         {"stop 0", "start 0"},
         0,
         "running",
         -1},
        {"takes 2 s, a printer re-created",
         {{"state", "running"}, {"stopSeconds", 2}},
         true,
         {"stop 0", "start 0"},
         0,
         "running",
         2000},
        {"takes 29.9 s", {{"state", "running"}, {"stopSeconds", 29.9}}, false, {"stop 0", "start 0"}, 0, "running", -1},
        // The wait gives up at 30 s and the printers are done; by the start
        // the stop has ended.
        {"takes 45 s", {{"state", "running"}, {"stopSeconds", 45}}, true, {"stop 0", "start 0"}, 1, "running", 30000},
        // Still stopping at the start too: the start is refused as Windows
        // refuses it, and the run goes on to its end.
        {"takes 100 s",
         {{"state", "running"}, {"stopSeconds", 100}},
         true,
         {"stop 0", "start 1056"},
         2,
         "stopping",
         30000},
        {"already stopping when the run starts",
         {{"state", "stopping"}, {"stopSeconds", 5}},
         false,
         {"stop 1061", "start 0"},
         0,
         "running",
         -1},
        {"already stopped",
         {{"state", "stopped"}, {"stopSeconds", 5}},
         false,
         {"stop 1062", "start 0"},
         0,
         "running",
         -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        PluginBench bench;
        bench.machine.config()["services"] = {{"zqdevsvc", c.service}};
        if (c.matchingPrinter) bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
        EXPECT_EQ(bench.Run(), 1);

        EXPECT_EQ(ServiceRequests(bench.machine), c.requests);
        const std::vector<std::string> log = bench.Log();
        EXPECT_EQ(LinesStartingWith(log, "## Service did not stop").size(), static_cast<std::size_t>(c.timeOuts));
        EXPECT_EQ(bench.State()["services"]["zqdevsvc"]["state"], c.stateAfter);
        // The flow goes on to its end whatever the service did.
        EXPECT_EQ(log.back(), "<< End of UpdateDriver Plug-in");
        EXPECT_TRUE(Contains(log, "** Starting Trayapp"));
        if (c.timeOuts > 0) {
            // The first time-out comes right after the stop, before the
            // printers.
            const std::vector<std::string> after = test::LinesFrom(log, "** zqdevsvc Service stopped successfully");
            ASSERT_GE(after.size(), 2u);
            EXPECT_EQ(after[1], kTimeOut);
            const auto enumerating = std::find(after.begin(), after.end(), "** Enumerating Printers and Faxes folder");
            EXPECT_EQ(std::count(after.begin(), enumerating, kTimeOut), 1);
        }
        if (c.printersAfterMs >= 0) {
            const std::vector<json> deleted = bench.machine.Events("printerDeleted");
            ASSERT_EQ(deleted.size(), 1u);
            const std::int64_t stoppedAt = TimeOf(bench.machine.Events("serviceControl").at(0));
            EXPECT_GE(TimeOf(deleted[0]) - stoppedAt, c.printersAfterMs);
            EXPECT_LT(TimeOf(deleted[0]) - stoppedAt, c.printersAfterMs + kServicePollMs);
        }
    }
}

TEST(PluginService, SecondTimeOutComesRightBeforeTheRefusedStart) {
    PluginBench bench;
    bench.machine.config()["services"] = {{"zqdevsvc", {{"state", "running"}, {"stopSeconds", 100}}}};
    bench.Run();
    std::vector<std::string> tail = test::LinesFrom(bench.Log(), "** Starting Trayapp");
    // The system's text ends in CR LF: an empty line follows it.
    tail.erase(std::remove(tail.begin(), tail.end(), std::string()), tail.end());
    ASSERT_EQ(tail.size(), 5u);
    EXPECT_EQ(tail[2], kTimeOut);
    EXPECT_EQ(tail[3], "## An instance of the service is already running.\r");
}

TEST(PluginService, WaitsAnswerFromTheServiceState) {
    struct Case {
        const char* why;
        json services;
        bool scmOpenFails;
        bool untilStopped, whileStopping;  // the two waits' answers
        int timeOuts;
    } cases[] = {
        {"running: only the wait for the stop times out",
         {{"zqdevsvc", {{"state", "running"}}}},
         false,
         false,
         true,
         1},
        {"stopped", {{"zqdevsvc", {{"state", "stopped"}}}}, false, true, true, 0},
        {"stopping for 70 s: both time out",
         {{"zqdevsvc", {{"state", "stopping"}, {"stopSeconds", 70}}}},
         false,
         false,
         false,
         2},
        {"not installed: nothing to wait for", json::object(), false, true, true, 0},
        {"no control manager", {{"zqdevsvc", {{"state", "running"}}}}, true, true, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TestMachine machine;
        machine.MakeFolder("C:\\Temp");
        machine.config()["services"] = c.services;
        machine.config()["scmOpenFails"] = c.scmOpenFails;
        LauncherProcess process(machine.Load().platform());
        process.g_logFile.SetLevel(LOG_LOW);
        EXPECT_EQ(WaitUntilServiceStopped(process, L"zqdevsvc"), c.untilStopped);
        EXPECT_EQ(WaitWhileServiceStopping(process, L"zqdevsvc"), c.whileStopping);
        EXPECT_EQ(machine.LogMessages(), std::vector<std::string>(static_cast<std::size_t>(c.timeOuts), kTimeOut));
        // Waiting asks nothing of the service.
        EXPECT_TRUE(machine.Events("serviceControl").empty());
    }
}

TEST(PluginKillProcess, TerminatesOnlyWhileTheIdStillNamesTheProcess) {
    struct Case {
        const char* why;
        json processes;
        int result;
        std::vector<std::string> log;
        std::vector<std::string> runningAfter;  // names, in order
    } cases[] = {
        {"terminated",
         {{{"name", "explorer.exe"}, {"pid", 100}}, {{"name", "ZQNotify.exe"}, {"pid", 200}}},
         1,
         {"Process Killed Successfully : zqnotify.exe"},
         {"explorer.exe"}},
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TestMachine machine;
        machine.MakeFolder("C:\\Temp");
        machine.config()["processes"] = c.processes;
        sim::SimMachine& sim = machine.Load();
        LauncherProcess process(sim.platform());
        process.g_logFile.SetLevel(LOG_LOW);
        EXPECT_EQ(KillProcess(process, L"zqnotify.exe"), c.result);
        EXPECT_EQ(machine.LogMessages(), c.log);
        std::vector<std::string> running;
        const json state = sim.State();
        for (const json& entry : state["processes"]) running.push_back(entry["name"]);
        EXPECT_EQ(running, c.runningAfter);
    }
}

TEST(PluginKillProcess, AReusedIdIsNeverTerminated) {
    PluginBench bench;
    bench.machine.config()["processes"] =
        json::array({{{"name", "zqnotify.exe"}, {"pid", 200}, {"pidReusedBy", "winword.exe"}},
                     {{"name", "explorer.exe"}, {"pid", 100}}});
    bench.Run();
    EXPECT_TRUE(bench.machine.Events("processTerminated").empty());
    const json state = bench.State();
    ASSERT_GE(state["processes"].size(), 2u);
    EXPECT_EQ(state["processes"][0]["name"], "winword.exe");
    EXPECT_EQ(state["processes"][0]["pid"], 200);
    // The rest of the run is as ever: the tray application is started.
    EXPECT_TRUE(Contains(bench.Log(), "## Process no longer running : zqnotify.exe"));
    EXPECT_TRUE(Contains(bench.Log(), "** Starting Trayapp"));
}

TEST(PluginTray, StartedOnlyFromAnAbsoluteInstallFolder) {
    struct Case {
        const char* why;
        json key;                // the Pictavo key's values; null: no key
        std::string started;     // the tray application's path, or empty: not started
        std::string notStarted;  // the folder in "## Tray application not started : %s"
    } cases[] = {
        {"with its backslash",
         {{"InstallFolder", "C:\\Program Files\\Zelt\\"}},
         "C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe",
         ""},
        {"without its backslash",
         {{"InstallFolder", "C:\\Program Files\\Zelt"}},
         "C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe",
         ""},
        {"a drive's root", {{"InstallFolder", "D:\\"}}, "D:\\Pictavo\\Bin\\zqnotify.exe", ""},
        {"UNC",
         {{"InstallFolder", "\\\\server\\share\\Zelt"}},
         "\\\\server\\share\\Zelt\\Pictavo\\Bin\\zqnotify.exe",
         ""},
        {"UNC share alone",
         {{"InstallFolder", "\\\\server\\share"}},
         "\\\\server\\share\\Pictavo\\Bin\\zqnotify.exe",
         ""},
        {"key missing", nullptr, "", ""},
        {"value missing", json::object(), "", ""},
        {"empty", {{"InstallFolder", ""}}, "", ""},
        {"relative", {{"InstallFolder", "Zelt\\"}}, "", "Zelt\\"},
        {"from the current drive's root",
         {{"InstallFolder", "\\Program Files\\Zelt\\"}},
         "",
         "\\Program Files\\Zelt\\"},
        {"relative to a drive's current folder", {{"InstallFolder", "C:Zelt\\"}}, "", "C:Zelt\\"},
        {"forward slashes", {{"InstallFolder", "C:/Program Files/Zelt/"}}, "", "C:/Program Files/Zelt/"},
        {"a server without a share", {{"InstallFolder", "\\\\server"}}, "", "\\\\server"},
        {"an empty server name", {{"InstallFolder", "\\\\\\share\\Zelt"}}, "", "\\\\\\share\\Zelt"},
        {"blanks before a full path", {{"InstallFolder", " C:\\Zelt\\"}}, "", " C:\\Zelt\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        PluginBench bench;
        if (c.key.is_null()) bench.machine.config()["registry"].erase("HKLM\\SOFTWARE\\Zelt\\Pictavo");
        else bench.machine.config()["registry"]["HKLM\\SOFTWARE\\Zelt\\Pictavo"] = c.key;
        bench.Run();
        const std::vector<std::string> after = test::LinesFrom(bench.Log(), "No matching printer found");
        ASSERT_GE(after.size(), 2u);
        const std::vector<json> starts = bench.machine.Events("processStart");
        if (c.started.empty()) {
            EXPECT_EQ(std::vector<std::string>(after.begin() + 1, after.end()),
                      (std::vector<std::string>{"## Tray application not started : " + c.notStarted,
                                                "<< End of UpdateDriver Plug-in"}));
            EXPECT_TRUE(starts.empty());
        } else {
            ASSERT_EQ(after.size(), 4u);
            EXPECT_EQ(after[1], "** Starting Trayapp");
            EXPECT_EQ(after[2].rfind("** Process : " + c.started + " return with ", 0), 0u) << after[2];
            ASSERT_EQ(starts.size(), 1u);
            EXPECT_EQ(starts[0]["commandLine"], c.started);
        }
    }
}

TEST(PluginTray, InstallFolderAsRead) {
    struct Case {
        const char* why;
        json key;  // null: the key is missing
        std::vector<std::string> lines;
    } cases[] = {
        {"present", {{"InstallFolder", "D:\\Tools"}}, {"** InstallFolder : D:\\Tools"}},
        {"value missing", json::object(), {"## I didn't get install folder", "** InstallFolder : "}},
        {"key missing", nullptr, {"## I didn't get install folder"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        PluginBench bench;
        if (c.key.is_null()) bench.machine.config()["registry"].erase("HKLM\\SOFTWARE\\Zelt\\Pictavo");
        else bench.machine.config()["registry"]["HKLM\\SOFTWARE\\Zelt\\Pictavo"] = c.key;
        bench.Run();
        const std::vector<std::string> log = bench.Log();
        std::vector<std::string> lines;
        for (const std::string& line : log)
            if (line.rfind("## I didn't", 0) == 0 || line.rfind("** InstallFolder", 0) == 0) lines.push_back(line);
        EXPECT_EQ(lines, c.lines);
    }
}

}  // namespace
}  // namespace zq
