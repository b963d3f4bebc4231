// The package launch end to end on simulated machines: which programs run,
// in which order and how, the copy-progress dialog, the uninstall data
// file and the finish screen.
#include <gtest/gtest.h>

#include "tests/support/scenario.h"

namespace zq {
namespace {

using nlohmann::json;
using test::Contains;
using test::SettingsFile;
using test::StandardMachine;

// The command lines that were started, in order.
std::vector<std::string> Started(const test::TestMachine& machine) {
    std::vector<std::string> out;
    for (const json& event : machine.Events("processStart")) out.push_back(event["commandLine"]);
    return out;
}

// A machine with programs C:\Package\setup\<name> that run `seconds`.
void AddProgram(StandardMachine& machine, const std::string& name, double seconds) {
    machine.WriteFile("C:\\Package\\setup\\" + name, "program");
    machine.config()["programs"]["C:\\Package\\setup\\" + name] = {{"runSeconds", seconds}, {"exitCode", 0}};
}

json Os64() { return {{"major", 5}, {"minor", 2}, {"servicePackMajor", 2}, {"servicePackMinor", 0}, {"bits", 64}}; }

TEST(SectionLauncher, SectionByWordSize) {
    struct Case {
        const char* why;
        json os;
        std::string osList;
        std::string expected;
    } cases[] = {
        {"32-bit entry: Run", {{"major", 5}, {"minor", 1}, {"bits", 32}}, "501,502_64", "c:\\package\\setup\\a.exe"},
        {"64-bit entry: Run.x64 only", Os64(), "501,502_64", "c:\\package\\setup\\b.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic()
                                    .Set("OS_Support", "os_list", c.osList)
                                    .Set("Run", "1", "C:\\Package\\setup\\a.exe")
                                    .Set("Run.x64", "1", "C:\\Package\\setup\\b.exe"));
        machine.config()["os"] = c.os;
        AddProgram(machine, "a.exe", 1);
        AddProgram(machine, "b.exe", 1);
        machine.Run();
        EXPECT_EQ(Started(machine), std::vector<std::string>{c.expected});
    }
}

TEST(SectionLauncher, GapsOverridesAndAMissingProgram) {
    StandardMachine machine(SettingsFile::Basic()
                                .Set("Run", "1", "C:\\Package\\setup\\missing.exe")
                                .Set("Run", "2", "C:\\Package\\setup\\a.exe")
                                .Set("Run", "3", "C:\\Package\\setup\\b.exe")
                                .Set("Run", "5", "C:\\Package\\setup\\never.exe")
                                .Set("Run.501", "3", "C:\\Package\\setup\\c.exe"));
    for (const char* name : {"a.exe", "b.exe", "c.exe", "never.exe"}) AddProgram(machine, name, 1);
    machine.Run("-log 511");
    EXPECT_EQ(Started(machine), (std::vector<std::string>{"c:\\package\\setup\\missing.exe",
                                                          "c:\\package\\setup\\a.exe", "c:\\package\\setup\\c.exe"}));
    auto starts = machine.Events("processStart");
    EXPECT_EQ(starts[0]["started"], false);
    EXPECT_EQ(starts[0]["error"], 2);
    // The missing program logs its attempt and nothing else.
    std::vector<std::string> log = machine.LogMessages();
    EXPECT_TRUE(Contains(log, "Call CreateProcess with c:\\package\\setup\\missing.exe"));
    EXPECT_EQ(test::LinesStartingWith(log, "<-- Exit RunApplication()").size(), 2u);
}

TEST(ApplicationRunner, ArgumentsLoweredPluginMarkerInAnyCaseProgressMarkerExact) {
    StandardMachine machine(SettingsFile::Basic()
                                .Set("OS_Support", "os_list", "600")
                                .Set("Run", "1", "C:\\Package\\setup\\ZQSTAGE.EXE /Copy ALL")
                                .Set("Run", "2", "C:\\Package\\LANPATCH.EXE C:\\Package\\Drv\\x.inf")
                                .Set("Run", "3", "C:\\Package\\setup\\zqstage.exe"));
    machine.config()["os"] = {{"major", 6}, {"minor", 0}, {"bits", 32}};
    AddProgram(machine, "zqstage.exe", 2);
    machine.Run("-log 127");
    EXPECT_EQ(Started(machine), (std::vector<std::string>{"c:\\package\\setup\\zqstage.exe /copy all",
                                                          "c:\\package\\setup\\zqstage.exe"}));
    // Only the lower-case marker shows the dialog.
    EXPECT_EQ(machine.Events("copyDialogShown").size(), 1u);
    // The plug-in ran in the launcher's place: refused on Windows 6.0.
    std::vector<std::string> log = machine.LogMessages();
    EXPECT_TRUE(Contains(log, ">> Stating UpdateDriver Plug-in"));
    EXPECT_TRUE(Contains(log, "** OS is not XP. This is a fix for XP network install"));
}

struct CopyDialogCase {
    const char* why;
    double runSeconds;
    json escapeAfterSeconds;
    int percentBeforeClose;  // -1: closed by Escape
    int percentAtClose;
    std::string by;
};

TEST(CopyDialog, ProgressOnTheVirtualClock) {
    const CopyDialogCase cases[] = {
        // The runner closes 200 ms after the program's end; one step per 300 ms.
        {"1 second", 1, nullptr, 4, 100, "runner"},
        {"10 seconds", 10, nullptr, 34, 100, "runner"},
        {"45 seconds: full after 30", 45, nullptr, 100, 100, "runner"},
        {"a program that ends at once", 0, nullptr, 0, 100, "runner"},
        {"Escape after 2 seconds", 10, 2, -1, 6, "escape"},
        {"Escape after the program ended", 1, 5, 4, 100, "runner"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic()
                                    .Set("Run", "1", "C:\\Package\\setup\\zqstage.exe")
                                    .Set("Run", "2", "C:\\Package\\setup\\next.exe"));
        AddProgram(machine, "zqstage.exe", c.runSeconds);
        AddProgram(machine, "next.exe", 1);
        machine.config()["user"]["copyDialogEscapeAfterSeconds"] = c.escapeAfterSeconds;
        machine.Run();
        auto shown = machine.Events("copyDialogShown");
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0]["caption"], test::EnglishText(7));
        auto closed = machine.Events("copyDialogClosed");
        ASSERT_EQ(closed.size(), 1u);
        EXPECT_EQ(closed[0]["by"], c.by);
        EXPECT_EQ(closed[0]["percent"], c.percentAtClose);
        EXPECT_EQ(closed[0]["text"], std::to_string(c.percentAtClose) + "%");
        if (c.percentBeforeClose >= 0) {
            EXPECT_EQ(closed[0]["percentBeforeClose"], c.percentBeforeClose);
        }
        // The run goes on after the dialog either way.
        EXPECT_EQ(Started(machine).size(), 2u);
        EXPECT_EQ(machine.Events("finishScreenShown").size(), 1u);
    }
}

