#include "log/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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

TEST(LogFileName, UnsetTempNamesFilesInTheDriveRoot) {
    TestMachine machine;
    machine.config()["environment"] = nlohmann::json::object();
    CLogFile log(machine.Load().platform());
    EXPECT_EQ(log.Path(), L"\\zqmerlesetup000.log");
    EXPECT_EQ(log.LogMessage(LOG_HIGH, L"at the root"), 1);
    EXPECT_TRUE(machine.FileExists("C:\\zqmerlesetup000.log"));
}

TEST(LogFileName, TheFolderPartNeverEndsInTwoSeparators) {
    struct Row {
        const wchar_t* temp;
        const wchar_t* folder;
    } rows[] = {
        {L"C:\\Temp", L"C:\\Temp\\"},
        {L"C:\\Temp\\", L"C:\\Temp\\"},
        {L"C:\\Temp\\\\", L"C:\\Temp\\"},
        {L"C:/Temp/", L"C:/Temp\\"},
        {L"C:\\", L"C:\\"},
        {L"", L"\\"},
        {L"\\\\srv\\tmp\\", L"\\\\srv\\tmp\\"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.temp));
        EXPECT_EQ(LogFolderOf(row.temp), row.folder);
    }
}

// What another program (or an earlier run) may have put at the log's name:
// the launcher must never write through it, and uses the next number.
enum class Planted { LinkToAFileOutside, LinkToNothing, LinkToAFolderOutside, File };

// The planted thing is there before the run chooses its name, or it comes
// between the choice (at start) and the file's creation (at the first line).
enum class PlantedWhen { BeforeTheChoice, BeforeTheFirstLine };

TEST(LogFileCreation, NothingPlantedAtTheNameIsWrittenThrough) {
    for (Planted planted :
         {Planted::LinkToAFileOutside, Planted::LinkToNothing, Planted::LinkToAFolderOutside, Planted::File}) {
        for (PlantedWhen when : {PlantedWhen::BeforeTheChoice, PlantedWhen::BeforeTheFirstLine}) {
            SCOPED_TRACE(testing::Message()
                         << "planted " << static_cast<int>(planted) << " when " << static_cast<int>(when));
            TestMachine machine;
            machine.MakeFolder("C:\\Temp");
            const std::filesystem::path outsideFile = machine.Dir() / "outside.txt";
            const std::filesystem::path outsideFolder = machine.Dir() / "outside";
            const std::filesystem::path nothing = machine.Dir() / "nothing.txt";
            std::ofstream(outsideFile, std::ios::binary) << "outside\n";
            std::filesystem::create_directory(outsideFolder);
            auto plant = [&] {
                const std::string name = "C:\\Temp\\zqmerlesetup000.log";
                switch (planted) {
                    case Planted::LinkToAFileOutside: machine.PlantHostLink(name, outsideFile); break;
                    case Planted::LinkToNothing: machine.PlantHostLink(name, nothing); break;
                    case Planted::LinkToAFolderOutside: machine.PlantHostLink(name, outsideFolder); break;
                    case Planted::File: machine.WriteFile(name, "earlier run\r\n"); break;
                }
            };
            if (when == PlantedWhen::BeforeTheChoice) plant();
            CLogFile log(machine.Load().platform());
            if (when == PlantedWhen::BeforeTheFirstLine) {
                EXPECT_EQ(log.Path(), L"C:\\Temp\\zqmerlesetup000.log");
                plant();
            }
            EXPECT_EQ(log.LogMessage(LOG_HIGH, L"+++ banner"), 1);
            EXPECT_EQ(log.LogMessage(LOG_HIGH, L"second line"), 1);

            EXPECT_EQ(log.Path(), L"C:\\Temp\\zqmerlesetup001.log");
            EXPECT_EQ(machine.LogMessages(1), (std::vector<std::string>{"+++ banner", "second line"}));
            const std::filesystem::path plantedHost = machine.Dir() / "drives" / "C" / "Temp" / "zqmerlesetup000.log";
            if (planted == Planted::File) {
                EXPECT_EQ(machine.ReadFile("C:\\Temp\\zqmerlesetup000.log"), "earlier run\r\n");
            } else {
                EXPECT_TRUE(std::filesystem::is_symlink(plantedHost)) << "the link stays as it was";
            }
            std::ifstream outside(outsideFile, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(outside), {}), "outside\n");
            EXPECT_FALSE(std::filesystem::exists(nothing)) << "the link's missing target was not created";
            EXPECT_TRUE(std::filesystem::is_empty(outsideFolder));
        }
    }
}

TEST(LogFileCreation, EveryNameTakenMeanwhileIsPassedOver) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    CLogFile log(machine.Load().platform());
    machine.WriteFile("C:\\Temp\\ZQMERLESETUP000.LOG", "other run\r\n");
    machine.PlantHostLink("C:\\Temp\\zqmerlesetup001.log", machine.Dir() / "nothing.txt");
    machine.MakeFolder("C:\\Temp\\zqmerlesetup002.log");
    EXPECT_EQ(log.LogMessage(LOG_HIGH, L"mine"), 1);
    EXPECT_EQ(log.Path(), L"C:\\Temp\\zqmerlesetup003.log");
    EXPECT_EQ(machine.LogMessages(3), std::vector<std::string>{"mine"});
    EXPECT_EQ(machine.ReadFile("C:\\Temp\\ZQMERLESETUP000.LOG"), "other run\r\n");
}

