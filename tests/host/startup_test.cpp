// The start-up flow end to end on simulated machines: log header, command
// line, log level, refusals. (A second instance and an unreadable current
// folder are run scenarios: tests/host/golden/ holds their whole runs.)
#include <gtest/gtest.h>

#include "tests/support/scenario.h"

namespace zq {
namespace {

using test::Contains;
using test::SettingsFile;
using test::StandardMachine;
using Lines = std::vector<std::string>;

// The banner and the settings file's path are written whatever the level;
// "-f" values are lower-cased and lose their quotes.
TEST(StartUp, BannerWithTheCommandLineAndTheSettingsFile) {
    struct Case {
        std::string argumentText, settingsPath;
    } cases[] = {
        {"-F \"C:\\Package\\autorun.inf\" -log 127", "c:\\package\\autorun.inf"},
        {"-f a.inf -f b.inf", "a.inf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argumentText);
        StandardMachine machine(SettingsFile::Basic().Set("Version", "Log", "1"));
        machine.Run(c.argumentText);
        const Lines log = machine.LogMessages();
        EXPECT_EQ(
            Lines(log.begin(), log.begin() + std::min<std::size_t>(log.size(), 5)),
            (Lines{"+++       Starting : zqmerlesetup.exe", "+++        Version : 1.0.0.1",
                   "+++    Working Dir : C:\\Package", "+++   Command Line : " + c.argumentText, c.settingsPath}));
    }
}

TEST(StartUp, AFailedMutexCreationLetsTheRunGoOn) {
    StandardMachine machine(SettingsFile::Basic());
    machine.config()["mutexCreationFails"] = true;
    machine.Run("");
    EXPECT_TRUE(Contains(machine.LogMessages(), "Valid OS found. OS: 501"));
}

// Which lines reach the file tells the level the run settled on.
TEST(StartUp, LogLevelFromSwitchOrSettings) {
    struct Case {
        const char* why;
        std::string argumentText;
        const char* logKey;  // nullptr: no Log key in [Version]
        int level;
    } cases[] = {
        {"switch wins over the settings file", "-log 511", "1", 511},
        {"a switch value that is no level", "-log abc", "511", 1},
        {"a lone -log falls back to the settings file", "-log", "127", 127},
        {"the first -log of the line wins", "-log 127 -log 511", "1", 127},
        {"a settings value that is no level", "", "200", 1},
        {"no Log key", "", nullptr, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        SettingsFile settings = SettingsFile::Basic();
        if (c.logKey) settings.Set("Version", "Log", c.logKey);
        else settings.RemoveKey("Version", "Log");
        StandardMachine machine(settings);
        machine.Run(c.argumentText);
        const Lines log = machine.LogMessages();
        EXPECT_EQ(Contains(log, "--> Enter DropMain()"), c.level == 511);
        EXPECT_EQ(Contains(log, "========Enumerating Magic Keywords========"), c.level >= 127);
        EXPECT_EQ(Contains(log, "Log Level returned FALSE... Using DEFAULT Log Level as HIGH."), c.logKey == nullptr);
    }
}

TEST(StartUp, AMissingSettingsFileShowsMessageOneEmpty) {
    StandardMachine machine(SettingsFile::Basic());
    machine.Run("-f c:\\nowhere\\none.inf");
    EXPECT_EQ(machine.LogMessages().back(), "This Operating is not Valid. OS: ");
    EXPECT_EQ(test::Values(machine.Events("messageBox"), "text"), Lines{""});
    EXPECT_EQ(machine.Events("exit")[0]["status"], 0);
}

}  // namespace
}  // namespace zq
