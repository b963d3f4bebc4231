// Installed-driver detection: magic keywords in the Windows folder's
// inf\oem*.inf files.
#include "checks/driver_detection.h"

#include <gtest/gtest.h>

#include "tests/support/scenario.h"

namespace zq {
namespace {

using test::Contains;
using test::SettingsFile;
using test::StandardMachine;

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::vector<std::uint8_t> Utf16(const WString& s) { return Bytes(StringToUtf16LeBytes(s)); }

TEST(KeywordSearch, Table) {
    struct Case {
        const char* why;
        std::vector<std::uint8_t> file;
        std::vector<WString> keywords;
        int expected;
    } cases[] = {
        {"UTF-16LE text holds the keyword", Utf16(L"x ZQ Merle 5400 y"), {L"ZQ Merle 5400"}, 0},
        {"single-byte text does not", Bytes("x ZQ Merle 5400 y"), {L"ZQ Merle 5400"}, -1},
        {"case-sensitive", Utf16(L"zq merle 5400"), {L"ZQ Merle 5400"}, -1},
        {"the first keyword of the list that occurs", Utf16(L"beta alpha"), {L"gamma", L"alpha", L"beta"}, 1},
        {"an empty keyword occurs in every text", Utf16(L"anything"), {L"nothing", L""}, 1},
        {"an empty keyword matches an empty file", {}, {L""}, 0},
        {"the text ends at its first NUL", Utf16(WString(L"ab\0cd", 5)), {L"cd"}, -1},
        {"a keyword straddling an odd last byte", Bytes(std::string("A\0B", 3)), {L"AB"}, -1},
        {"the odd last byte takes no part", Bytes(std::string("A\0B\0C", 5)), {L"AB"}, 0},
        {"a BOM is just a character", Utf16(L"\ufeffKey"), {L"\ufeffK"}, 0},
        {"non-ASCII code units", Utf16(L"Caf\u00e9 \u20ac"), {L"\u00e9 \u20ac"}, 0},
        {"keyword longer than the text", Utf16(L"ab"), {L"abc"}, -1},
        {"match at the very end", Utf16(L"xxab"), {L"ab"}, 0},
        {"no keywords", Utf16(L"ab"), {}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(FindFirstKeyword(c.file.data(), c.file.size(), c.keywords), c.expected);
    }
}

// The lines that the detection writes at level 127.
std::vector<std::string> DetectionLines(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    bool inside = false;
    for (const std::string& line : log) {
        if (line == "========Enumerating Magic Keywords========") inside = true;
        if (!inside) continue;
        if (line.rfind("--> ", 0) == 0 || line.rfind("<-- ", 0) == 0 || line.rfind("Read Section", 0) == 0 ||
            line.rfind("Number of keys", 0) == 0 || line == test::kSettingsPath || line.rfind("## ReadStr", 0) == 0)
            continue;
        out.push_back(line);
    }
    return out;
}

TEST(DriverDetection, SecondKeywordFoundInTheFileThatHasIt) {
    StandardMachine machine(
        SettingsFile::Basic().Set("CPE.MagicKeywords", "1", "Nope 1").Set("CPE.MagicKeywords", "2", "ZQ Merle 5400"));
    machine.Run("-log 127");
    EXPECT_EQ(DetectionLines(machine.LogMessages()),
              (std::vector<std::string>{"========Enumerating Magic Keywords========", "Nope 1", "ZQ Merle 5400",
                                        "==========================================",
                                        "** Searching C:\\Windows\\inf\\oem1.inf",
                                        "** Magic key word ZQ Merle 5400 found in C:\\Windows\\inf\\oem1.inf"}));
    EXPECT_TRUE(machine.Events("messageBox").empty());
}

TEST(DriverDetection, KeysAfterAGapAreNeverRead) {
    StandardMachine machine(SettingsFile::Basic()
                                .Set("CPE.MagicKeywords", "1", "Nope 1")
                                .Set("CPE.MagicKeywords", "2", "Nope 2")
                                .Set("CPE.MagicKeywords", "4", "ZQ Merle 5400"));
    machine.Run("-log 127");
    std::vector<std::string> lines = DetectionLines(machine.LogMessages());
    EXPECT_FALSE(Contains(lines, "ZQ Merle 5400"));
    EXPECT_TRUE(Contains(lines, "Drivers not found"));
    auto boxes = machine.Events("messageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]["text"], test::EnglishText(8));
}

TEST(DriverDetection, AnEmptyKeywordMatchesTheFirstListedFile) {
    StandardMachine machine(SettingsFile::Basic().Set("CPE.MagicKeywords", "1", ""));
    machine.WriteFile("C:\\Windows\\inf\\oem0.inf", "single-byte");
    machine.Run("-log 127");
    EXPECT_TRUE(Contains(machine.LogMessages(), "** Magic key word  found in C:\\Windows\\inf\\oem0.inf"));
}

TEST(DriverDetection, AKeywordWithPercentIsLoggedUnchanged) {
    StandardMachine machine(SettingsFile::Basic().Set("CPE.MagicKeywords", "1", "100%s %d"));
    machine.Run("-log 127");
    EXPECT_TRUE(Contains(DetectionLines(machine.LogMessages()), "100%s %d"));
}

TEST(DriverDetection, ALockedFileDoesNotMatchAndIsNotSearched) {
    StandardMachine machine(SettingsFile::Basic());
    machine.config()["lockedFiles"] = {"c:\\windows\\INF\\OEM1.INF"};
    machine.Run("-log 127");
    std::vector<std::string> lines = DetectionLines(machine.LogMessages());
    EXPECT_FALSE(Contains(lines, "** Searching C:\\Windows\\inf\\oem1.inf"));
    EXPECT_TRUE(Contains(lines, "Drivers not found"));
    EXPECT_EQ(machine.Events("messageBox").size(), 1u);
}

TEST(DriverDetection, NoFilesAtAllLogsNothing) {
    StandardMachine machine(SettingsFile::Basic(), /*driverInstalled=*/false);
    machine.WriteFile("C:\\Windows\\inf\\machine.inf", "ZQ Merle 5400");
    machine.Run("-log 127");
    std::vector<std::string> lines = DetectionLines(machine.LogMessages());
    EXPECT_TRUE(test::LinesStartingWith(lines, "** Searching").empty());
    EXPECT_FALSE(Contains(lines, "Drivers not found"));
    EXPECT_EQ(machine.Events("messageBox").size(), 1u);
}

TEST(DriverDetection, ThreeFilesNoneMatching) {
    StandardMachine machine(SettingsFile::Basic(), /*driverInstalled=*/false);
    for (const char* name : {"oem1.inf", "OEM2.INF", "oem10.inf"})
        machine.WriteUtf16LeFile(std::string("C:\\Windows\\inf\\") + name, L"another driver", true);
    machine.Run("-log 127");
    std::vector<std::string> lines = DetectionLines(machine.LogMessages());
    EXPECT_EQ(test::LinesStartingWith(lines, "** Searching").size(), 3u);
    EXPECT_EQ(lines.back(), "Drivers not found");
}

TEST(DriverDetection, SingleByteFileWithTheKeywordIsNotFound) {
    StandardMachine machine(SettingsFile::Basic(), /*driverInstalled=*/false);
    machine.WriteFile("C:\\Windows\\inf\\oem1.inf", "Model=\"ZQ Merle 5400 Series\"");
    machine.Run("-log 127");
    EXPECT_TRUE(Contains(machine.LogMessages(), "Drivers not found"));
}

TEST(MessageBox, LineBreaksFromBackslashN) {
    StandardMachine machine(SettingsFile::Basic().Set("English", "8", "Line one\\nLine two\\\\n end"), false);
    machine.Run("");
    auto boxes = machine.Events("messageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]["caption"], "ZQ Merle Refresh Installer");
    EXPECT_EQ(boxes[0]["text"], "Line one\nLine two\\\n end");
}

}  // namespace
}  // namespace zq
