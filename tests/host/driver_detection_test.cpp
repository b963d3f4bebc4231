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
using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& s) { return {s.begin(), s.end()}; }
Bytes U(const WString& s) { return B(StringToUtf16LeBytes(s)); }

// Each row is searched whole, and in pieces of every size from a byte up,
// so that each row has a piece boundary at each place of its text.
TEST(KeywordSearch, WholeAndInPieces) {
    const WString pad(40, L'x');
    const WString nul(1, L'\0');
    struct Case {
        const char* why;
        Bytes file;
        std::vector<WString> keywords;
        int expected;
    } cases[] = {
        {"UTF-16LE text holds the keyword", U(L"x ZQ Merle 5400 y"), {L"ZQ Merle 5400"}, 0},
        {"single-byte text does not", B("x ZQ Merle 5400 y"), {L"ZQ Merle 5400"}, -1},
        {"the first keyword of the list that occurs", U(L"beta alpha"), {L"gamma", L"alpha", L"beta"}, 1},
        {"the first-listed keyword wins over one in an earlier piece",
         U(L"beta" + pad + L"alpha"),
         {L"alpha", L"beta"},
         0},
        {"a keyword listed later is the answer until then",
         U(L"beta" + pad + L"gamma"),
         {L"alpha", L"beta", L"gamma"},
         1},
        {"an empty keyword occurs in every text", U(L"anything"), {L"nothing", L""}, 1},
        {"an empty keyword matches an empty file", {}, {L"a", L""}, 1},
        {"a NUL before a later piece's match ends the text", U(L"ab" + nul + pad + L"cd"), {L"cd"}, -1},
        {"what came before the NUL still counts", U(L"ab" + pad + nul + L"cd"), {L"cd", L"ab"}, 1},
        {"a keyword straddling an odd last byte", B(StringToUtf16LeBytes(pad + L"en") + "d"), {L"end"}, -1},
        {"a keyword across a boundary", U(L"xxxxxabcdxxx"), {L"abcd"}, 0},
        {"a keyword longer than every piece", U(pad + L"a long keyword indeed" + pad), {L"a long keyword indeed"}, 0},
        {"the same with its first unit wrong", U(pad + L"A long keyword indeed" + pad), {L"a long keyword indeed"}, -1},
        {"a NUL inside the first occurrence", U(WString(L"KE\0KEY-KEY", 10)), {L"KEY"}, -1},
        {"two units that form a third at an odd place", U(L"\u4100\u4200"), {L"\u0041"}, -1},
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

const std::string kInf = "C:\\Windows\\inf\\";
std::string Searching(const std::string& file) { return "** Searching " + kInf + file; }
std::string Found(const std::string& keyword, const std::string& file) {
    return "** Magic key word " + keyword + " found in " + kInf + file;
}

// Whole runs at level 127: the keywords listed, the files searched, and
// the message box when none holds a keyword.
TEST(DriverDetection, WhatIsSearchedAndFound) {
    const std::string driver = test::kDriverKeyword;
    const std::string notFound = "Drivers not found", oem0 = Searching("oem0.inf"), oem1 = Searching("oem1.inf");
    struct File {
        std::string name, bytes;
    };
    const auto u16 = [](const WString& text) { return "\xFF\xFE" + StringToUtf16LeBytes(text); };
    struct Case {
        const char* why;
        Lines keywords;  // "(gap)" leaves its number out
        bool driverInstalled;
        std::vector<File> files;
        Lines search;  // the lines after the keywords' list
    } cases[] = {
        {"the second keyword, in its file", {"Nope 1", driver}, true, {}, {oem1, Found(driver, "oem1.inf")}},
        {"keys after a gap are never read", {"Nope 1", "Nope 2", "(gap)", driver}, true, {}, {oem1, notFound}},
        {"a keyword with % logged unchanged", {"100%s %d"}, true, {}, {oem1, notFound}},
        {"a single-byte file", {driver}, false, {{"oem1.inf", "Model=\"ZQ Merle 5400 Series\""}}, {oem1, notFound}},
        {"no oem files: nothing logged", {driver}, false, {{"machine.inf", driver}}, {}},
        {"three files, none matching",
         {driver},
         false,
         {{"oem1.inf", u16(L"another")}, {"OEM2.INF", u16(L"another")}, {"oem10.inf", u16(L"another")}},
         {oem1, Searching("oem10.inf"), Searching("OEM2.INF"), notFound}},
        // The detection reads every file into one buffer: a file after a larger one is searched in its own bytes.
        {"a file after a larger one",
         {"KEYWORD"},
         false,
         {{"oem1.inf", StringToUtf16LeBytes(WString(1, L'\0') + WString(500, L'x') + L"KEYWORD")},
          {"oem2.inf", StringToUtf16LeBytes(L"short")}},
         {oem1, Searching("oem2.inf"), notFound}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        SettingsFile settings = SettingsFile::Basic();
        Lines expected = {"========Enumerating Magic Keywords========"};
        for (std::size_t i = 0; i < c.keywords.size(); ++i) {
            if (c.keywords[i] == "(gap)") {
                settings.Set("CPE.MagicKeywords", std::to_string(i + 2), c.keywords.at(i + 1));
                break;
            }
            settings.Set("CPE.MagicKeywords", std::to_string(i + 1), c.keywords[i]);
            expected.push_back(c.keywords[i]);
        }
        expected.push_back("==========================================");
        expected.insert(expected.end(), c.search.begin(), c.search.end());
        StandardMachine machine(settings, c.driverInstalled);
        for (const File& file : c.files) machine.WriteFile(kInf + file.name, file.bytes);
        machine.Run("-log 127");
        EXPECT_EQ(test::LinesFrom(machine.LogMessages(), expected[0]), expected);
        const bool found = !c.search.empty() && c.search.back() != notFound;
        EXPECT_EQ(test::Values(machine.Events("messageBox"), "text"), found ? Lines{} : Lines{test::EnglishText(8)});
    }
}

TEST(DriverDetection, ALockedFileDoesNotMatchAndIsNotSearched) {
    StandardMachine machine(SettingsFile::Basic());
    machine.config()["lockedFiles"] = {"c:\\windows\\INF\\OEM1.INF"};
    machine.Run("-log 127");
    EXPECT_TRUE(
        test::HasRun(machine.LogMessages(), {"==========================================", "Drivers not found"}));
    EXPECT_EQ(machine.Events("messageBox").size(), 1u);
}

// A name in the inf folder that is not a regular file on the host (a FIFO,
// a device, a folder) fails to open as a file Windows cannot read: the
// search goes on, and the simulated machine says so on stderr. Nothing
// waits for a FIFO's writer or reads /dev/zero to its end.
TEST(DriverDetection, NamesThatAreNotRegularFilesAreSkipped) {
    StandardMachine machine(SettingsFile::Basic(), /*driverInstalled=*/false);
    machine.MakeFolder(kInf + "oem2.inf");
    machine.WriteUtf16LeFile(kInf + "oem4.inf", L"ZQ Merle 5400", true);
    ASSERT_EQ(::mkfifo(machine.HostPath(kInf + "oem0.inf").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", machine.HostPath(kInf + "oem1.inf"));
    testing::internal::CaptureStderr();
    machine.Run("-log 127");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(test::LinesFrom(machine.LogMessages(), Searching("")),
              (Lines{Searching("oem4.inf"), Found("ZQ Merle 5400", "oem4.inf")}));
    for (const char* kind : {"oem0.inf (", "is a FIFO, not a regular file", "oem1.inf (", "is a device, not"})
        EXPECT_NE(err.find(kind), std::string::npos) << err;
    EXPECT_EQ(err.find("oem2.inf"), std::string::npos) << "a folder is no file on Windows either";
}

// Files larger than the whole-read limit, on a machine whose process can
// get no block of memory much larger than one piece: each is searched in
// pieces, and whatever lies across a boundary is found.
TEST(DriverDetection, LargeFilesAreSearchedInPiecesOfBoundedSize) {
    constexpr std::size_t kLimit = kInfWholeReadLimit;
    const auto x = [](std::size_t bytes) {  // UTF-16LE "x"s
        std::string text;
        while (text.size() < bytes) text += std::string("x\0", 2);
        return text.substr(0, bytes);
    };
    const auto u16 = [](const WString& text) { return StringToUtf16LeBytes(text); };
    const std::string keyword = "ZQ Merle 5400";
    const std::string key = u16(L"ZQ Merle 5400");
    const std::string found = Found(keyword, "oem1.inf");
    struct Case {
        const char* why;
        std::string file;
        Lines keywords;
        std::string last;  // the last line of the detection
    } cases[] = {
        {"a keyword across the first boundary", x(kLimit - 8) + key + x(1024), {keyword}, found},
        {"a keyword across the second boundary", x(2 * kLimit - 6) + key + x(1024), {keyword}, found},
        {"the first-listed keyword wins across pieces",
         x(1024) + u16(L"Other") + x(kLimit) + key,
         {keyword, "Other"},
         found},
        {"the later keyword when the first is in no piece",
         x(1024) + u16(L"Other") + x(kLimit),
         {keyword, "Other"},
         Found("Other", "oem1.inf")},
        {"a NUL before a later piece's match ends the text",
         x(1024) + std::string(2, '\0') + x(kLimit) + key,
         {keyword},
         "Drivers not found"},
        {"a file of the limit is read whole", x(kLimit - 26) + key, {keyword}, found},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        SettingsFile settings = SettingsFile::Basic();
        for (std::size_t i = 0; i < c.keywords.size(); ++i)
            settings.Set("CPE.MagicKeywords", std::to_string(i + 1), c.keywords[i]);
        StandardMachine machine(settings, /*driverInstalled=*/false);
        machine.config()["largestAllocationBytes"] = kLimit + 64 * 1024;
        machine.WriteFile(kInf + "oem1.inf", c.file);
        machine.Run("-log 127");
        const Lines lines = machine.LogMessages();
        EXPECT_TRUE(test::HasRun(lines, {Searching("oem1.inf"), c.last}));
        EXPECT_EQ(lines.back(), c.last);
        EXPECT_EQ(machine.Events("exit").size(), 1u);
    }
}

// An unexpected error (here a failed allocation) ends the run with a line
// written at level 1, so even a run without "-log" has it. (The scenario
// "unexpected-error" keeps the rest of such a run.)
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
    const auto boxes = machine.Events("messageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]["caption"], "ZQ Merle Refresh Installer");
    EXPECT_EQ(boxes[0]["text"], "Line one\nLine two\\\n end");
}

}  // namespace
}  // namespace zq
