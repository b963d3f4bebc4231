// The package launch end to end on simulated machines: which programs run,
// in which order and how, the copy-progress dialog, the uninstall data
// file and the finish screen.
#include <gtest/gtest.h>

#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

using nlohmann::json;
using test::AddPackageProgram;
using test::SettingsFile;
using test::StandardMachine;
using test::Values;
using Lines = std::vector<std::string>;

Lines Started(const test::TestMachine& machine) { return Values(machine.Events("processStart"), "commandLine"); }

// (The Run section by word size, and a missing program: the previews and
// the run scenarios.)
TEST(SectionLauncher, TheListEndsAtAGapAndTheEntrysOverrideReplaces) {
    StandardMachine machine(SettingsFile::Basic()
                                .Set("Run", "1", "C:\\Package\\setup\\a.exe")
                                .Set("Run", "2", "C:\\Package\\setup\\b.exe")
                                .Set("Run", "4", "C:\\Package\\setup\\never.exe")
                                .Set("Run.501", "2", "C:\\Package\\setup\\c.exe"));
    for (const char* name : {"a.exe", "b.exe", "c.exe", "never.exe"}) AddPackageProgram(machine, name, 1);
    machine.Run();
    EXPECT_EQ(Started(machine), (Lines{"c:\\package\\setup\\a.exe", "c:\\package\\setup\\c.exe"}));
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

// An Escape closes the dialog at its own time (one step of the bar per
// 300 ms of the virtual clock); the runner then finds no window to close,
// and the run goes on. (The runner's close: the run scenarios' journals.)
TEST(CopyDialog, EscapeClosesItAndTheRunGoesOn) {
    StandardMachine machine(SettingsFile::Basic()
                                .Set("Run", "1", "C:\\Package\\setup\\zqstage.exe")
                                .Set("Run", "2", "C:\\Package\\setup\\next.exe"));
    AddPackageProgram(machine, "zqstage.exe", 10);
    AddPackageProgram(machine, "next.exe", 1);
    machine.config()["user"]["copyDialogEscapeAfterSeconds"] = 2;
    machine.Run();
    std::vector<json> closed = machine.Events("copyDialogClosed");
    ASSERT_EQ(closed.size(), 1u);
    closed[0].erase("t");
    EXPECT_EQ(
        closed[0],
        (json{{"event", "copyDialogClosed"}, {"by", "escape"}, {"percent", 6}, {"text", "6%"}, {"shownMs", 2000}}));
    EXPECT_EQ(Started(machine).size(), 2u);
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
    machine.Run();
    const json shown = machine.Events("finishScreenShown").at(0);
    for (const char* field : {"headline", "body", "checkBox", "hint", "button", "caption"})
        EXPECT_EQ(shown[field], "") << field;
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
