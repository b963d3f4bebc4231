// The plug-in's handling of the imaging software around the printer work:
// the device service awaited while it stops, the tray application
// terminated only while its id still names it, and started again only from
// an absolute install folder.
#include <gtest/gtest.h>

#include "plugin/process_control.h"
#include "plugin/update_driver_plugin.h"
#include "tests/support/plugin_bench.h"
#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

using nlohmann::json;
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

// Names are compared without regard to case, also when the id is checked
// again after the open.
TEST(PluginKillProcess, TerminatesOnlyWhileTheIdStillNamesTheProcess) {
    const std::string killed = "Process Killed Successfully : zqnotify.exe";
    struct Case {
        json processes;  // null: no snapshot can be taken
        std::string line;
        Lines runningAfter;  // names, in order
    } cases[] = {
        {{Process("explorer.exe", 100), Process("ZQNotify.exe", 200, {{"pidReusedBy", "ZQNOTIFY.EXE"}})},
         killed,
         {"explorer.exe"}},
        {{Process("zqnotify.exe", 200, {{"terminateFails", true}})},
         "Failed to Kill Process : zqnotify.exe",
         {"zqnotify.exe"}},
        {{Process("zqnotify.exe", 200, {{"pidReusedBy", "winword.exe"}}), Process("zqnotify.exe", 204)},
         "## Process no longer running : zqnotify.exe",
         {"winword.exe", "zqnotify.exe"}},
        {nullptr, "CreateToolhelp32Snapshot Failed ", {"zqnotify.exe"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        TestMachine machine;
        machine.config()["processes"] =
            c.processes.is_null() ? json::array({Process("zqnotify.exe", 200)}) : c.processes;
        machine.config()["snapshotFails"] = c.processes.is_null();
        auto process = test::ProcessOn(machine);
        EXPECT_EQ(KillProcess(*process, L"zqnotify.exe"), c.processes.is_null() ? 0 : 1);
        EXPECT_EQ(machine.LogMessages(), Lines{c.line});
        const json state = machine.Machine().State();
        EXPECT_EQ(test::Values(state["processes"].get<std::vector<json>>(), "name"), c.runningAfter);
    }
}

// The folder's lines, then the line that says why the tray application is
// not started. (Its start from an absolute folder: the run scenarios.)
TEST(PluginTray, NotStartedWithoutAnAbsoluteInstallFolder) {
    struct Case {
        json key;  // the Pictavo key's values; null: no key
        Lines lines;
    } cases[] = {
        {{{"InstallFolder", "\\Zelt\\"}},
         {"** InstallFolder : \\Zelt\\", "## Tray application not started : \\Zelt\\"}},
        {nullptr, {"## I didn't get install folder", "## Tray application not started : "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.dump());
        PluginBench bench;
        bench.machine.config()["registry"].merge_patch({{"HKLM\\SOFTWARE\\Zelt\\Pictavo", c.key}});  // null: no key
        bench.Run();
        Lines lines;
        for (const std::string& line : test::WithoutTrace(bench.Log()))
            if (line.find("nstall") != std::string::npos || line.find("Tray") != std::string::npos ||
                line.starts_with("** Process"))
                lines.push_back(line);
        EXPECT_EQ(lines, c.lines);
    }
}

}  // namespace
}  // namespace zq
