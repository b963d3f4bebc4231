// The printer-driver update plug-in on simulated machines: the tray
// application, the device service, and the re-created printers.
#include <gtest/gtest.h>

#include "plugin/process_control.h"
#include "plugin/update_driver_plugin.h"
#include "tests/support/plugin_bench.h"

namespace zq {
namespace {

using nlohmann::json;
using test::Contains;
using test::kDriverData;
using test::kInf;
using test::LinesStartingWith;
using test::PluginBench;
using test::Printer;
using test::SettingsFile;
using test::TestMachine;

TEST(Plugin, RefusedOnAnotherMajorVersionTouchingNothing) {
    PluginBench bench;
    bench.machine.config()["os"] = {{"major", 6}, {"minor", 0}, {"bits", 32}};
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    EXPECT_EQ(bench.Run(), 0);
    EXPECT_EQ(bench.Log(), (std::vector<std::string>{">> Stating UpdateDriver Plug-in",
                                                     "** OS is not XP. This is a fix for XP network install"}));
    for (const char* event : {"processTerminated", "serviceControl", "printerDeleted", "processStart", "registryWrite"})
        EXPECT_TRUE(bench.machine.Events(event).empty()) << event;
}

TEST(Plugin, WholeFlowInItsFixedOrder) {
    PluginBench bench;
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    EXPECT_EQ(bench.Run(), 1);
    std::vector<std::string> medium;
    for (const std::string& line : bench.Log())
        if (line.rfind("--> ", 0) != 0 && line.rfind("<-- E", 0) != 0 && line.rfind("Read Section", 0) != 0 &&
            line != test::kSettingsPath && line.rfind("Number of keys", 0) != 0 && line.rfind("## ReadStr", 0) != 0)
            medium.push_back(line);
    EXPECT_EQ(medium,
              (std::vector<std::string>{
                  ">> Stating UpdateDriver Plug-in", "** InstallFolder : C:\\Program Files\\Zelt\\",
                  "Process Killed Successfully : zqnotify.exe", "** zqdevsvc Service stopped successfully",
                  "** Enumerating Printers and Faxes folder", "Port : IP_10.0.0.5", "Office is a Network Printer",
                  "DeviceInstanceID : id-1", "!! Deleting Printer  : Office", "!! Printer deleted   : Office",
                  "!! Printer Added  : rundll32 printui.dll,PrintUIEntry /if /b \"Office\" /f \"" + std::string(kInf) +
                      "\" /r \"IP_10.0.0.5\" /m \"ZQ Merle 5400 Series\" returns with 0",
                  "Updating new printer with DeviceInstanceID : id-1", "** Starting Trayapp",
                  "** Process : C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe return with 1",
                  "<< End of UpdateDriver Plug-in"}));
    // The set-up tool and the tray application come by their full paths.
    auto starts = bench.machine.Events("processStart");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0]["program"], "C:\\Windows\\system32\\rundll32.exe");
    EXPECT_EQ(starts[1]["program"], "C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe");
    auto services = bench.machine.Events("serviceControl");
    ASSERT_EQ(services.size(), 2u);
    EXPECT_EQ(services[0]["action"], "stop");
    EXPECT_EQ(services[1]["action"], "start");
}

TEST(Plugin, TrayApplicationWithBlanksInItsFolderIsNeverSearchedFor) {
    PluginBench bench;
    // A decoy that an unquoted command line would run first.
    bench.machine.WriteFile("C:\\Program.exe", "decoy");
    bench.Run();
    auto starts = bench.machine.Events("processStart");
    ASSERT_FALSE(starts.empty());
    EXPECT_EQ(starts.back()["program"], "C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe");
}

TEST(Plugin, KillsOnlyTheFirstTrayApplicationWhateverItsCase) {
    PluginBench bench;
    bench.machine.config()["processes"] =
        json::array({{{"name", "ZQNotify.EXE"}, {"pid", 300}}, {{"name", "zqnotify.exe"}, {"pid", 301}}});
    bench.Run();
    auto killed = bench.machine.Events("processTerminated");
    ASSERT_EQ(killed.size(), 1u);
    EXPECT_EQ(killed[0]["pid"], 300);
    EXPECT_TRUE(Contains(bench.Log(), "Process Killed Successfully : zqnotify.exe"));
}

TEST(Plugin, TrayApplicationNotRunningIsStartedAllTheSame) {
    PluginBench bench;
    bench.machine.config()["processes"] = json::array();
    bench.Run();
    EXPECT_TRUE(bench.machine.Events("processTerminated").empty());
    EXPECT_TRUE(
        Contains(bench.Log(), "** Process : C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe return with 1"));
}