// The journal lists what happens in the order of the virtual clock: an
// Escape pressed while the runner waits for the program closes the dialog
// at its own time, before the program ends, wherever the Escape falls.
TEST(CopyDialog, EscapeIsJournaledAtItsOwnTime) {
    struct Case {
        const char* why;
        double runSeconds, escapeAfterSeconds;
        std::vector<std::string> order;  // the events from the dialog's display on
        std::int64_t closedAfterMs;      // after copyDialogShown (the runner closes 200 ms after the
                                         // program, and the dialog holds 100 % for 200 ms)
    } cases[] = {
        {"Escape 2 s into a 5 s program",
         5,
         2,
         {"copyDialogShown", "copyDialogClosed", "processEnd", "processStart", "processEnd"},
         2000},
        {"Escape at once",
         5,
         0,
         {"copyDialogShown", "copyDialogClosed", "processEnd", "processStart", "processEnd"},
         0},
        {"Escape after the program ended: the runner closes",
         1,
         5,
         {"copyDialogShown", "processEnd", "copyDialogClosed", "processStart", "processEnd"},
         1400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic()
                                    .Set("Run", "1", "C:\\Package\\setup\\zqstage.exe")
                                    .Set("Run", "2", "C:\\Package\\setup\\next.exe"));
        AddProgram(machine, "zqstage.exe", c.runSeconds);
        AddProgram(machine, "next.exe", 1);
        machine.config()["user"]["copyDialogEscapeAfterSeconds"] = c.escapeAfterSeconds;
        machine.Run();
        const std::vector<json> journal = machine.Journal();
        std::vector<std::string> order;
        std::int64_t shownAt = -1, closedAt = -1, firstEndAt = -1;
        for (std::size_t i = 0; i < journal.size(); ++i) {
            if (i > 0) {
                EXPECT_GE(journal[i]["t"], journal[i - 1]["t"]) << journal[i].dump();
            }
            const std::string event = journal[i]["event"];
            if (event == "copyDialogShown") shownAt = journal[i]["t"];
            const bool watched = event == "processStart" || event == "processEnd" || event.rfind("copyDialog", 0) == 0;
            if (shownAt < 0 || !watched) continue;
            order.push_back(event);
            if (event == "copyDialogClosed") closedAt = journal[i]["t"];
            if (event == "processEnd" && firstEndAt < 0) firstEndAt = journal[i]["t"];
        }
        EXPECT_EQ(order, c.order);
        EXPECT_EQ(closedAt - shownAt, c.closedAfterMs);
        EXPECT_EQ(firstEndAt - shownAt, static_cast<std::int64_t>(c.runSeconds * 1000));
        // The runner found no window to close after the Escape.
        ASSERT_EQ(machine.Events("copyDialogClosed").size(), 1u);
    }
}

