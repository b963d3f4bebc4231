// The package launch end to end on simulated machines: which programs run,
// in which order and how, the copy-progress dialog, the uninstall data
// file and the finish screen.
#include <gtest/gtest.h>

#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

using nlohmann::json;
using test::AddPackageProgram;
using test::Contains;
using test::SettingsFile;
using test::StandardMachine;
using test::Values;
using Lines = std::vector<std::string>;

Lines Started(const test::TestMachine& machine) { return Values(machine.Events("processStart"), "commandLine"); }

TEST(SectionLauncher, SectionByWordSize) {
    for (int bits : {32, 64}) {
        SCOPED_TRACE(bits);
        StandardMachine machine(SettingsFile::Basic()
                                    .Set("OS_Support", "os_list", "501,502_64")
                                    .Set("Run", "1", "C:\\Package\\setup\\a.exe")
                                    .Set("Run.x64", "1", "C:\\Package\\setup\\b.exe"));
        machine.config()["os"] = {{"major", 5}, {"minor", bits == 32 ? 1 : 2}, {"servicePackMajor", 2}, {"bits", bits}};
        AddPackageProgram(machine, "a.exe", 1);
        AddPackageProgram(machine, "b.exe", 1);
        machine.Run();
        EXPECT_EQ(Started(machine), Lines{bits == 32 ? "c:\\package\\setup\\a.exe" : "c:\\package\\setup\\b.exe"});
    }
}

TEST(SectionLauncher, GapsOverridesAndAMissingProgram) {
    StandardMachine machine(SettingsFile::Basic()
                                .Set("Run", "1", "C:\\Package\\setup\\missing.exe")
                                .Set("Run", "2", "C:\\Package\\setup\\a.exe")
                                .Set("Run", "3", "C:\\Package\\setup\\b.exe")
                                .Set("Run", "5", "C:\\Package\\setup\\never.exe")
                                .Set("Run.501", "3", "C:\\Package\\setup\\c.exe"));
    for (const char* name : {"a.exe", "b.exe", "c.exe", "never.exe"}) AddPackageProgram(machine, name, 1);
    machine.Run("-log 511");
    EXPECT_EQ(Started(machine),
              (Lines{"c:\\package\\setup\\missing.exe", "c:\\package\\setup\\a.exe", "c:\\package\\setup\\c.exe"}));
    EXPECT_EQ(Values(machine.Events("processStart"), "error")[0], "2");
    // The missing program logs its attempt and nothing else.
    const Lines log = machine.LogMessages();
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
    AddPackageProgram(machine, "zqstage.exe", 2);
    machine.Run("-log 127");
    EXPECT_EQ(Started(machine),
              (Lines{"c:\\package\\setup\\zqstage.exe /copy all", "c:\\package\\setup\\zqstage.exe"}));
    EXPECT_EQ(machine.Events("copyDialogShown").size(), 1u) << "only the lower-case marker shows the dialog";
    // The plug-in ran in the launcher's place: refused on Windows 6.0.
    EXPECT_TRUE(test::HasRun(machine.LogMessages(), {">> Stating UpdateDriver Plug-in",
                                                     "** OS is not XP. This is a fix for XP network install"}));
}

// One step of the bar per 300 ms of the virtual clock; the runner closes the
// dialog 200 ms after the program's end, and the dialog holds 100 % for
// 200 ms. An Escape pressed while the runner waits closes the dialog at its
// own time, and the journal keeps the order of the clock.
TEST(CopyDialog, ProgressAndEscapeOnTheVirtualClock) {
    struct Case {
        const char* why;
        double runSeconds;
        json escapeAfterSeconds;
        int percentBeforeClose;  // -1: closed by Escape
        int percentAtClose;
        std::int64_t closedAfterMs;  // after copyDialogShown
    } cases[] = {
        {"1 second", 1, nullptr, 4, 100, 1400},
        {"10 seconds", 10, nullptr, 34, 100, 10400},
        {"45 seconds: full after 30", 45, nullptr, 100, 100, 45400},
        {"a program that ends at once", 0, nullptr, 0, 100, 400},
        {"Escape after 2 seconds", 10, 2, -1, 6, 2000},
        {"Escape at once", 5, 0, -1, 0, 0},
        {"Escape after the program ended", 1, 5, 4, 100, 1400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic()
                                    .Set("Run", "1", "C:\\Package\\setup\\zqstage.exe")
                                    .Set("Run", "2", "C:\\Package\\setup\\next.exe"));
        AddPackageProgram(machine, "zqstage.exe", c.runSeconds);
        AddPackageProgram(machine, "next.exe", 1);
        machine.config()["user"]["copyDialogEscapeAfterSeconds"] = c.escapeAfterSeconds;
        machine.Run();
        const auto shown = machine.Events("copyDialogShown");
        const auto closed = machine.Events("copyDialogClosed");
        ASSERT_EQ(shown.size(), 1u);
        ASSERT_EQ(closed.size(), 1u) << "the runner finds no window to close after an Escape";
        EXPECT_EQ(shown[0]["caption"], test::EnglishText(7));
        EXPECT_EQ(closed[0]["by"], c.percentBeforeClose < 0 ? "escape" : "runner");
        EXPECT_EQ(closed[0]["percent"], c.percentAtClose);
        EXPECT_EQ(closed[0]["text"], c.closedAfterMs > 0 ? std::to_string(c.percentAtClose) + "%" : "");
        if (c.percentBeforeClose >= 0) {
            EXPECT_EQ(closed[0]["percentBeforeClose"], c.percentBeforeClose);
        }
        const std::int64_t shownAt = shown[0]["t"];
        EXPECT_EQ(closed[0]["t"].get<std::int64_t>() - shownAt, c.closedAfterMs);
        EXPECT_EQ(machine.Events("processEnd").at(0)["t"].get<std::int64_t>() - shownAt,
                  static_cast<std::int64_t>(c.runSeconds * 1000));
        const std::vector<json> journal = machine.Journal();
        for (std::size_t i = 1; i < journal.size(); ++i) EXPECT_GE(journal[i]["t"], journal[i - 1]["t"]) << i;
        // The run goes on after the dialog either way.
        EXPECT_EQ(Started(machine).size(), 2u);
        EXPECT_EQ(machine.Events("finishScreenShown").size(), 1u);
    }
}

