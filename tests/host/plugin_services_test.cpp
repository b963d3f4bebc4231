// The plug-in's handling of the imaging software around the printer work:
// the device service awaited while it stops, the tray application
// terminated only while its id still names it, and started again only from
// an absolute install folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "plugin/process_control.h"
#include "plugin/update_driver_plugin.h"
#include "tests/support/plugin_bench.h"
#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

using nlohmann::json;
using test::HasRun;
using test::PluginBench;
using test::TestMachine;
using Lines = std::vector<std::string>;

// A stop of 2 s is awaited; one of 45 s is given up at 30 s ("## Service did
// not stop in time") and the printers are done, and the stop has ended by
// the start; one of 100 s is still going at the start too, which Windows
// refuses; an already stopping service is awaited as well. The flow goes
// on whatever the service did: tests/host/golden/plugin-service-waits.json
// holds each run's log, service requests, the service's state after, and
// the time from the stop request to the printer's deletion.
TEST(PluginService, AwaitedWhileItStops) {
    json records = json::array();
    for (const auto& [state, seconds] : {std::pair{"running", 2}, {"running", 45}, {"running", 100}, {"stopping", 5}}) {
        PluginBench bench;
        bench.machine.config()["services"] = {{"zqdevsvc", {{"state", state}, {"stopSeconds", seconds}}}};
        bench.AddPrinter(test::Printer("Office", "IP_10.0.0.5"), "id-1");
        EXPECT_EQ(bench.Run(), 1);
        json record = {{"log", test::WithoutTrace(bench.Log())},
                       {"state", bench.State()["services"]["zqdevsvc"]["state"]}};
        const std::vector<json> requests = bench.machine.Events("serviceControl");
        for (const json& e : requests)
            record["requests"].push_back(e["action"].get<std::string>() + " " + e["error"].dump());
        record["printerDeletedAfterMs"] = bench.machine.Events("printerDeleted").at(0)["t"].get<std::int64_t>() -
                                          requests.at(0)["t"].get<std::int64_t>();
        records.push_back(record);
    }
    test::ExpectGolden("plugin-service-waits.json", records.dump(1) + "\n");
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
         {"** InstallFolder : D:\\Tools", "** Starting Trayapp", "** Process : " + tray + " return with 0"}},
        {{{"InstallFolder", "\\Zelt\\"}},
         {"** InstallFolder : \\Zelt\\", "## Tray application not started : \\Zelt\\"}},
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
