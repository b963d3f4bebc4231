// The preview's summary of one run, made from journals and logs as the
// simulated machine writes them.
#include <gtest/gtest.h>

#include "authoring/preview_summary.h"

namespace zq::sim {
namespace {

using nlohmann::json;

json Event(const std::string& name, json fields = json::object()) {
    fields["event"] = name;
    return fields;
}

json Started(const std::string& commandLine, bool started = true, int error = 0) {
    return Event("processStart", {{"commandLine", commandLine}, {"started", started}, {"error", error}});
}

const json kFinish = Event("finishScreenShown", {{"headline", "Refreshed"}});
const json kRestart = Event("restartRequested", {{"flags", 18}});

struct SummaryRow {
    const char* name;
    std::vector<json> journal;
    std::vector<std::string> log;
    PreviewVerdict verdict;
    std::string osEntry;
    std::optional<std::string> message;
    std::vector<std::string> programs;
    std::vector<std::string> printers;
    bool restart;
};

TEST(PreviewSummary, VerdictProgramsPrintersAndRestart) {
    const SummaryRow rows[] = {
        {"unsupported Windows",
         {Event("start"), Event("messageBox", {{"text", "Not for this Windows."}}), Event("exit")},
         {"+++       Starting : zqmerlesetup.exe", "This Operating is not Valid. OS: "},
         PreviewVerdict::UnsupportedWindows,
         "",
         "Not for this Windows.",
         {},
         {},
         false},
        {"driver not installed",
         {Event("start"), Event("messageBox", {{"text", "No driver.\nInstall it."}}), Event("exit")},
         {"Valid OS found. OS: 600_64", "Service Pack Version : 1.0"},
         PreviewVerdict::DriverNotInstalled,
         "600_64",
         "No driver.\nInstall it.",
         {},
         {},
         false},
        {"ran, with a failed start, the printer update and a restart",
         {Event("start"), Started("\"c:\\pkg\\setup\\a.exe\""), Started("c:\\pkg\\setup\\gone.exe /q", false, 2),
          Event("printerDeleted", {{"name", "Office"}, {"ok", true}}),
          Started("rundll32 printui.dll,PrintUIEntry /if /b \"Office\" /f \"d.inf\" /r \"IP_1\" /m \"M\""),
          Event("printerAdded", {{"name", "Office"}, {"port", "IP_1"}, {"driver", "M"}, {"ok", false}}),
          Event("printerRestored", {{"name", "Office"}, {"port", "IP_1"}, {"driver", "Old"}, {"ok", true}}),
          Event("printerDeleted", {{"name", "Lab"}, {"ok", false}}), kFinish, kRestart, Event("exit")},
         {"Valid OS found. OS: 501"},
         PreviewVerdict::Ran,
         "501",
         std::nullopt,
         {"\"c:\\pkg\\setup\\a.exe\"", "c:\\pkg\\setup\\gone.exe /q (not started: error 2)"},
         {"deleted Office", "added Office on IP_1 (M) (failed)", "restored Office on IP_1 (Old)",
          "deleted Lab (failed)"},
         true},
        {"ran, restart declined with the check box",
         {Event("start"), kFinish, Event("finishScreenClosed", {{"result", "finish"}, {"checkBoxTicked", true}}),
          Event("exit")},
         {"Valid OS found. OS: 501"},
         PreviewVerdict::Ran,
         "501",
         std::nullopt,
         {},
         {},
         false},
        {"second instance",
         {Event("start"), Event("exit")},
         {"## Mutex exist: An instance of the same Application is running."},
         PreviewVerdict::Refused,
         "",
         std::nullopt,
         {},
         {},
         false},
    };
    for (const SummaryRow& row : rows) {
        SCOPED_TRACE(row.name);
        const PreviewSummary summary = SummariseRun(row.journal, row.log);
        EXPECT_EQ(summary.verdict, row.verdict);
        EXPECT_EQ(summary.osEntry, row.osEntry);
        EXPECT_EQ(summary.message, row.message);
        EXPECT_EQ(summary.programs, row.programs);
        EXPECT_EQ(summary.printers, row.printers);
        EXPECT_EQ(summary.restartRequested, row.restart);
    }
}

TEST(PreviewSummary, PrintedSummaryShowsTheMessageText) {
    PreviewSummary summary;
    summary.verdict = PreviewVerdict::DriverNotInstalled;
    summary.osEntry = "501";
    summary.message = "No driver.\nInstall it.";
    const std::string text = FormatSummary("== xp", summary);
    EXPECT_EQ(text,
              "== xp\n"
              "  verdict:   refused: driver not installed (os_list entry 501)\n"
              "  message 8: \"No driver.\n"
              "             Install it.\"\n");
}

TEST(PreviewSummary, RegistryReadsWithTheirView) {
    auto read = [](const std::string& key, json view, bool found) {
        return Event("registryRead", {{"key", key}, {"view", view}, {"found", found}});
    };
    const std::vector<json> journal = {
        Event("start"),
        read("HKLM\\SOFTWARE\\Wow6432Node\\Zelt\\Pictavo", "32-bit", true),
        read("HKLM\\SYSTEM\\P\\PrinterDriverData", "64-bit", false),
        read("HKLM\\SYSTEM\\P\\PrinterDriverData", "64-bit", false),  // read again: listed once
        read("HKLM\\SYSTEM\\P\\PrinterDriverData", "64-bit", true),   // found later: listed again
        kFinish,
        Event("exit"),
    };
    const PreviewSummary summary = SummariseRun(journal, {"Valid OS found. OS: 502_64"});
    EXPECT_EQ(summary.registry, (std::vector<std::string>{"HKLM\\SOFTWARE\\Wow6432Node\\Zelt\\Pictavo (32-bit view)",
                                                          "HKLM\\SYSTEM\\P\\PrinterDriverData (64-bit view, not found)",
                                                          "HKLM\\SYSTEM\\P\\PrinterDriverData (64-bit view)"}));
    EXPECT_NE(FormatSummary("== m", summary)
                  .find("  registry:  HKLM\\SOFTWARE\\Wow6432Node\\Zelt\\Pictavo (32-bit view)\n"
                        "             HKLM\\SYSTEM\\P\\PrinterDriverData (64-bit view, not found)\n"),
              std::string::npos);

    // A 32-bit machine has one view: its reads are not listed.
    const PreviewSummary oneView =
        SummariseRun({Event("start"), read("HKLM\\SOFTWARE\\Zelt\\Pictavo", nullptr, true), kFinish, Event("exit")},
                     {"Valid OS found. OS: 501"});
    EXPECT_TRUE(oneView.registry.empty());
    EXPECT_EQ(FormatSummary("== m", oneView).find("registry:"), std::string::npos);
}

}  // namespace
}  // namespace zq::sim