TEST(CopyDialog, ShownAgainFromZeroForEachMarkedProgramCaptionBlankWithoutItsText) {
    StandardMachine machine(SettingsFile::Basic()
                                .RemoveKey("English", "7")
                                .Set("Run", "1", "C:\\Package\\setup\\zqstage.exe")
                                .Set("Run", "2", "C:\\Package\\setup\\zqstage.exe /second"));
    AddPackageProgram(machine, "zqstage.exe", 3);
    machine.Run();
    EXPECT_EQ(Values(machine.Events("copyDialogClosed"), "percentBeforeClose"), (Lines{"10", "10"}));
    EXPECT_EQ(Values(machine.Events("copyDialogShown"), "caption"), (Lines{"", ""}));
}

TEST(FinishScreen, RestartUnlessTickedOrEscaped) {
    struct Case {
        bool tick;
        std::string action;
        bool restart;
    } cases[] = {{false, "finish", true}, {true, "finish", false}, {false, "escape", false}, {true, "escape", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action + (c.tick ? " with the box ticked" : " with the box clear"));
        StandardMachine machine(SettingsFile::Basic());
        machine.config()["user"] = {{"finishCheckBox", c.tick}, {"finishAction", c.action}};
        machine.Run();
        const auto closed = machine.Events("finishScreenClosed");
        ASSERT_EQ(closed.size(), 1u);
        EXPECT_EQ(closed[0]["result"], c.action);
        EXPECT_EQ(closed[0]["checkBoxTicked"], c.tick);
        const auto restart = machine.Events("restartRequested");
        ASSERT_EQ(restart.size(), c.restart ? 1u : 0u);
        if (c.restart) {
            EXPECT_EQ(restart[0]["flags"], 18) << "EWX_REBOOT | EWX_FORCEIFHUNG";
            EXPECT_EQ(restart[0]["reason"], 0x80000002u);
        }
        EXPECT_EQ(machine.Events("exit")[0]["status"], 0);
    }
}

TEST(FinishScreen, TextsFromTheUsersLanguageOrBlankAndThePicture) {
    for (int language : {0x0409, 0x0407}) {  // German without a German section
        SCOPED_TRACE(language);
        StandardMachine machine(SettingsFile::Basic());
        machine.config()["userLanguage"] = language;
        machine.config()["user"]["finishCheckBox"] = true;
        machine.Run();
        const auto shown = machine.Events("finishScreenShown");
        ASSERT_EQ(shown.size(), 1u);
        int number = 1;
        for (const char* field : {"headline", "body", "checkBox", "hint", "button", "caption"})
            EXPECT_EQ(shown[0][field], language == 0x0409 ? test::EnglishText(++number) : "") << field;
        // A third of the width and four fifths of the height: taller than wide, at the corner.
        const json& rect = shown[0]["picture"];
        EXPECT_EQ(rect[0], 0);
        EXPECT_EQ(rect[1], 0);
        EXPECT_GT(rect[2].get<int>(), 0);
        EXPECT_GT(rect[3].get<int>(), rect[2].get<int>());
    }
}

TEST(UninstallDataFile, RefreshedFromThePackagesCopy) {
    // 500 bytes is the value's buffer: 249 characters and the terminator.
    const std::string head = "C:\\Prog\\Clean\\zqclean.exe -datfile ";
    const std::string longest = std::string(249 - head.size() - 4, 'p') + ".dat";
    struct Case {
        const char* why;
        json value;      // UninstallString (null: none)
        std::string to;  // the copy's target; empty: none tried
        bool copied;
    } cases[] = {
        {"the documented form", head + "pkg.dat", "C:\\Prog\\Clean\\pkg.dat", true},
        {"a quoted program path", "\"C:\\Prog\\Clean\\zqclean.exe\" -datfile pkg.dat", "\"C:\\Prog\\Clean\\pkg.dat",
         false},
        {"249 characters", head + longest, "C:\\Prog\\Clean\\" + longest, false},
        {"250 characters: too long for the buffer", head + "p" + longest, "", false},
        {"no value", nullptr, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic());
        machine.WriteFile("C:\\Package\\setup\\pkg.dat", "fresh data");
        machine.WriteFile("C:\\Prog\\Clean\\pkg.dat", "old data");
        json& key = machine.config()["registry"]["HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"];
        key = json::object();
        if (!c.value.is_null()) key["UninstallString"] = c.value;
        machine.Run();
        const auto copies = machine.Events("fileCopied");
        ASSERT_EQ(copies.size(), c.to.empty() ? 0u : 1u);
        if (!c.to.empty()) {
            EXPECT_EQ(copies[0], (json{{"t", copies[0]["t"]},
                                       {"event", "fileCopied"},
                                       {"from", "setup\\" + c.to.substr(c.to.rfind('\\') + 1)},
                                       {"to", c.to},
                                       {"ok", c.copied}}));
        }
        EXPECT_EQ(machine.ReadFile("C:\\Prog\\Clean\\pkg.dat"), c.copied ? "fresh data" : "old data");
    }
}

}  // namespace
}  // namespace zq
