// The start-up flow end to end on simulated machines: log header, command
// line, single instance, refusals.
#include <gtest/gtest.h>

#include "tests/support/scenario.h"

namespace zq {
namespace {

using test::Contains;
using test::SettingsFile;
using test::StandardMachine;

TEST(StartUp, WritesTheBannerAndTheSettingsPathWhateverTheLevel) {
    StandardMachine machine(SettingsFile::Basic().Set("Version", "Log", "1"));
    machine.Run("");
    std::vector<std::string> log = machine.LogMessages();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[0], "+++       Starting : zqmerlesetup.exe");
    EXPECT_EQ(log[1], "+++        Version : 1.0.0.1");
    EXPECT_EQ(log[2], "+++    Working Dir : C:\\Package");
    EXPECT_EQ(log[3], "+++   Command Line : ");
    EXPECT_EQ(log[4], "C:\\Package\\autorun.inf");
    EXPECT_FALSE(Contains(log, "--> Enter InitInstance()"));
}

TEST(StartUp, CommandLineAsReceivedInTheBanner) {
    StandardMachine machine(SettingsFile::Basic());
    machine.Run("-F \"C:\\Package\\autorun.inf\" -log 127");
    EXPECT_EQ(machine.LogMessages()[3], "+++   Command Line : -F \"C:\\Package\\autorun.inf\" -log 127");
    // "-f" values are lower-cased and lose their quotes.
    EXPECT_EQ(machine.LogMessages()[4], "c:\\package\\autorun.inf");
}

TEST(StartUp, ASecondInstanceWritesTheMutexLineAndShowsNothing) {
    StandardMachine machine(SettingsFile::Basic());
    machine.config()["otherInstanceRunning"] = true;
    machine.Run("");
    std::vector<std::string> log = machine.LogMessages();
    EXPECT_EQ(log.back(), "## Mutex exist: An instance of the same Application is running.");
    EXPECT_TRUE(machine.Events("messageBox").empty());
    EXPECT_TRUE(machine.Events("processStart").empty());
    ASSERT_EQ(machine.Events("exit").size(), 1u);
    EXPECT_EQ(machine.Events("exit")[0]["status"], 0);
}

TEST(StartUp, AFailedMutexCreationLetsTheRunGoOn) {
    StandardMachine machine(SettingsFile::Basic());
    machine.config()["mutexCreationFails"] = true;
    machine.Run("");
    EXPECT_TRUE(Contains(machine.LogMessages(), "Valid OS found. OS: 501"));
}

TEST(StartUp, AnUnreadableCurrentDirectoryEndsTheRun) {
    StandardMachine machine(SettingsFile::Basic());
    machine.config()["currentDirectory"] = nullptr;
    machine.Run("");
    EXPECT_EQ(machine.LogMessages().back(), "## GetCurrentDirectory Failed");
    EXPECT_TRUE(machine.Events("messageBox").empty());
}

struct LevelCase {
    const char* why;
    std::string argumentText;
    const char* logKey;  // nullptr: no Log key in [Version]
    int expectedLevel;
};

// Which lines reach the file tells the level the run settled on.
int ObservedLevel(const std::vector<std::string>& log) {
    if (Contains(log, "--> Enter DropMain()")) return 511;
    if (Contains(log, "========Enumerating Magic Keywords========")) return 127;
    return 1;
}

TEST(StartUp, LogLevelFromSwitchOrSettings) {
    const LevelCase cases[] = {
        {"switch wins over the settings file", "-log 511", "1", 511},
        {"settings file", "", "127", 127},
        {"switch value 0", "-log 0", "511", 1},
        {"switch value 2", "-log 2", "511", 1},
        {"switch value abc", "-log abc", "511", 1},
        {"a lone -log falls back to the settings file", "-log", "127", 127},
        {"the first -log of the line wins", "-log 127 -log 511", "1", 127},
        {"settings value between levels", "", "200", 1},
        {"settings value abc", "", "abc", 1},
        {"no Log key", "", nullptr, 1},
    };
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(c.why);
        SettingsFile settings = SettingsFile::Basic();
        if (c.logKey) settings.Set("Version", "Log", c.logKey);
        else settings.RemoveKey("Version", "Log");
        StandardMachine machine(settings);
        machine.Run(c.argumentText);
        EXPECT_EQ(ObservedLevel(machine.LogMessages()), c.expectedLevel);
    }
}

TEST(StartUp, MissingLogKeyWritesTheFallbackLineOnly) {
    StandardMachine machine(SettingsFile::Basic().RemoveKey("Version", "Log"));
    machine.Run("");
    std::vector<std::string> log = machine.LogMessages();
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(log[5], "Log Level returned FALSE... Using DEFAULT Log Level as HIGH.");
    EXPECT_FALSE(Contains(log, "--> Enter GetLogLevel()"));
}

TEST(StartUp, SettingsFileFromTheSwitch) {
    struct Case {
        const char* why;
        std::string argumentText;
        std::string expectedPathLine;
    } cases[] = {
        {"quoted path with blanks", "-f \"C:\\Pkg\\My Setup.inf\" -log 511", "c:\\pkg\\my setup.inf"},
        {"a dash inside the path", "-f c:\\drv-pack\\a.inf", "c:\\drv-pack\\a.inf"},
        {"first -f wins", "-f a.inf -f b.inf", "a.inf"},
        {"slash is no switch", "/f a.inf", "C:\\Package\\autorun.inf"},
        {"a lone -f", "-f", "C:\\Package\\autorun.inf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic());
        machine.Run(c.argumentText);
        EXPECT_EQ(machine.LogMessages()[4], c.expectedPathLine);
    }
}

TEST(StartUp, AMissingSettingsFileShowsMessageOneEmpty) {
    StandardMachine machine(SettingsFile::Basic());
    machine.Run("-f c:\\nowhere\\none.inf");
    std::vector<std::string> log = machine.LogMessages();
    EXPECT_EQ(log.back(), "This Operating is not Valid. OS: ");
    auto boxes = machine.Events("messageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]["caption"], "ZQ Merle Refresh Installer");
    EXPECT_EQ(boxes[0]["text"], "");
    EXPECT_EQ(machine.Events("exit")[0]["status"], 0);
}

}  // namespace
}  // namespace zq
