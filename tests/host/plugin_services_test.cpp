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
using test::HasRun;
using test::PluginBench;
using test::TestMachine;
using Lines = std::vector<std::string>;

const std::string kTimeOut = "## Service did not stop in time : zqdevsvc";
const std::string kAlreadyRunning = "## An instance of the service is already running.\r";
const std::string kStopped = "** zqdevsvc Service stopped successfully";

json Service(const std::string& state, double stopSeconds = 0) {
    if (state.empty()) return json::object();
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
        {"takes 2 s", Service("running", 2), true, {"stop 0", "start 0"}, 0, "running", 2000},
        // The wait gives up at 30 s and the printers are done; by the start the stop has ended.
        {"takes 45 s", Service("running", 45), true, {"stop 0", "start 0"}, 1, "running", 30000},
        // Still stopping at the start too: the start is refused as Windows refuses it; the run goes on.
        {"takes 100 s", Service("running", 100), true, {"stop 0", "start 1056"}, 2, "stopping", 30000},
        {"already stopping", Service("stopping", 5), false, {"stop 1061", "start 0"}, 0, "running", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        PluginBench bench;
        bench.machine.config()["services"] = c.services;
        if (c.printer) bench.AddPrinter(test::Printer("Office", "IP_10.0.0.5"), "id-1");
        EXPECT_EQ(bench.Run(), 1);
        const std::vector<json> requests = bench.machine.Events("serviceControl");
        Lines asked;
        for (const json& e : requests) asked.push_back(e["action"].get<std::string>() + " " + e["error"].dump());
        EXPECT_EQ(asked, c.requests);
        const Lines log = test::WithoutTrace(bench.Log());
        EXPECT_EQ(std::count(log.begin(), log.end(), kTimeOut), c.timeOuts);
        EXPECT_EQ(bench.State()["services"]["zqdevsvc"]["state"], c.stateAfter);
        EXPECT_EQ(log.back(), "<< End of UpdateDriver Plug-in") << "the flow goes on whatever the service did";
        // The first time-out comes right after the stop, before the printers; the second right before the start.
        EXPECT_EQ(HasRun(log, {kStopped, kTimeOut, "** Enumerating Printers and Faxes folder"}), c.timeOuts > 0);
        EXPECT_EQ(HasRun(log, {kTimeOut, kAlreadyRunning}), c.timeOuts > 1);
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
    struct Case {
        const char* why;
        json services;
        bool scmOpenFails;
        int action;
        ErrorCode error;
        std::string line;   // of the request, if any
        std::string waits;  // the answers of the two waits (T/F) and the time-outs they log
    } cases[] = {
        {"stop a running one", Service("running"), false, kServiceStop, 0, kStopped, "FT1"},
        {"start a running one", Service("running"), false, kServiceStart, 1056, kAlreadyRunning, "FT1"},
        {"stopping for 70 s", Service("stopping", 70), false, 2, 0, "", "FF2"},
        {"missing", Service(""), false, kServiceStop, 1060,
         "## The specified service does not exist as an installed service.\r", "TT0"},
        {"no control manager", Service("running"), true, kServiceStop, 5, "## Access is denied.\r", "TT0"},
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
                EXPECT_EQ(WaitUntilServiceStopped(*process, L"zqdevsvc"), c.waits[0] == 'T');
                EXPECT_EQ(WaitWhileServiceStopping(*process, L"zqdevsvc"), c.waits[1] == 'T');
                EXPECT_EQ(machine.LogMessages(), Lines(c.waits[2] - '0', kTimeOut));
                EXPECT_TRUE(machine.Events("serviceControl").empty()) << "waiting asks nothing of the service";
            } else {
                EXPECT_EQ(ChangeServiceState(*process, L"zqdevsvc", c.action), c.error);
                // A system text keeps its CR LF: the line ends in a CR, and an empty line follows.
                EXPECT_EQ(test::WithoutTrace(machine.LogMessages()), c.line.empty() ? Lines{} : Lines{c.line});
            }
        }
    }
}

json Process(const std::string& name, int pid, json more = json::object()) {
    more.update({{"name", name}, {"pid", pid}});
    return more;
}

TEST(PluginKillProcess, TerminatesOnlyWhileTheIdStillNamesTheProcess) {
    const json tray = Process("zqnotify.exe", 200);
    const std::string killed = "Process Killed Successfully : zqnotify.exe";
    struct Case {
        const char* why;
        json processes;  // null: no snapshot can be taken
        int result;
        std::string line;
        Lines runningAfter;  // names, in order
    } cases[] = {
        {"any case", {Process("explorer.exe", 100), Process("ZQNotify.exe", 200)}, 1, killed, {"explorer.exe"}},
        {"termination fails",
         {Process("zqnotify.exe", 200, {{"terminateFails", true}})},
         1,
         "Failed to Kill Process : zqnotify.exe",
         {"zqnotify.exe"}},
        {"its id has passed to another process",
         {Process("zqnotify.exe", 200, {{"pidReusedBy", "winword.exe"}}), Process("zqnotify.exe", 204)},
         1,
         "## Process no longer running : zqnotify.exe",
         {"winword.exe", "zqnotify.exe"}},
        // Names are compared as before: without regard to case.
        {"its id has passed to one of the same name",
         {Process("zqnotify.exe", 200, {{"pidReusedBy", "ZQNOTIFY.EXE"}})},
         1,
         killed,
         {}},
        {"no snapshot", nullptr, 0, "CreateToolhelp32Snapshot Failed ", {"zqnotify.exe"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TestMachine machine;
        machine.MakeFolder("C:\\Temp");
        machine.config()["processes"] = c.processes.is_null() ? json::array({tray}) : c.processes;
        machine.config()["snapshotFails"] = c.processes.is_null();
        auto process = test::ProcessOn(machine);
        EXPECT_EQ(KillProcess(*process, L"zqnotify.exe"), c.result);
        EXPECT_EQ(machine.LogMessages(), c.line.empty() ? Lines{} : Lines{c.line});
        const json state = machine.Machine().State();
        EXPECT_EQ(test::Values(state["processes"].get<std::vector<json>>(), "name"), c.runningAfter);
    }
}

// The folder's lines, then the tray application started or the line that says why not.
TEST(PluginTray, StartedOnlyFromAnAbsoluteInstallFolder) {
    const std::string tray = "D:\\Tools\\Pictavo\\Bin\\zqnotify.exe";
    struct Case {
        json key;  // the Pictavo key's values; null: no key
        Lines lines;
    } cases[] = {
        {{{"InstallFolder", "D:\\Tools"}},
         {"** InstallFolder : D:\\Tools", "** Starting Trayapp", "** Process : " + tray + " return with 2"}},
        {{{"InstallFolder", "\\Zelt\\"}}, {"** InstallFolder : \\Zelt\\", "## Tray application not started : \\Zelt\\"}},
        {nullptr, {"## I didn't get install folder", "## Tray application not started : "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.dump());
        PluginBench bench;
        bench.SetInstallKey(c.key);
        bench.Run();
        Lines lines;
        for (const std::string& line : test::WithoutTrace(bench.Log()))
            if (line.find("nstall folder") != std::string::npos || line.find("Tray") != std::string::npos ||
                line.find("InstallFolder") != std::string::npos || line.rfind("** Process", 0) == 0)
                lines.push_back(line);
        EXPECT_EQ(lines, c.lines);
    }
}

}  // namespace
}  // namespace zq