TEST(CopyDialog, ShownAgainForEachMarkedProgram) {
    StandardMachine machine(SettingsFile::Basic()
                                .Set("Run", "1", "C:\\Package\\setup\\zqstage.exe")
                                .Set("Run", "2", "C:\\Package\\setup\\zqstage.exe /second"));
    AddProgram(machine, "zqstage.exe", 3);
    machine.Run();
    auto closed = machine.Events("copyDialogClosed");
    ASSERT_EQ(closed.size(), 2u);
    // Each display starts again from 0.
    EXPECT_EQ(closed[0]["percentBeforeClose"], 10);
    EXPECT_EQ(closed[1]["percentBeforeClose"], 10);
}

TEST(CopyDialog, BlankCaptionWithoutTheText) {
    StandardMachine machine(
        SettingsFile::Basic().RemoveKey("English", "7").Set("Run", "1", "C:\\Package\\setup\\zqstage.exe"));
    AddProgram(machine, "zqstage.exe", 1);
    machine.Run();
    ASSERT_EQ(machine.Events("copyDialogShown").size(), 1u);
    EXPECT_EQ(machine.Events("copyDialogShown")[0]["caption"], "");
}

struct FinishCase {
    const char* why;
    bool tick;
    std::string action;
    bool restart;
};

TEST(FinishScreen, RestartUnlessTickedOrEscaped) {
    const FinishCase cases[] = {
        {"Finish with the box clear restarts", false, "finish", true},
        {"Finish with the box ticked", true, "finish", false},
        {"Escape", false, "escape", false},
        {"Escape with the box ticked", true, "escape", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic());
        machine.config()["user"]["finishCheckBox"] = c.tick;
        machine.config()["user"]["finishAction"] = c.action;
        machine.Run();
        auto closed = machine.Events("finishScreenClosed");
        ASSERT_EQ(closed.size(), 1u);
        EXPECT_EQ(closed[0]["result"], c.action);
        EXPECT_EQ(closed[0]["checkBoxTicked"], c.tick);
        auto restart = machine.Events("restartRequested");
        ASSERT_EQ(restart.size(), c.restart ? 1u : 0u);
        if (c.restart) {
            EXPECT_EQ(restart[0]["flags"], 18) << "EWX_REBOOT | EWX_FORCEIFHUNG";
            EXPECT_EQ(restart[0]["reason"], 0x80000002u);
        }
        EXPECT_EQ(machine.Events("exit")[0]["status"], 0);
    }
}

