// The printer-driver update plug-in on simulated machines: its flow, and
// which printers it re-creates, keeps, skips or restores.
#include <gtest/gtest.h>

#include <algorithm>

#include "plugin/update_driver_plugin.h"
#include "tests/support/plugin_bench.h"

namespace zq {
namespace {

using nlohmann::json;
using test::Contains;
using test::HasRun;
using test::kInf;
using test::PluginBench;
using test::Printer;
using test::SettingsFile;
using test::Values;
using Lines = std::vector<std::string>;

const std::string kTray = "C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe";

TEST(Plugin, RefusedOnAnotherMajorVersionTouchingNothing) {
    PluginBench bench;
    bench.machine.config()["os"] = {{"major", 6}, {"minor", 0}, {"bits", 32}};
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    EXPECT_EQ(bench.Run(), 0);
    EXPECT_EQ(bench.Log(),
              (Lines{">> Stating UpdateDriver Plug-in", "** OS is not XP. This is a fix for XP network install"}));
    for (const char* event : {"processTerminated", "serviceControl", "printerDeleted", "processStart", "registryWrite"})
        EXPECT_TRUE(bench.machine.Events(event).empty()) << event;
}

TEST(Plugin, WholeFlowInItsFixedOrder) {
    PluginBench bench;
    bench.machine.WriteFile("C:\\Program.exe", "decoy");  // what an unquoted tray path would run
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    EXPECT_EQ(bench.Run(), 1);
    EXPECT_EQ(test::WithoutTrace(bench.Log()),
              (Lines{">> Stating UpdateDriver Plug-in", "** InstallFolder : C:\\Program Files\\Zelt\\",
                     "Process Killed Successfully : zqnotify.exe", "** zqdevsvc Service stopped successfully",
                     "** Enumerating Printers and Faxes folder", "Port : IP_10.0.0.5", "Office is a Network Printer",
                     "DeviceInstanceID : id-1", "!! Deleting Printer  : Office", "!! Printer deleted   : Office",
                     "!! Printer Added  : rundll32 printui.dll,PrintUIEntry /if /b \"Office\" /f \"" +
                         std::string(kInf) + "\" /r \"IP_10.0.0.5\" /m \"ZQ Merle 5400 Series\" returns with 0",
                     "Updating new printer with DeviceInstanceID : id-1", "** Starting Trayapp",
                     "** Process : " + kTray + " return with 1", "<< End of UpdateDriver Plug-in"}));
    // The set-up tool and the tray application come by their full paths.
    EXPECT_EQ(Values(bench.machine.Events("processStart"), "program"),
              (Lines{"C:\\Windows\\system32\\rundll32.exe", kTray}));
    EXPECT_EQ(Values(bench.machine.Events("serviceControl"), "action"), (Lines{"stop", "start"}));
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
    const Lines log = bench.Log();
    EXPECT_TRUE(HasRun(log, {"Port : USB001", " Usb is a USB Printer"}));
    EXPECT_TRUE(Contains(log, "Dot4 is a Network Printer"));
    EXPECT_TRUE(Contains(log, "Lpt is a Network Printer"));
    EXPECT_FALSE(Contains(log, "Ip is a Network Printer"));
    EXPECT_FALSE(Contains(log, "AfterGap is a Network Printer"));
    EXPECT_FALSE(Contains(log, "No matching printer found"));
    EXPECT_EQ(Values(bench.machine.Events("printerDeleted"), "name"), (Lines{"Dot4", "Lpt"}));
    EXPECT_EQ(Values(bench.machine.Events("printerAdded"), "name"), (Lines{"Dot4", "Lpt"}));
    // Each keeps its own identifier, with the marker, on the new printer.
    for (const auto& [name, id] : {std::pair{"Dot4", "id-dot4"}, std::pair{"Lpt", "id-lpt"}}) {
        EXPECT_EQ(bench.DriverData(name), (json{{"SoftwareCUEContextID", id}, {"AiODDPnPWorked", 1}})) << name;
    }
    EXPECT_EQ(bench.State()["printers"].size(), 5u);
}

TEST(PrinterRecreation, APrinterThatCannotBeOpenedOrDeletedIsKept) {
    for (const std::string failure : {"openFails", "deleteFails"}) {
        SCOPED_TRACE(failure);
        PluginBench bench;
        json printer = Printer("Office", "IP_10.0.0.5");
        printer[failure] = true;
        bench.AddPrinter(printer, "id-1");
        bench.AddPrinter(Printer("Second", "IP_10.0.0.6"), "id-2");
        bench.Run();
        EXPECT_TRUE(HasRun(bench.Log(), {failure == "openFails" ? "OpenPrinter Failed : Access is denied. "
                                                                : "!! DeletePrinter Failed : Access is denied. ",
                                         "## Printer kept : Office"}));
        // The set-up tool never sees it, nothing is written for it, and the next printer is still taken up.
        EXPECT_EQ(Values(bench.machine.Events("printerAdded"), "name"), Lines{"Second"});
        for (const std::string& key : Values(bench.machine.Events("registryWrite"), "key"))
            EXPECT_EQ(key.find("\\Office\\"), std::string::npos);
        EXPECT_EQ(bench.Outcomes(), (Lines{"Office: kept", "Second: re-created"}));
        EXPECT_EQ(bench.DriverData("Office"), (json{{"SoftwareCUEContextID", "id-1"}}));
    }
}

TEST(PrinterRecreation, APrinterTheSetUpToolDidNotRecreateIsRestored) {
    PluginBench bench;
    bench.machine.config()["printui"] = {{"failsFor", {"Office"}}, {"runSeconds", 2}};
    json office = Printer("Office", "IP_10.0.0.5");
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
    const Lines log = bench.Log();
    // The tool's exit code is logged, not the wait's result.
    const std::string added = "!! Printer Added  : rundll32 printui.dll,PrintUIEntry /if /b \"";
    const std::string rest = "\" /f \"" + std::string(kInf) + "\" /r \"IP_10.0.0.";
    EXPECT_TRUE(HasRun(log, {added + "Office" + rest + "5\" /m \"ZQ Merle 5400 Series\" returns with 1",
                             "## Printer not re-created : Office", "!! Printer restored : Office"}));
    EXPECT_TRUE(Contains(log, added + "Hall" + rest + "6\" /m \"ZQ Merle 5400 Series\" returns with 0"));
    EXPECT_FALSE(Contains(log, "Updating new printer with DeviceInstanceID : id-office"));
    EXPECT_TRUE(Contains(log, "Updating new printer with DeviceInstanceID : id-hall"));
    // Back with its old driver, port, record and identifier, without the re-created marker.
    office.update({{"openFails", false}, {"deleteFails", false}});
    const json printers = bench.State()["printers"];
    EXPECT_NE(std::find(printers.begin(), printers.end(), office), printers.end()) << printers.dump(1);
    EXPECT_EQ(bench.DriverData("Office"), (json{{"SoftwareCUEContextID", "id-office"}}));
    EXPECT_EQ(bench.DriverData("Hall")["AiODDPnPWorked"], 1);
    EXPECT_EQ(bench.Outcomes(), (Lines{"Office: restored", "Hall: re-created"}));
    EXPECT_EQ(bench.machine.Events("printerRestored").size(), 1u);
}

TEST(PrinterRecreation, ARestoreThatFailsIsSaid) {
    PluginBench bench;
    bench.machine.config()["printui"] = {{"fails", true}, {"runSeconds", 2}};
    bench.machine.config()["addPrinterFails"] = true;
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    bench.Run();
    EXPECT_TRUE(HasRun(bench.Log(), {"## Printer not re-created : Office", "## Printer restore failed : Office"}));
    EXPECT_FALSE(Contains(bench.Log(), "!! Printer restored : Office"));
    EXPECT_TRUE(bench.machine.Events("registryWrite").empty());
    EXPECT_EQ(bench.Outcomes(), Lines{"Office: restore failed"});
}

TEST(PrinterRecreation, ADoubleQuoteLeavesThePrinterAlone) {
    PluginBench bench(SettingsFile::Basic().Set("UpdateDrivers", "1", "ZQ Merle 5400 Series"));
    bench.AddPrinter(Printer("Office\" /b \"Hijacked", "IP_10.0.0.5"), "id-1");
    bench.Run();
    const Lines log = bench.Log();
    EXPECT_TRUE(HasRun(log, {"Office\" /b \"Hijacked is a Network Printer",
                             "## Printer skipped (double quote) : Office\" /b \"Hijacked"}));
    EXPECT_FALSE(Contains(log, "No matching printer found")) << "it still counts as found";
    for (const char* event : {"printerDeleted", "printerAdded", "registryWrite"})
        EXPECT_TRUE(bench.machine.Events(event).empty()) << event;
    EXPECT_EQ(bench.State()["printers"].size(), 1u);
    EXPECT_EQ(bench.Outcomes(), Lines{"Office\" /b \"Hijacked: skipped"});
}

TEST(PrinterRecreation, TheIdentifierIsCarriedOverWholeOrNotAtAll) {
    const std::string longId(300, 'x');
    const std::string updating = "Updating new printer with DeviceInstanceID : ";
    struct Case {
        const char* why;
        json value;  // SoftwareCUEContextID of the old printer; null: none
        Lines lines;
        json data;  // on the new printer
    } cases[] = {
        {"300 characters", longId, {"DeviceInstanceID : " + longId, "!! Deleting Printer  : Office"}, longId},
        {"not a string", 7, {"## DeviceInstanceID not readable : Office", "!! Deleting Printer  : Office"}, nullptr},
        {"no such value", nullptr, {"DeviceInstanceID : ", "!! Deleting Printer  : Office"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        PluginBench bench;
        bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "unused");
        json& oldData = bench.machine.config()["registry"][test::kDriverData + "Office\\PrinterDriverData"];
        if (c.value.is_null()) oldData.erase("SoftwareCUEContextID");
        else oldData["SoftwareCUEContextID"] = c.value;
        bench.Run();
        const Lines log = test::WithoutTrace(bench.Log());
        EXPECT_TRUE(HasRun(log, c.lines));
        EXPECT_EQ(test::LinesStartingWith(log, updating),
                  c.data.is_null() ? Lines{} : Lines{updating + c.data.get<std::string>()});
        json expected = {{"AiODDPnPWorked", 1}};
        if (!c.data.is_null()) expected["SoftwareCUEContextID"] = c.data;
        EXPECT_EQ(bench.DriverData("Office"), expected);
    }
}

TEST(PrinterRecreation, EnumerationFailing) {
    PluginBench bench;
    bench.machine.config()["enumPrintersFails"] = true;
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    bench.Run();
    EXPECT_TRUE(HasRun(bench.Log(), {"** Enumerating Printers and Faxes folder", "** Starting Trayapp"}));
    EXPECT_TRUE(bench.machine.Events("printerDeleted").empty());
}

TEST(PrinterRecreation, NoPrinterIsTouchedWithoutTheInfFile) {
    struct Case {
        const char *commandLine, *logged;
    } cases[] = {
        {"lanpatch.exe c:\\package\\driver\\missing.inf", "c:\\package\\driver\\missing.inf"},
        {"c:\\package\\driver\\lanpatch.exe", "c:\\package\\driver\\"},  // a folder is not a file
        {"lanpatch.exe \"c:\\package\\x y.inf\"", "c:\\package\\x y.inf"},
        {"lanpatch.exe \"c:\\package\\dri\"ver\\zqmerle.inf\"", "c:\\package\\dri\"ver\\zqmerle.inf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        PluginBench bench;
        bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
        bench.Run(c.commandLine);
        const Lines log = bench.Log();
        EXPECT_TRUE(Contains(log, std::string("## INF file not found : ") + c.logged));
        EXPECT_TRUE(test::LinesStartingWith(log, "Port : ").empty());
        EXPECT_FALSE(Contains(log, "No matching printer found"));
        EXPECT_TRUE(bench.machine.Events("printerDeleted").empty());
        EXPECT_EQ(bench.State()["printers"].size(), 1u);
        // The tray application and the service come back all the same.
        EXPECT_TRUE(HasRun(log, {"** Starting Trayapp", "** Process : " + kTray + " return with 1"}));
    }
}

TEST(PrinterRecreation, AQuotedInfPathReachesTheSetUpToolQuotedOnce) {
    // As "%sourcepath%" gives it, in a package folder with a blank.
    PluginBench bench;
    bench.machine.WriteFile("C:\\My Package\\drv.inf", "[Version]");
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    bench.Run("lanpatch.exe \"c:\\my package\\drv.inf\"");
    EXPECT_EQ(Values(bench.machine.Events("printerAdded"), "inf"), Lines{"c:\\my package\\drv.inf"});
    EXPECT_TRUE(Contains(bench.Log(),
                         "!! Printer Added  : rundll32 printui.dll,PrintUIEntry /if /b \"Office\" /f "
                         "\"c:\\my package\\drv.inf\" /r \"IP_10.0.0.5\" /m \"ZQ Merle 5400 Series\" "
                         "returns with 0"));
    EXPECT_EQ(bench.Outcomes(), Lines{"Office: re-created"});
}

}  // namespace
}  // namespace zq
