// The printer-driver update plug-in on simulated machines: which printers it
// re-creates, keeps, skips or restores. (Its whole flow with two printers is
// a run scenario: tests/host/golden/ holds it.)
#include <gtest/gtest.h>

#include <algorithm>

#include "plugin/update_driver_plugin.h"
#include "tests/support/plugin_bench.h"

namespace zq {
namespace {

using nlohmann::json;
using test::Contains;
using test::HasRun;
using test::PluginBench;
using test::Printer;
using test::SettingsFile;
using Lines = std::vector<std::string>;

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
    EXPECT_TRUE(HasRun(bench.Log(), {"Port : USB001", " Usb is a USB Printer"}));
    EXPECT_EQ(bench.Outcomes(), (Lines{"Dot4: re-created", "Lpt: re-created"}));
    // Each keeps its own identifier, with the marker, on the new printer.
    EXPECT_EQ(bench.DriverData("Lpt"), (json{{"SoftwareCUEContextID", "id-lpt"}, {"AiODDPnPWorked", 1}}));
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
        EXPECT_EQ(bench.Outcomes(), (Lines{"Office: kept", "Second: re-created"}));
        EXPECT_EQ(bench.DriverData("Office"), (json{{"SoftwareCUEContextID", "id-1"}}));
    }
}

// Back with its old driver, port, whole record and identifier, without the marker.
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
    office.update({{"openFails", false}, {"deleteFails", false}});
    EXPECT_TRUE(HasRun(bench.Log(), {"## Printer not re-created : Office", "!! Printer restored : Office"}));
    const json printers = bench.State()["printers"];
    EXPECT_NE(std::find(printers.begin(), printers.end(), office), printers.end()) << printers.dump(1);
    EXPECT_EQ(bench.DriverData("Office"), (json{{"SoftwareCUEContextID", "id-office"}}));
    EXPECT_EQ(bench.Outcomes(), (Lines{"Office: restored", "Hall: re-created"}));
}

TEST(PrinterRecreation, ARestoreThatFailsIsSaid) {
    PluginBench bench;
    bench.machine.config()["printui"] = {{"fails", true}, {"runSeconds", 2}};
    bench.machine.config()["addPrinterFails"] = true;
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    bench.Run();
    EXPECT_TRUE(HasRun(bench.Log(), {"## Printer not re-created : Office", "## Printer restore failed : Office"}));
    EXPECT_EQ(bench.Outcomes(), Lines{"Office: restore failed"});
}

TEST(PrinterRecreation, ADoubleQuoteLeavesThePrinterAlone) {
    PluginBench bench;
    bench.AddPrinter(Printer("Office\" /b \"Hijacked", "IP_10.0.0.5"), "id-1");
    bench.Run();
    EXPECT_TRUE(Contains(bench.Log(), "## Printer skipped (double quote) : Office\" /b \"Hijacked"));
    EXPECT_FALSE(Contains(bench.Log(), "No matching printer found")) << "it still counts as found";
    EXPECT_TRUE(bench.machine.Events("printerDeleted").empty());
    EXPECT_EQ(bench.Outcomes(), Lines{"Office\" /b \"Hijacked: skipped"});
}

TEST(PrinterRecreation, TheIdentifierIsCarriedOverWholeOrNotAtAll) {
    const std::string longId(300, 'x');
    struct Case {
        json value;  // SoftwareCUEContextID of the old printer
        std::string line;
        json data;  // on the new printer
    } cases[] = {
        {longId,
         "Updating new printer with DeviceInstanceID : " + longId,
         {{"SoftwareCUEContextID", longId}, {"AiODDPnPWorked", 1}}},
        {7, "## DeviceInstanceID not readable : Office", {{"AiODDPnPWorked", 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        PluginBench bench;
        bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "unused");
        bench.machine.config()["registry"][test::kDriverData + "Office\\PrinterDriverData"]["SoftwareCUEContextID"] =
            c.value;
        bench.Run();
        EXPECT_TRUE(Contains(bench.Log(), c.line));
        EXPECT_EQ(bench.DriverData("Office"), c.data);
    }
}

TEST(PrinterRecreation, EnumerationFailing) {
    PluginBench bench;
    bench.machine.config()["enumPrintersFails"] = true;
    bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
    bench.Run();
    EXPECT_TRUE(HasRun(bench.Log(), {"** Enumerating Printers and Faxes folder", "** Starting Trayapp"}));
}

// The INF path is logged without its quotes; a folder is no file. The tray
// application and the service come back all the same.
TEST(PrinterRecreation, NoPrinterIsTouchedWithoutTheInfFile) {
    for (const auto& [inf, logged] : {std::pair{"c:\\package\\driver\\", "c:\\package\\driver\\"},
                                      {"\"c:\\package\\x y.inf\"", "c:\\package\\x y.inf"}}) {
        SCOPED_TRACE(inf);
        PluginBench bench;
        bench.AddPrinter(Printer("Office", "IP_10.0.0.5"), "id-1");
        bench.Run(std::string("lanpatch.exe ") + inf);
        EXPECT_TRUE(Contains(bench.Log(), std::string("## INF file not found : ") + logged));
        EXPECT_TRUE(bench.machine.Events("printerDeleted").empty());
        EXPECT_TRUE(Contains(bench.Log(), "** Starting Trayapp"));
    }
}

}  // namespace
}  // namespace zq
