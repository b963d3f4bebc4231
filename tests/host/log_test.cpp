#include "log/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "authoring/log_records.h"
#include "tests/support/sim_program.h"
#include "tests/support/test_machine.h"

namespace zq {
namespace {

namespace fs = std::filesystem;
using test::TestMachine;
using Lines = std::vector<std::string>;

// What another program (or an earlier run) may have put at the log's name,
// before the run chooses its name or between the choice (at start) and the
// file's creation (at the first line), with TEMP as people set it: the
// launcher never writes through it, and uses the next number, spelled once.
// An unset TEMP names the root of the current drive.
TEST(LogFileCreation, NothingPlantedAtTheNameIsWrittenThrough) {
    // 240 characters: every log name in it has 260, MAX_PATH.
    const std::string longTemp = "C:\\Users\\" + std::string(100, 'a') + "\\" + std::string(130, 'b');
    ASSERT_EQ(LogFileCandidate(LogFolderOf(Utf8ToUtf16(longTemp)), 0).size(), 260u);
    struct Row {
        nlohmann::json temp;
        std::string folder, named;  // where the files are, and how the run names its own
    } rows[] = {
        {"C:\\Temp\\\\", "C:\\Temp\\", "C:\\Temp\\"},
        {"c:/temp/", "c:\\temp\\", "c:/temp\\"},
        {longTemp + "\\", longTemp + "\\", longTemp + "\\"},
        {nullptr, "C:\\", "\\"},
    };
    for (const Row& row : rows) {
        for (const std::string planted : {"link to a file outside", "link to nothing", "file"}) {
            for (bool beforeTheChoice : {true, false}) {
                SCOPED_TRACE(testing::Message()
                             << row.temp << ": " << planted << (beforeTheChoice ? " before" : " after"));
                TestMachine machine;
                machine.config()["environment"] = nlohmann::json::object();
                if (!row.temp.is_null()) machine.config()["environment"]["TEMP"] = row.temp;
                machine.MakeFolder(row.folder);
                const fs::path outsideFile = machine.Dir() / "outside.txt", nothing = machine.Dir() / "nothing.txt";
                std::ofstream(outsideFile, std::ios::binary) << "outside\n";
                const std::string name = row.folder + "zqmerlesetup000.log";
                auto plant = [&] {
                    if (planted == "file") machine.WriteFile(name, "earlier run\r\n");
                    else machine.PlantHostLink(name, planted == "link to nothing" ? nothing : outsideFile);
                };
                if (beforeTheChoice) plant();
                CLogFile log(machine.Load().platform());
                if (!beforeTheChoice) {
                    EXPECT_EQ(Utf16ToUtf8(log.Path()), row.named + "zqmerlesetup000.log");
                    plant();
                }
                EXPECT_EQ(log.LogMessage(LOG_HIGH, L"+++ banner"), 1);
                EXPECT_EQ(log.LogMessage(LOG_HIGH, L"second line"), 1);
                EXPECT_EQ(Utf16ToUtf8(log.Path()), row.named + "zqmerlesetup001.log");
                EXPECT_EQ(machine.LogMessages(1), (Lines{"+++ banner", "second line"}));
                if (planted == "file") EXPECT_EQ(machine.ReadFile(name), "earlier run\r\n");
                else EXPECT_TRUE(fs::is_symlink(machine.HostPath(name))) << "the link stays as it was";
                EXPECT_EQ(test::ReadText(outsideFile), "outside\n");
                EXPECT_FALSE(fs::exists(nothing)) << "the link's missing target was not created";
            }
        }
    }
}

// The file comes into being with the first line that passes the level: a
// line filtered out leaves no file. A folder named like a log file counts
// as taken. The last two names taken between the choice and the first
// line: nothing is logged and nothing fails. The next run finds all
// thousand taken.
TEST(LogFileName, TheFirstFreeNumberAtTheFirstLineUpToTheLast) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp\\zqmerlesetup000.log");
    for (int i = 1; i < 998; ++i) machine.WriteFile(Utf16ToUtf8(LogFileCandidate(L"C:\\Temp\\", i)), "old");
    {
        CLogFile log(machine.Load().platform());
        EXPECT_EQ(log.LogMessage(LOG_MEDIUM, L"filtered out"), 0);
        EXPECT_FALSE(machine.FileExists("C:\\Temp\\zqmerlesetup998.log"));
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
    for (int i : {1, 998, 999}) EXPECT_EQ(machine.ReadFile(Utf16ToUtf8(LogFileCandidate(L"C:\\Temp\\", i))), "old");
}

// A line that cannot create the file (its folder is missing) is lost; the
// next line tries again. Once created, the file is held open: a name that
// is swapped for a link afterwards does not redirect the lines that follow.
TEST(LogFileCreation, LinesGoThroughTheFileCreatedNotThroughItsName) {
    TestMachine machine;
    const fs::path outside = machine.Dir() / "outside.txt";
    std::ofstream(outside, std::ios::binary) << "outside\n";
    CLogFile log(machine.Load().platform());
    EXPECT_EQ(log.LogMessage(LOG_HIGH, L"lost"), 0);
    machine.MakeFolder("C:\\Temp");
    ASSERT_EQ(log.LogMessage(LOG_HIGH, L"first"), 1);
    EXPECT_EQ(log.Path(), L"C:\\Temp\\zqmerlesetup000.log");
    fs::rename(machine.HostPath("C:\\Temp\\zqmerlesetup000.log"), machine.HostPath("C:\\Temp") / "moved.log");
    machine.PlantHostLink("C:\\Temp\\zqmerlesetup000.log", outside);
    ASSERT_EQ(log.LogMessage(LOG_HIGH, L"second"), 1);
    EXPECT_EQ(machine.ReadFile("C:\\Temp\\zqmerlesetup000.log"), "outside\n");
    EXPECT_EQ(sim::LogMessages(machine.ReadFile("C:\\Temp\\moved.log")), (Lines{"first", "second"}));
}

// Before the level is set, HIGH lines pass; every message is cut to 512
// characters.
TEST(LogLine, FilteredByTheLevelAndCutTo512Characters) {
    const WString message = WString(511, L'a') + L"bc" + WString(87, L'd');
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    CLogFile log(machine.Load().platform());
    log.LogMessage(LOG_HIGH, L"high before");
    log.LogMessage(LOG_MEDIUM, L"medium before");
    log.LogAlways(L"%s", message);
    log.SetLevel(127);
    log.LogMessage(LOG_MEDIUM, L"%s", message);
    log.LogMessage(LOG_LOW, L"--> Enter DropMain()");
    const std::string cut = std::string(511, 'a') + "b";
    EXPECT_EQ(machine.LogMessages(), (Lines{"high before", cut, cut}));
    EXPECT_EQ(EncodeLogLine(L"[t]", message.substr(0, kLogMessageChars)).size(), 3 + 512 + 2u);
}

TEST(LogLine, EmbeddedLineFeedsBecomeCrLfAndNulEndsTheMessage) {
    EXPECT_EQ(EncodeLogLine(L"[t]", L"a\r\nb"), "[t]a\r\r\nb\r\n");
    EXPECT_EQ(EncodeLogLine(L"[t]", WString(L"a\0b", 3)), "[t]a\r\n");
    EXPECT_EQ(EncodeLogLine(L"[t]", WString(L"a\rb\n\0c", 6)), "[t]a\rb\r\n\r\n");
    EXPECT_EQ(EncodeLogLine(L"", L"\u0100\u00ff\u0001"), std::string("?\xff\x01\r\n"));
}

TEST(LogConcurrency, TwoThreadsNeverMixOrLoseLines) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    Platform& platform = machine.Load().platform();
    CLogFile log(platform);
    constexpr int kLines = 3000;
    const auto text = [](wchar_t tag, int i) {
        return Format(L"%s line %d of a message long enough to be interleaved %s", WString(1, tag), i,
                      WString(40, tag));
    };
    auto writer = [&](wchar_t tag) {
        return [&, tag] {
            for (int i = 0; i < kLines; ++i) log.LogMessage(LOG_HIGH, L"%s", text(tag, i));
        };
    };
    auto first = platform.threads.Start(writer(L'A'));
    auto second = platform.threads.Start(writer(L'B'));
    first->Join();
    second->Join();
    const Lines lines = machine.LogMessages();
    ASSERT_EQ(lines.size(), 2u * kLines);
    const std::set<std::string> seen(lines.begin(), lines.end());
    for (wchar_t tag : {L'A', L'B'})
        for (int i = 0; i < kLines; ++i) ASSERT_TRUE(seen.count(Utf16ToUtf8(text(tag, i)))) << i;
}

}  // namespace
}  // namespace zq
