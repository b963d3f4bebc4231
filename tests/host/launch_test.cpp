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
// 200 ms. An Escape closes the dialog at its own time; the run goes on.
TEST(CopyDialog, ProgressAndEscapeOnTheVirtualClock) {
    struct Case {
        double runSeconds;
        json escapeAfterSeconds;
        json closed;  // the copyDialogClosed event without its time
        std::int64_t closedAfterMs;
    } cases[] = {
        {10,
         nullptr,
         {{"by", "runner"}, {"percentBeforeClose", 34}, {"percent", 100}, {"text", "100%"}, {"shownMs", 10200}},
         10400},
        {10, 2, {{"by", "escape"}, {"percent", 6}, {"text", "6%"}, {"shownMs", 2000}}, 2000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.closed.dump());
        StandardMachine machine(SettingsFile::Basic()
                                    .Set("Run", "1", "C:\\Package\\setup\\zqstage.exe")
                                    .Set("Run", "2", "C:\\Package\\setup\\next.exe"));
        AddPackageProgram(machine, "zqstage.exe", c.runSeconds);
        AddPackageProgram(machine, "next.exe", 1);
        machine.config()["user"]["copyDialogEscapeAfterSeconds"] = c.escapeAfterSeconds;
        machine.Run();
        const auto shown = machine.Events("copyDialogShown");
        auto closed = machine.Events("copyDialogClosed");
        ASSERT_EQ(closed.size(), 1u) << "the runner finds no window to close after an Escape";
        EXPECT_EQ(closed[0]["t"].get<std::int64_t>() - shown.at(0)["t"].get<std::int64_t>(), c.closedAfterMs);
        closed[0].erase("t");
        closed[0].erase("event");
        EXPECT_EQ(closed[0], c.closed);
        EXPECT_EQ(Started(machine).size(), 2u);
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

// English texts and the picture: the golden runs hold them.
TEST(FinishScreen, BlankTextsWithoutTheUsersLanguage) {
    StandardMachine machine(SettingsFile::Basic());
    machine.config()["userLanguage"] = 0x0407;  // German, without a German section
    machine.config()["user"]["finishCheckBox"] = true;
    machine.Run();
    const auto shown = machine.Events("finishScreenShown");
    ASSERT_EQ(shown.size(), 1u);
    for (const char* field : {"headline", "body", "checkBox", "hint", "button", "caption"})
        EXPECT_EQ(shown[0][field], "") << field;
}

// 500 bytes is the value's buffer: 249 characters and the terminator.
TEST(UninstallDataFile, RefreshedFromThePackagesCopy) {
    const std::string head = "C:\\Prog\\Clean\\zqclean.exe -datfile ";
    const std::string longest = std::string(249 - head.size() - 4, 'p') + ".dat";
    struct Case {
        std::string value;  // UninstallString
        json copied;        // the fileCopied event without its time; null: none
    } cases[] = {
        {head + "pkg.dat", {{"from", "setup\\pkg.dat"}, {"to", "C:\\Prog\\Clean\\pkg.dat"}, {"ok", true}}},
        {head + longest, {{"from", "setup\\" + longest}, {"to", "C:\\Prog\\Clean\\" + longest}, {"ok", false}}},
        {head + "p" + longest, nullptr},  // 250 characters: too long for the buffer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.size());
        StandardMachine machine(SettingsFile::Basic());
        machine.WriteFile("C:\\Package\\setup\\pkg.dat", "fresh data");
        machine.WriteFile("C:\\Prog\\Clean\\pkg.dat", "old data");
        machine.config()["registry"]["HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"] = {
            {"UninstallString", c.value}};
        machine.Run();
        json copied = nullptr;
        for (json event : machine.Events("fileCopied")) {
            event.erase("t");
            event.erase("event");
            copied = event;
        }
        EXPECT_EQ(copied, c.copied);
        EXPECT_EQ(machine.ReadFile("C:\\Prog\\Clean\\pkg.dat"),
                  c.value.ends_with("pkg.dat") ? "fresh data" : "old data");
    }
}

}  // namespace
}  // namespace zq
