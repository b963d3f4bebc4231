#include "log/log_file.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/support/test_machine.h"

namespace zq {
namespace {

using test::TestMachine;

TEST(LogFileName, FirstRunTakesZeroThenTheNextRunOne) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    {
        CLogFile log(machine.Load().platform());
        EXPECT_EQ(log.Path(), L"C:\\Temp\\zqmerlesetup000.log");
        log.LogMessage(LOG_HIGH, L"first run");
    }
    CLogFile second(machine.Load().platform());
    EXPECT_EQ(second.Path(), L"C:\\Temp\\zqmerlesetup001.log");
}

TEST(LogFileName, AFolderNamedLikeALogFileIsSkipped) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp\\zqmerlesetup000.log");
    CLogFile log(machine.Load().platform());
    EXPECT_EQ(log.Path(), L"C:\\Temp\\zqmerlesetup001.log");
}

TEST(LogFileName, AllThousandNamesTakenLogsNothing) {
    TestMachine machine;
    for (int i = 0; i < 1000; ++i) machine.WriteFile(Utf16ToUtf8(LogFileCandidate(L"C:\\Temp\\", i)), "old");
    CLogFile log(machine.Load().platform());
    EXPECT_EQ(log.Path(), L"C:\\Temp\\");
    EXPECT_EQ(log.LogMessage(LOG_HIGH, L"lost"), 0);
    EXPECT_EQ(machine.ReadFile("C:\\Temp\\zqmerlesetup999.log"), "old");
}

TEST(LogFileName, UnsetTempNamesFilesInTheDriveRoot) {
    TestMachine machine;
    machine.config()["environment"] = nlohmann::json::object();
    CLogFile log(machine.Load().platform());
    EXPECT_EQ(log.Path(), L"\\zqmerlesetup000.log");
    EXPECT_EQ(log.LogMessage(LOG_HIGH, L"at the root"), 1);
    EXPECT_TRUE(machine.FileExists("C:\\zqmerlesetup000.log"));
}

TEST(LogFileName, TempEndingInABackslashGetsASecondOne) {
    EXPECT_EQ(LogFileCandidate(L"C:\\Temp\\\\", 0), L"C:\\Temp\\\\zqmerlesetup000.log");
}

TEST(LogLine, TimeStampMessageAndCrLfInSingleByteText) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    machine.config()["localTime"] = "2009-03-07T09:05:02";
    CLogFile log(machine.Load().platform());
    log.LogMessage(LOG_HIGH, L"--> Enter DropMain()");
    log.LogMessage(LOG_HIGH, L"Caf\u00e9 \u20ac %s", WString(L"100% %d"));
    EXPECT_EQ(machine.ReadFile("C:\\Temp\\zqmerlesetup000.log"),
              "[03/07/2009 09:05:02]--> Enter DropMain()\r\n"
              "[03/07/2009 09:05:02]Caf\xe9 ? 100% %d\r\n");
}

TEST(LogLine, LongMessagesAreCutTo512Characters) {
    const WString message = WString(511, L'a') + L"bc" + WString(87, L'd');
    std::string line = EncodeLogLine(L"[t]", message.substr(0, kLogMessageChars));
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    CLogFile log(machine.Load().platform());
    log.LogMessage(LOG_HIGH, L"%s", message);
    log.LogAlways(L"%s", message);
    std::vector<std::string> lines = machine.LogMessages();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(511, 'a') + "b");
    EXPECT_EQ(lines[1], lines[0]);
    EXPECT_EQ(line.size(), 3 + 512 + 2u);
}

TEST(LogLine, EmbeddedLineFeedsBecomeCrLfAndNulEndsTheMessage) {
    EXPECT_EQ(EncodeLogLine(L"[t]", L"a\r\nb"), "[t]a\r\r\nb\r\n");
    EXPECT_EQ(EncodeLogLine(L"[t]", WString(L"a\0b", 3)), "[t]a\r\n");
}

TEST(LogLevel, FilteringBeforeAndAfterTheLevelIsConfigured) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    CLogFile log(machine.Load().platform());
    log.LogMessage(LOG_HIGH, L"high before");
    log.LogMessage(LOG_MEDIUM, L"medium before");
    log.LogAlways(L"%s", L"always before");
    log.SetLevel(127);
    log.LogMessage(LOG_MEDIUM, L"** Searching x");
    log.LogMessage(LOG_LOW, L"--> Enter DropMain()");
    log.LogMessage(LOG_HIGH, L"+++ banner");
    EXPECT_EQ(machine.LogMessages(),
              (std::vector<std::string>{"high before", "always before", "** Searching x", "+++ banner"}));
}

TEST(LogLevel, OnlyTheThreeLevelsAreLevels) {
    struct Case {
        int requested, level;
    } cases[] = {{1, 1}, {127, 127}, {511, 511}, {0, 1}, {2, 1}, {200, 1}, {-1, 1}, {512, 1}};
    for (const Case& c : cases) EXPECT_EQ(NormalizeLogLevel(c.requested), c.level) << c.requested;
}

TEST(LogConcurrency, TwoThreadsNeverMixOrLoseLines) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    Platform& platform = machine.Load().platform();
    CLogFile log(platform);
    constexpr int kLines = 3000;
    auto writer = [&log](wchar_t tag) {
        return [&log, tag] {
            for (int i = 0; i < kLines; ++i)
                log.LogMessage(LOG_HIGH, L"%s line %d of a message long enough to be interleaved %s",
                               WString(1, tag), i, WString(40, tag));
        };
    };
    auto first = platform.threads.Start(writer(L'A'));
    auto second = platform.threads.Start(writer(L'B'));
    first->Join();
    second->Join();

    std::vector<std::string> lines = machine.LogMessages();
    ASSERT_EQ(lines.size(), 2u * kLines);
    std::set<std::string> seen(lines.begin(), lines.end());
    for (char tag : {'A', 'B'})
        for (int i = 0; i < kLines; ++i) {
            std::string expected = std::string(1, tag) + " line " + std::to_string(i) +
                                   " of a message long enough to be interleaved " + std::string(40, tag);
            ASSERT_TRUE(seen.count(expected)) << expected;
        }
}

}  // namespace
}  // namespace zq
