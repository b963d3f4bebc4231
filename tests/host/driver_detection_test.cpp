// Installed-driver detection: magic keywords in the Windows folder's
// inf\oem*.inf files.
#include "checks/driver_detection.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "tests/support/scenario.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

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

// The same table and more, searched the way a large file is: in pieces,
// of every size from a byte up, so that each row has a boundary at each
// place of its text.
TEST(KeywordSearch, InPiecesAnswersAsWhole) {
    const WString pad(40, L'x');
    struct Case {
        const char* why;
        std::vector<std::uint8_t> file;
        std::vector<WString> keywords;
        int expected;
    } cases[] = {
        {"a keyword across a boundary", Utf16(L"xxxxxabcdxxx"), {L"abcd"}, 0},
        {"the first-listed keyword wins over one in an earlier piece",
         Utf16(L"beta" + pad + L"alpha"),
         {L"alpha", L"beta"},
         0},
        {"a keyword listed later is the answer until then",
         Utf16(L"beta" + pad + L"gamma"),
         {L"alpha", L"beta", L"gamma"},
         1},
        {"a NUL before a later piece's match ends the text",
         Utf16(L"ab" + WString(1, L'\0') + pad + L"cd"),
         {L"cd"},
         -1},
        {"what came before the NUL still counts", Utf16(L"ab" + pad + WString(1, L'\0') + L"cd"), {L"cd", L"ab"}, 1},
        {"a NUL in the keyword never matches", Utf16(WString(L"a\0b", 3)), {WString(L"a\0b", 3), L"b"}, -1},
        {"a keyword at the very end", Utf16(pad + L"end"), {L"end"}, 0},
        {"a keyword straddling an odd last byte", Bytes(StringToUtf16LeBytes(pad + L"en") + "d"), {L"end"}, -1},
        {"the odd last byte takes no part", Bytes(StringToUtf16LeBytes(pad + L"end") + "d"), {L"end"}, 0},
        {"an empty keyword after one that occurs later", Utf16(pad + L"late"), {L"late", L""}, 0},
        {"an empty keyword before one that occurs", Utf16(L"early" + pad), {L"", L"early"}, 0},
        {"a keyword longer than every piece",
         Utf16(pad + L"a long keyword indeed" + pad),
         {L"a long keyword indeed"},
         0},
        {"the same with its last unit wrong",
         Utf16(pad + L"a long keyword indeeD" + pad),
         {L"a long keyword indeed"},
         -1},
        {"the same with its first unit wrong",
         Utf16(pad + L"A long keyword indeed" + pad),
         {L"a long keyword indeed"},
         -1},
        {"a single-unit keyword in each piece", Utf16(pad + L"y"), {L"y"}, 0},
        {"an empty file", {}, {L"a", L""}, 1},
        {"no keywords", Utf16(L"ab"), {}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_EQ(FindFirstKeyword(c.file.data(), c.file.size(), c.keywords), c.expected) << "read whole";
        for (std::size_t piece = 1; piece <= c.file.size() + 1; ++piece) {
            SCOPED_TRACE("pieces of " + std::to_string(piece) + " bytes");
            EXPECT_EQ(FindFirstKeywordInPieces(c.file.data(), c.file.size(), c.keywords, piece), c.expected);
        }
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
              (std::vector<std::string>{
                  "========Enumerating Magic Keywords========", "Nope 1", "ZQ Merle 5400",
                  "==========================================", "** Searching C:\\Windows\\inf\\oem1.inf",
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

// A name in the inf folder that is not a regular file on the host (a FIFO,
// a device, a folder) is listed, and its open fails as a file Windows
// cannot read: the search goes on to the next file, the launcher's log
// lines are those of Windows, and the simulated machine says on stderr
// which host file it did not read. Nothing waits for a FIFO's writer or
// reads /dev/zero to its end.
TEST(DriverDetection, NamesThatAreNotRegularFilesAreSkipped) {
    StandardMachine machine(SettingsFile::Basic(), /*driverInstalled=*/false);
    machine.MakeFolder("C:\\Windows\\inf\\oem2.inf");
    machine.WriteUtf16LeFile("C:\\Windows\\inf\\oem4.inf", L"ZQ Merle 5400", true);
    const fs::path fifo = machine.HostPath("C:\\Windows\\inf\\oem0.inf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path zero = machine.HostPath("C:\\Windows\\inf\\oem1.inf");
    fs::create_symlink("/dev/zero", zero);
    const fs::path null = machine.HostPath("C:\\Windows\\inf\\oem3.inf");
    fs::create_symlink("/dev/null", null);
    testing::internal::CaptureStderr();
    machine.Run("-log 127");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(DetectionLines(machine.LogMessages()),
              (std::vector<std::string>{
                  "========Enumerating Magic Keywords========", "ZQ Merle 5400",
                  "==========================================", "** Searching C:\\Windows\\inf\\oem4.inf",
                  "** Magic key word ZQ Merle 5400 found in C:\\Windows\\inf\\oem4.inf"}));
    EXPECT_TRUE(machine.Events("messageBox").empty());
    const std::string failure = ": not read; the launcher's open of it fails with error 5 (access denied)\n";
    for (const auto& [path, kind] : {std::pair{fifo, "a FIFO"}, {zero, "a device"}, {null, "a device"}}) {
        const std::string windowsName = "C:\\Windows\\inf\\" + path.filename().string();
        EXPECT_NE(err.find("zqmerlesetup-sim: " + windowsName + " (" + path.string() + ") is " + kind +
                           ", not a regular file" + failure),
                  std::string::npos)
            << err;
    }
    EXPECT_EQ(err.find("oem2.inf"), std::string::npos) << "a folder is no file on Windows either";
}

TEST(DriverDetection, SingleByteFileWithTheKeywordIsNotFound) {
    StandardMachine machine(SettingsFile::Basic(), /*driverInstalled=*/false);
    machine.WriteFile("C:\\Windows\\inf\\oem1.inf", "Model=\"ZQ Merle 5400 Series\"");
    machine.Run("-log 127");
    EXPECT_TRUE(Contains(machine.LogMessages(), "Drivers not found"));
}

// Files larger than the whole-read limit, on a machine whose process can
// get no block of memory much larger than one piece: each is searched in
// pieces, and whatever lies across a boundary is found.
TEST(DriverDetection, LargeFilesAreSearchedInPiecesOfBoundedSize) {
    constexpr std::size_t kLimit = kInfWholeReadLimit;
    // UTF-16LE bytes of `units` blanks' worth of "x".
    const auto filler = [](std::size_t bytes) {
        std::string text;
        text.reserve(bytes);
        while (text.size() < bytes) text += std::string("x\0", 2);
        return text.substr(0, bytes);
    };
    const auto utf16 = [](const WString& text) { return StringToUtf16LeBytes(text); };
    const std::string keyword = "ZQ Merle 5400";
    const WString wideKeyword = L"ZQ Merle 5400";
    const std::string found = "** Magic key word ZQ Merle 5400 found in C:\\Windows\\inf\\oem1.inf";
    struct Case {
        const char* why;
        std::string file;
        std::vector<std::string> keywords;
        std::string last;  // the last line of the detection
    } cases[] = {
        {"a keyword across the first boundary",
         filler(kLimit - 8) + utf16(wideKeyword) + filler(1024),
         {keyword},
         found},
        {"a keyword across the second boundary",
         filler(2 * kLimit - 6) + utf16(wideKeyword) + filler(1024),
         {keyword},
         found},
        {"a keyword at the very end", filler(kLimit + 4096) + utf16(wideKeyword), {keyword}, found},
        {"a keyword straddling the odd last byte",
         filler(kLimit + 4096) + utf16(L"ZQ Merle 540") + "0",
         {keyword},
         "Drivers not found"},
        {"the first-listed keyword wins across pieces",
         filler(1024) + utf16(L"Other") + filler(kLimit) + utf16(wideKeyword),
         {keyword, "Other"},
         found},
        {"the later keyword when the first is in no piece",
         filler(1024) + utf16(L"Other") + filler(kLimit),
         {keyword, "Other"},
         "** Magic key word Other found in C:\\Windows\\inf\\oem1.inf"},
        {"a NUL before a later piece's match ends the text",
         filler(1024) + std::string(2, '\0') + filler(kLimit) + utf16(wideKeyword),
         {keyword},
         "Drivers not found"},
        {"a file of the limit is read whole", filler(kLimit - 26) + utf16(wideKeyword), {keyword}, found},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        SettingsFile settings = SettingsFile::Basic();
        for (std::size_t i = 0; i < c.keywords.size(); ++i)
            settings.Set("CPE.MagicKeywords", std::to_string(i + 1), c.keywords[i]);
        StandardMachine machine(settings, /*driverInstalled=*/false);
        machine.config()["largestAllocationBytes"] = kLimit + 64 * 1024;
        machine.WriteFile("C:\\Windows\\inf\\oem1.inf", c.file);
        machine.Run("-log 127");
        std::vector<std::string> lines = DetectionLines(machine.LogMessages());
        EXPECT_TRUE(Contains(lines, "** Searching C:\\Windows\\inf\\oem1.inf"));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.last);
        EXPECT_EQ(machine.Events("exit").size(), 1u);
    }
}

// A file read whole needs a block of its size; where the process has none,
// the run ends with a line that says so instead of vanishing.
TEST(DriverDetection, AnAllocationFailureEndsTheRunWithALogLine) {
    StandardMachine machine(SettingsFile::Basic());
    machine.config()["largestAllocationBytes"] = 1024 * 1024;
    machine.WriteFile("C:\\Windows\\inf\\oem0.inf", std::string(2 * 1024 * 1024, 'x'));
    machine.Run("-log 127");
    const std::vector<std::string> lines = machine.LogMessages();
    EXPECT_TRUE(Contains(lines, "## Unexpected error : std::bad_alloc"));
    EXPECT_FALSE(Contains(lines, "** Searching C:\\Windows\\inf\\oem0.inf")) << "the file was never read";
    EXPECT_TRUE(machine.Events("messageBox").empty());
    EXPECT_TRUE(machine.Events("processStart").empty());
    const auto exits = machine.Events("exit");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0]["status"], 0);
}

// The line is written at level 1, so even a run without "-log" has it.
TEST(DriverDetection, TheUnexpectedErrorLineIsWrittenAtLevelOne) {
    StandardMachine machine(SettingsFile::Basic().Set("Version", "Log", "1"));
    machine.config()["largestAllocationBytes"] = 16;
    machine.Run();
    EXPECT_TRUE(test::LinesStartingWith(machine.LogMessages(), "--> ").empty()) << "a run at level 1";
    EXPECT_EQ(test::LinesStartingWith(machine.LogMessages(), "## Unexpected error : ").size(), 1u);
    EXPECT_EQ(machine.Events("exit")[0]["status"], 0);
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