TEST(FinishScreen, TextsFromTheUsersLanguageOrBlank) {
    struct Case {
        const char* why;
        int language;
        std::string caption, headline, body, checkBox, hint, button;
    } cases[] = {
        {"English", 0x0409, test::EnglishText(7), test::EnglishText(2), test::EnglishText(3), test::EnglishText(4),
         test::EnglishText(5), test::EnglishText(6)},
        {"German without a German section", 0x0407, "", "", "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic());
        machine.config()["userLanguage"] = c.language;
        machine.config()["user"]["finishCheckBox"] = true;
        machine.Run();
        auto shown = machine.Events("finishScreenShown");
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0]["caption"], c.caption);
        EXPECT_EQ(shown[0]["headline"], c.headline);
        EXPECT_EQ(shown[0]["body"], c.body);
        EXPECT_EQ(shown[0]["checkBox"], c.checkBox);
        EXPECT_EQ(shown[0]["hint"], c.hint);
        EXPECT_EQ(shown[0]["button"], c.button);
    }
}

TEST(FinishScreen, PictureTakesAThirdOfTheWidthAndFourFifthsOfTheHeight) {
    StandardMachine machine(SettingsFile::Basic());
    machine.Run();
    auto shown = machine.Events("finishScreenShown");
    ASSERT_EQ(shown.size(), 1u);
    ASSERT_TRUE(shown[0].contains("picture"));
    const json& rect = shown[0]["picture"];
    EXPECT_EQ(rect[0], 0);
    EXPECT_EQ(rect[1], 0);
    EXPECT_GT(rect[2].get<int>(), 0);
    EXPECT_GT(rect[3].get<int>(), rect[2].get<int>());
}

struct UninstallCase {
    const char* why;
    json value;            // UninstallString (null: none)
    bool attempted;        // a copy is tried
    std::string from, to;  // when attempted
    bool copied;
};

TEST(UninstallDataFile, RefreshedFromThePackagesCopy) {
    const std::string longValue = "C:\\Prog\\Clean\\zqclean.exe -datfile " + std::string(250, 'p') + ".dat";
    const UninstallCase cases[] = {
        {"the documented form", "C:\\Prog\\Clean\\zqclean.exe -datfile pkg.dat", true, "setup\\pkg.dat",
         "C:\\Prog\\Clean\\pkg.dat", true},
        {"a quoted program path", "\"C:\\Prog\\Clean\\zqclean.exe\" -datfile pkg.dat", true, "setup\\pkg.dat",
         "\"C:\\Prog\\Clean\\pkg.dat", false},
        {"-datfile as the last word", "C:\\Prog\\Clean\\zqclean.exe -datfile", true, "setup\\", "C:\\Prog\\Clean\\",
         false},
        {"a value too long for the buffer", longValue, false, "", "", false},
        {"no value", nullptr, false, "", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic());
        machine.WriteFile("C:\\Package\\setup\\pkg.dat", "fresh data");
        machine.WriteFile("C:\\Prog\\Clean\\pkg.dat", "old data");
        machine.MakeFolder("C:\\Prog\\Clean");
        json& key = machine.config()["registry"]["HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"];
        key = json::object();
        if (!c.value.is_null()) key["UninstallString"] = c.value;
        machine.Run();
        auto copies = machine.Events("fileCopied");
        ASSERT_EQ(copies.size(), c.attempted ? 1u : 0u);
        if (c.attempted) {
            EXPECT_EQ(copies[0]["from"], c.from);
            EXPECT_EQ(copies[0]["to"], c.to);
            EXPECT_EQ(copies[0]["ok"], c.copied);
        }
        EXPECT_EQ(machine.ReadFile("C:\\Prog\\Clean\\pkg.dat"), c.copied ? "fresh data" : "old data");
    }
}

}  // namespace
}  // namespace zq