TEST(ProcessControl, KillProcessAnswers) {
    PluginBench bench;
    bench.machine.config()["processes"] =
        json::array({{{"name", "zqnotify.exe"}, {"pid", 5}, {"terminateFails", true}}});
    bench.Run("lanpatch.exe");  // only to make the process object
    PluginBench fresh;
    fresh.machine.config()["snapshotFails"] = true;
    fresh.Run();
    EXPECT_TRUE(Contains(bench.Log(), "Failed to Kill Process : zqnotify.exe"));
    EXPECT_TRUE(Contains(fresh.Log(), "CreateToolhelp32Snapshot Failed "));
}

struct ServiceCase {
    const char* why;
    json services;
    bool scmOpenFails;
    int action;
    ErrorCode expected;
    std::vector<std::string> lines;
};

TEST(ProcessControl, ServiceAnswers) {
    const ServiceCase cases[] = {
        {"stop a running service",
         {{"zqdevsvc", {{"state", "running"}}}},
         false,
         kServiceStop,
         0,
         {"** zqdevsvc Service stopped successfully"}},
        {"start a stopped service", {{"zqdevsvc", {{"state", "stopped"}}}}, false, kServiceStart, 0, {}},
        {"stop a stopped service",
         {{"zqdevsvc", {{"state", "stopped"}}}},
         false,
         kServiceStop,
         1062,
         {"## The service has not been started.\r"}},
        {"start a running service",
         {{"zqdevsvc", {{"state", "running"}}}},
         false,
         kServiceStart,
         1056,
         {"## An instance of the service is already running.\r"}},
        {"a missing service",
         json::object(),
         false,
         kServiceStop,
         1060,
         {"## The specified service does not exist as an installed service.\r"}},
        {"no control manager",
         {{"zqdevsvc", {{"state", "running"}}}},
         true,
         kServiceStop,
         5,
         {"## Access is denied.\r"}},
        {"another action asks nothing", {{"zqdevsvc", {{"state", "running"}}}}, false, 2, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TestMachine machine;
        machine.MakeFolder("C:\\Temp");
        machine.config()["services"] = c.services;
        machine.config()["scmOpenFails"] = c.scmOpenFails;
        LauncherProcess process(machine.Load().platform());
        process.g_logFile.SetLevel(LOG_LOW);
        EXPECT_EQ(ChangeServiceState(process, L"zqdevsvc", c.action), c.expected);
        // The system's text keeps its line end: CR LF, so the log line ends
        // in a CR and an empty line follows.
        std::vector<std::string> log = machine.LogMessages();
        log.erase(std::remove(log.begin(), log.end(), std::string()), log.end());
        EXPECT_EQ(log, c.lines);
    }
}

TEST(PrinterRecreation, WhichPrintersAreRecreated) {
    PluginBench bench(SettingsFile::Basic()
                          .Set("UpdateDrivers", "1", "model 5400 series")
                          .Set("UpdateDrivers", "2", "Other Model")
                          .Set("UpdateDrivers", "4", "Never Read"));
    bench.AddPrinter(Printer("Usb", "usb001", "Model 5400 Series"), "id-usb");
    bench.AddPrinter(Printer("Dot4", "DOT4_001", "Model 5400 Series"), "id-dot4");
    bench.AddPrinter(Printer("Lpt", "LPT1:", "Other Model"), "id-lpt");
    bench.AddPrinter(Printer("Ip", "IP_10.0.0.5", "Model 5400"), "id-partial");
    bench.AddPrinter(Printer("AfterGap", "IP_10.0.0.6", "Never Read"), "id-gap");
    bench.Run();
    std::vector<std::string> log = bench.Log();
    EXPECT_TRUE(Contains(log, "Port : USB001"));
    EXPECT_TRUE(Contains(log, " Usb is a USB Printer"));
    EXPECT_TRUE(Contains(log, "Dot4 is a Network Printer"));
    EXPECT_TRUE(Contains(log, "Lpt is a Network Printer"));
    EXPECT_FALSE(Contains(log, "Ip is a Network Printer"));
    EXPECT_FALSE(Contains(log, "AfterGap is a Network Printer"));
    EXPECT_FALSE(Contains(log, "No matching printer found"));

    std::vector<std::string> deleted, added;
    for (const json& e : bench.machine.Events("printerDeleted")) deleted.push_back(e["name"]);
    for (const json& e : bench.machine.Events("printerAdded")) added.push_back(e["name"]);
    EXPECT_EQ(deleted, (std::vector<std::string>{"Dot4", "Lpt"}));
    EXPECT_EQ(added, (std::vector<std::string>{"Dot4", "Lpt"}));

    // Each keeps its own identifier, with the marker, on the new printer.
    json state = bench.State();
    for (const auto& [name, id] : {std::pair{"Dot4", "id-dot4"}, std::pair{"Lpt", "id-lpt"}}) {
        const json& data = state["registry"][kDriverData + name + "\\PrinterDriverData"];
        EXPECT_EQ(data["SoftwareCUEContextID"], id) << name;
        EXPECT_EQ(data["AiODDPnPWorked"], 1) << name;
    }
    EXPECT_EQ(state["printers"].size(), 5u);
}

// What the pass did with each printer it took up.
std::vector<std::pair<std::string, std::string>> Outcomes(LauncherProcess& process) {
    std::vector<std::pair<std::string, std::string>> outcomes;
    for (const PrinterResult& result : process.PrinterResults)
        outcomes.emplace_back(Utf16ToUtf8(result.name), std::string(PrinterOutcomeName(result.outcome)));
    return outcomes;
}

const json* FindPrinter(const json& state, const std::string& name) {
    for (const json& printer : state["printers"])
        if (printer["name"] == name) return &printer;
    return nullptr;
}

TEST(PrinterRecreation, APrinterThatCannotBeOpenedOrDeletedIsKept) {
    for (const char* failure : {"openFails", "deleteFails"}) {
        SCOPED_TRACE(failure);
        PluginBench bench;
        json printer = Printer("Office", "IP_10.0.0.5");
        printer[failure] = true;
        bench.AddPrinter(printer, "id-1");
        bench.AddPrinter(Printer("Second", "IP_10.0.0.6"), "id-2");
        bench.Run();
        std::vector<std::string> log = bench.Log();
        const std::string failed = std::string(failure) == "openFails" ? "OpenPrinter Failed : Access is denied. "
                                                                       : "!! DeletePrinter Failed : Access is denied. ";
        // Right after the failure's own line.
        std::vector<std::string> from = test::LinesFrom(log, failed);
        ASSERT_GE(from.size(), 2u);
        EXPECT_EQ(from[1], "## Printer kept : Office");
        // The set-up tool never sees it, nothing is written for it, and the
        // next printer is still taken up.
        std::vector<std::string> added;
        for (const json& e : bench.machine.Events("printerAdded")) added.push_back(e["name"]);
        EXPECT_EQ(added, std::vector<std::string>{"Second"});
        for (const json& write : bench.machine.Events("registryWrite"))
            EXPECT_EQ(write["key"].get<std::string>().find("\\Office\\"), std::string::npos);
        EXPECT_EQ(Outcomes(bench.process()),
                  (std::vector<std::pair<std::string, std::string>>{{"Office", "kept"}, {"Second", "re-created"}}));
        EXPECT_EQ(bench.State()["registry"][kDriverData + "Office\\PrinterDriverData"]["SoftwareCUEContextID"], "id-1");
    }
}

TEST(PrinterRecreation, APrinterTheSetUpToolDidNotRecreateIsRestored) {
    PluginBench bench;
    bench.machine.config()["printui"] = {{"failsFor", {"Office"}}, {"runSeconds", 2}};
    json office = Printer("Office", "IP_10.0.0.5", "ZQ Merle 5400 Series");
    office.update({{"shareName", "office"},
                   {"location", "2nd floor"},
                   {"comment", "by the door"},
                   {"printProcessor", "WinPrint"},
                   {"dataType", "RAW"},
                   {"separatorFile", "C:\\sep.sep"},
                   {"parameters", "p=1"},
                   {"attributes", 8},
                   {"priority", 5},
                   {"defaultPriority", 3},
                   {"startTime", 60},
                   {"untilTime", 1200}});
    bench.AddPrinter(office, "id-office");
    bench.AddPrinter(Printer("Hall", "IP_10.0.0.6"), "id-hall");
    bench.Run();
    std::vector<std::string> log = bench.Log();

    // The tool's exit code is logged, not the wait's result.
    std::vector<std::string> added = LinesStartingWith(log, "!! Printer Added  : ");
    ASSERT_EQ(added.size(), 2u);
    EXPECT_NE(added[0].find("/b \"Office\""), std::string::npos);
    EXPECT_NE(added[0].find("returns with 1"), std::string::npos);
    EXPECT_NE(added[1].find("returns with 0"), std::string::npos);
    std::vector<std::string> from = test::LinesFrom(log, added[0]);
    ASSERT_GE(from.size(), 3u);
    EXPECT_EQ(from[1], "## Printer not re-created : Office");
    EXPECT_EQ(from[2], "!! Printer restored : Office");
    EXPECT_FALSE(Contains(log, "Updating new printer with DeviceInstanceID : id-office"));
    EXPECT_TRUE(Contains(log, "Updating new printer with DeviceInstanceID : id-hall"));

    // Back with its old driver, port, record and identifier, without the
    // re-created marker.
    json state = bench.State();
    const json* restored = FindPrinter(state, "Office");
    ASSERT_NE(restored, nullptr);
    json expected = office;
    expected["openFails"] = false;
    expected["deleteFails"] = false;
    EXPECT_EQ(*restored, expected);
    const json& data = state["registry"][kDriverData + "Office\\PrinterDriverData"];
    EXPECT_EQ(data["SoftwareCUEContextID"], "id-office");
    EXPECT_FALSE(data.contains("AiODDPnPWorked"));
    EXPECT_EQ(state["registry"][kDriverData + "Hall\\PrinterDriverData"]["AiODDPnPWorked"], 1);
    EXPECT_EQ(Outcomes(bench.process()),
              (std::vector<std::pair<std::string, std::string>>{{"Office", "restored"}, {"Hall", "re-created"}}));
    ASSERT_EQ(bench.machine.Events("printerRestored").size(), 1u);
}

TEST(PrinterRecreation, ARestoreThatFailsIsSaid) {
    PluginBench bench;
    bench.machine.config()["printui"] = {{"fails", true}, {"runSeconds", 2}};
    bench.machine.config()["addPrinterFails"] = true;
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    bench.Run();
    std::vector<std::string> from = test::LinesFrom(bench.Log(), "## Printer not re-created : Office");
    ASSERT_GE(from.size(), 2u);
    EXPECT_EQ(from[1], "## Printer restore failed : Office");
    EXPECT_FALSE(Contains(bench.Log(), "!! Printer restored : Office"));
    EXPECT_TRUE(bench.machine.Events("registryWrite").empty());
    EXPECT_EQ(Outcomes(bench.process()),
              (std::vector<std::pair<std::string, std::string>>{{"Office", "restore failed"}}));
}

TEST(PrinterRecreation, ADoubleQuoteLeavesThePrinterAlone) {
    struct Case {
        const char* why;
        json printer;
    } cases[] = {
        {"in the name", Printer("Office\" /b \"Hijacked", "IP_10.0.0.5")},
        {"in the port", Printer("Office", "IP_10.0.0.5\" /f \"C:\\evil.inf")},
        {"in the driver", Printer("Office", "IP_10.0.0.5", "ZQ Merle 5400 Series\"")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        PluginBench bench(SettingsFile::Basic()
                              .Set("UpdateDrivers", "1", "ZQ Merle 5400 Series")
                              .Set("UpdateDrivers", "2", "ZQ Merle 5400 Series\""));
        bench.AddPrinter(c.printer, "id-1");
        bench.Run();
        std::vector<std::string> log = bench.Log();
        const std::string name = c.printer["name"];
        std::vector<std::string> from = test::LinesFrom(log, name + " is a Network Printer");
        ASSERT_GE(from.size(), 2u);
        EXPECT_EQ(from[1], "## Printer skipped (double quote) : " + name);
        // It still counts as found.
        EXPECT_FALSE(Contains(log, "No matching printer found"));
        for (const char* event : {"printerDeleted", "printerAdded", "registryWrite"})
            EXPECT_TRUE(bench.machine.Events(event).empty()) << event;
        EXPECT_EQ(bench.State()["printers"].size(), 1u);
        EXPECT_EQ(Outcomes(bench.process()), (std::vector<std::pair<std::string, std::string>>{{name, "skipped"}}));
    }
}

TEST(PrinterRecreation, AQuoteInsideTheInfPathTouchesNoPrinter) {
    PluginBench bench;
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    bench.Run("lanpatch.exe \"c:\\package\\dri\"ver\\zqmerle.inf\"");
    EXPECT_TRUE(bench.machine.Events("printerDeleted").empty());
    EXPECT_TRUE(bench.machine.Events("printerAdded").empty());
    EXPECT_EQ(bench.State()["printers"].size(), 1u);
}

TEST(PrinterRecreation, TheIdentifierIsCarriedOverWholeOrNotAtAll) {
    const std::string longId(300, 'x');
    struct Case {
        const char* why;
        json value;  // SoftwareCUEContextID of the old printer; null: none
        std::vector<std::string> lines;
        json written;  // on the new printer; null: not written
    } cases[] = {
        {"300 characters",
         longId,
         {"DeviceInstanceID : " + longId, "Updating new printer with DeviceInstanceID : " + longId},
         longId},
        {"not a string", 7, {"## DeviceInstanceID not readable : Office"}, nullptr},
        {"no such value", nullptr, {"DeviceInstanceID : ", "Updating new printer with DeviceInstanceID : "}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        PluginBench bench;
        bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "unused");
        json& oldData = bench.machine.config()["registry"][kDriverData + "Office\\PrinterDriverData"];
        if (c.value.is_null()) oldData.erase("SoftwareCUEContextID");
        else oldData["SoftwareCUEContextID"] = c.value;
        bench.Run();
        std::vector<std::string> log = bench.Log();
        std::vector<std::string> idLines = LinesStartingWith(log, "DeviceInstanceID");
        for (const auto& line : LinesStartingWith(log, "## DeviceInstanceID")) idLines.push_back(line);
        for (const auto& line : LinesStartingWith(log, "Updating new printer")) idLines.push_back(line);
        EXPECT_EQ(idLines, c.lines);
        json state = bench.State();
        const json& data = state["registry"][kDriverData + "Office\\PrinterDriverData"];
        if (c.written.is_null()) EXPECT_FALSE(data.contains("SoftwareCUEContextID"));
        else EXPECT_EQ(data["SoftwareCUEContextID"], c.written);
        EXPECT_EQ(data["AiODDPnPWorked"], 1);
    }
}

TEST(PrinterRecreation, EnumerationFailing) {
    PluginBench bench;
    bench.machine.config()["enumPrintersFails"] = true;
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    bench.Run();
    std::vector<std::string> log = bench.Log();
    std::vector<std::string> after = test::LinesFrom(log, "** Enumerating Printers and Faxes folder");
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after[1], "** Starting Trayapp");
    EXPECT_TRUE(bench.machine.Events("printerDeleted").empty());
}

TEST(PrinterRecreation, NoPrinterIsDeletedWhenTheInfFileIsMissing) {
    struct Case {
        const char* why;
        std::string commandLine;
        std::string logged;
    } cases[] = {
        {"no such file", "lanpatch.exe c:\\package\\driver\\missing.inf", "c:\\package\\driver\\missing.inf"},
        {"a folder is not a file", "c:\\package\\driver\\lanpatch.exe", "c:\\package\\driver\\"},
        {"quoted missing file", "lanpatch.exe \"c:\\package\\x y.inf\"", "c:\\package\\x y.inf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        PluginBench bench;
        bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
        bench.Run(c.commandLine);
        std::vector<std::string> log = bench.Log();
        EXPECT_TRUE(Contains(log, "## INF file not found : " + c.logged));
        EXPECT_TRUE(LinesStartingWith(log, "Port : ").empty());
        EXPECT_FALSE(Contains(log, "No matching printer found"));
        EXPECT_TRUE(bench.machine.Events("printerDeleted").empty());
        EXPECT_EQ(bench.State()["printers"].size(), 1u);
        // The tray application and the service come back all the same.
        EXPECT_TRUE(Contains(log, "<< End of UpdateDriver Plug-in"));
    }
}

TEST(PrinterRecreation, AQuotedInfPathReachesTheSetUpToolQuotedOnce) {
    // As "%sourcepath%" gives it, in a package folder with a blank.
    PluginBench bench;
    bench.machine.WriteFile("C:\\My Package\\drv.inf", "[Version]");
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    bench.Run("lanpatch.exe \"c:\\my package\\drv.inf\"");
    auto added = bench.machine.Events("printerAdded");
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0]["inf"], "c:\\my package\\drv.inf");
    EXPECT_EQ(added[0]["ok"], true);
    EXPECT_TRUE(Contains(bench.Log(),
                         "!! Printer Added  : rundll32 printui.dll,PrintUIEntry /if /b \"Office\" /f "
                         "\"c:\\my package\\drv.inf\" /r \"IP_10.0.0.5\" /m \"ZQ Merle 5400 Series\" "
                         "returns with 0"));
    EXPECT_EQ(Outcomes(bench.process()), (std::vector<std::pair<std::string, std::string>>{{"Office", "re-created"}}));
}

TEST(PrinterRecreation, NoPrintersOrNoMatch) {
    PluginBench bench;
    bench.Run();
    std::vector<std::string> after = test::LinesFrom(bench.Log(), "** Enumerating Printers and Faxes folder");
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(after[1], "No matching printer found");
}

}  // namespace
}  // namespace zq