// The last two names taken between the choice and the first line: nothing
// is logged and nothing fails. The next run finds all thousand taken.
TEST(LogFileCreation, AllThousandNamesTakenLogsNothing) {
    TestMachine machine;
    for (int i = 0; i < 998; ++i) machine.WriteFile(Utf16ToUtf8(LogFileCandidate(L"C:\\Temp\\", i)), "old");
    {
        CLogFile log(machine.Load().platform());
        EXPECT_EQ(log.Path(), L"C:\\Temp\\zqmerlesetup998.log");
        machine.WriteFile("C:\\Temp\\zqmerlesetup998.log", "old");
        machine.WriteFile("C:\\Temp\\zqmerlesetup999.log", "old");
        EXPECT_EQ(log.LogMessage(LOG_HIGH, L"lost"), 0);
        EXPECT_EQ(log.LogMessage(LOG_HIGH, L"lost too"), 0);
        EXPECT_EQ(log.Path(), L"C:\\Temp\\");
    }
    CLogFile next(machine.Load().platform());
    EXPECT_EQ(next.Path(), L"C:\\Temp\\");
    EXPECT_EQ(next.LogMessage(LOG_HIGH, L"lost"), 0);
    for (int i : {0, 998, 999}) {
        const std::string name = Utf16ToUtf8(LogFileCandidate(L"C:\\Temp\\", i));
        EXPECT_EQ(machine.ReadFile(name), "old") << name;
    }
}

// The file comes into being with the first line: a run that writes none
// leaves no file, and the next run still takes the same name.
TEST(LogFileCreation, ARunWithoutLinesLeavesNoFile) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    {
        CLogFile log(machine.Load().platform());
        EXPECT_EQ(log.LogMessage(LOG_MEDIUM, L"filtered out"), 0);
    }
    EXPECT_FALSE(machine.FileExists("C:\\Temp\\zqmerlesetup000.log"));
    CLogFile next(machine.Load().platform());
    EXPECT_EQ(next.Path(), L"C:\\Temp\\zqmerlesetup000.log");
}

// A line that cannot create the file (its folder is missing) is lost; the
// next line tries again.
TEST(LogFileCreation, ALineThatCannotCreateTheFileIsLostAlone) {
    TestMachine machine;
    CLogFile log(machine.Load().platform());
    EXPECT_EQ(log.LogMessage(LOG_HIGH, L"lost"), 0);
    machine.MakeFolder("C:\\Temp");
    EXPECT_EQ(log.LogMessage(LOG_HIGH, L"kept"), 1);
    EXPECT_EQ(log.Path(), L"C:\\Temp\\zqmerlesetup000.log");
    EXPECT_EQ(machine.LogMessages(), std::vector<std::string>{"kept"});
}

// Once created, the file is held open: a name that is swapped for a link
// afterwards does not redirect the lines that follow.
TEST(LogFileCreation, LinesGoThroughTheFileCreatedNotThroughItsName) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    const std::filesystem::path outside = machine.Dir() / "outside.txt";
    std::ofstream(outside, std::ios::binary) << "outside\n";
    CLogFile log(machine.Load().platform());
    ASSERT_EQ(log.LogMessage(LOG_HIGH, L"first"), 1);
    std::filesystem::rename(machine.HostPath("C:\\Temp\\zqmerlesetup000.log"),
                            machine.Dir() / "drives" / "C" / "Temp" / "moved.log");
    machine.PlantHostLink("C:\\Temp\\zqmerlesetup000.log", outside);
    ASSERT_EQ(log.LogMessage(LOG_HIGH, L"second"), 1);
    EXPECT_EQ(machine.ReadFile("C:\\Temp\\zqmerlesetup000.log"), "outside\n");
    const std::string moved = machine.ReadFile("C:\\Temp\\moved.log");
    EXPECT_NE(moved.find("]first\r\n"), std::string::npos);
    EXPECT_NE(moved.find("]second\r\n"), std::string::npos);
}

// TEMP as people set it, each with the log of an earlier run present: that
// log stays as it was, and this run gets the next name, spelled once.
TEST(LogFileName, TempSpellingsWithAnEarlierLog) {
    // 240 characters: every log name in it has 260, MAX_PATH.
    const std::string longTemp = "C:\\Users\\" + std::string(100, 'a') + "\\" + std::string(130, 'b');
    ASSERT_EQ(longTemp.size(), 240u);
    struct Row {
        std::string temp, folder;
    } rows[] = {
        {"C:\\Temp\\", "C:\\Temp\\"}, {"C:\\Temp\\\\", "C:\\Temp\\"},     {"c:/temp/", "c:/temp\\"},
        {longTemp, longTemp + "\\"},  {longTemp + "\\", longTemp + "\\"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.temp);
        TestMachine machine;
        machine.config()["environment"] = {{"TEMP", row.temp}};
        machine.WriteFile(row.folder + "zqmerlesetup000.log", "earlier run\r\n");
        CLogFile log(machine.Load().platform());
        EXPECT_EQ(log.LogMessage(LOG_HIGH, L"this run"), 1);
        const std::string expected = row.folder + "zqmerlesetup001.log";
        EXPECT_EQ(Utf16ToUtf8(log.Path()), expected);
        EXPECT_EQ(machine.ReadFile(row.folder + "zqmerlesetup000.log"), "earlier run\r\n");
        EXPECT_EQ(machine.LogMessages(1), std::vector<std::string>{"this run"});
    }
    EXPECT_EQ(LogFileCandidate(LogFolderOf(Utf8ToUtf16(longTemp)), 0).size(), 260u);
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
                log.LogMessage(LOG_HIGH, L"%s line %d of a message long enough to be interleaved %s", WString(1, tag),
                               i, WString(40, tag));
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
