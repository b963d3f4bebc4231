// Installed-driver detection: magic keywords in the Windows folder's
// inf\oem*.inf files.
#include "checks/driver_detection.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

using test::SettingsFile;
using test::StandardMachine;
using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;
using nlohmann::json;

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
        {"the first listed wins over an earlier piece's", U(L"beta" + pad + L"alpha"), {L"alpha", L"beta"}, 0},
        {"one listed later is the answer until then", U(L"beta" + pad + L"gamma"), {L"alpha", L"beta", L"gamma"}, 1},
        {"an empty keyword occurs in every text", U(L"anything"), {L"nothing", L""}, 1},
        {"an empty keyword matches an empty file", {}, {L"a", L""}, 1},
        {"a NUL before a later piece's match ends the text", U(L"ab" + nul + pad + L"cd"), {L"cd"}, -1},
        {"what came before the NUL still counts", U(L"ab" + pad + nul + L"cd"), {L"cd", L"ab"}, 1},
        {"a keyword straddling an odd last byte", B(StringToUtf16LeBytes(pad + L"en") + "d"), {L"end"}, -1},
        {"a keyword's tail in a later piece", U(pad + L"A long keyword indeed" + pad), {L"a long keyword indeed"}, -1},
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

// Whole runs at level 127 with the keywords and oem files of each row: the
// detection's log lines (the keywords listed, the files searched in name
// order, the keyword found) and the message box when none holds a keyword,
// kept whole in tests/host/golden/driver-detection.json. Keys after a gap in
// the numbers are never read; a keyword with % is logged as it is; a
// single-byte file does not match; no oem file logs nothing; a file after a
// larger one is searched in its own bytes (the detection reads every file
// into one buffer).
TEST(DriverDetection, WhatIsSearchedAndFound) {
    const std::string driver = test::kDriverKeyword;
    const auto u16 = [](const WString& text) { return "\xFF\xFE" + StringToUtf16LeBytes(text); };
    struct Case {
        std::map<std::string, std::string> keywords;  // by number
        bool driverInstalled;
        std::map<std::string, std::string> files;  // in C:\Windows\inf
    } cases[] = {
        {{{"1", "Nope 1"}, {"2", driver}}, true, {}},
        {{{"1", "Nope 1"}, {"2", "Nope 2"}, {"4", driver}}, true, {}},
        {{{"1", "100%s %d"}}, true, {}},
        {{{"1", driver}}, false, {{"oem1.inf", "Model=\"ZQ Merle 5400 Series\""}}},
        {{{"1", driver}}, false, {{"machine.inf", u16(L"ZQ Merle 5400")}}},
        {{{"1", driver}}, false, {{"oem1.inf", u16(L"a")}, {"OEM2.INF", u16(L"a")}, {"oem10.inf", u16(L"a")}}},
        {{{"1", "KEYWORD"}},
         false,
         {{"oem1.inf", StringToUtf16LeBytes(WString(1, L'\0') + WString(500, L'x') + L"KEYWORD")},
          {"oem2.inf", StringToUtf16LeBytes(L"short")}}},
    };
    json records = json::array();
    for (const auto& c : cases) {
        SettingsFile settings = SettingsFile::Basic();
        for (const auto& [number, keyword] : c.keywords) settings.Set("CPE.MagicKeywords", number, keyword);
        StandardMachine machine(settings, c.driverInstalled);
        for (const auto& [name, bytes] : c.files) machine.WriteFile(kInf + name, bytes);
        machine.Run("-log 127");
        records.push_back({{"log", test::LinesFrom(machine.LogMessages(), "========Enumerating Magic Keywords")},
                           {"boxes", test::Values(machine.Events("messageBox"), "text")}});
    }
    test::ExpectGolden("driver-detection.json", records.dump(1) + "\n");
}

// A file another process holds open (here under another spelling) does not
// match and is not searched. A name in the inf folder that is not a regular
// file on the host (a FIFO, a device, a folder) fails to open as a file
// Windows cannot read: the search goes on, and the simulated machine says so
// on stderr. Nothing waits for a FIFO's writer or reads /dev/zero to its end.
TEST(DriverDetection, NamesThatAreNotRegularFilesAreSkipped) {
    StandardMachine machine(SettingsFile::Basic(), /*driverInstalled=*/false);
    machine.MakeFolder(kInf + "oem2.inf");
    machine.WriteUtf16LeFile(kInf + "oem3.inf", L"ZQ Merle 5400", true);
    machine.WriteUtf16LeFile(kInf + "oem4.inf", L"ZQ Merle 5400", true);
    machine.config()["lockedFiles"] = {"c:\\windows\\INF\\OEM3.INF"};
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
// pieces (as KeywordSearch's rows are), and what lies across a boundary is
// found.
TEST(DriverDetection, LargeFilesAreSearchedInPiecesOfBoundedSize) {
    constexpr std::size_t kLimit = kInfWholeReadLimit;
    const auto x = [](std::size_t bytes) { return StringToUtf16LeBytes(WString(bytes / 2, L'x')); };
    const std::string key = StringToUtf16LeBytes(L"ZQ Merle 5400");
    for (const auto& [why, file] :
         {std::pair{"a keyword across the first boundary", x(kLimit - 8) + key + x(1024)},
          {"the first-listed keyword wins across pieces", x(1024) + StringToUtf16LeBytes(L"Other") + x(kLimit) + key},
          {"a file of the limit is read whole", x(kLimit - 26) + key}}) {
        SCOPED_TRACE(why);
        StandardMachine machine(SettingsFile::Basic().Set("CPE.MagicKeywords", "2", "Other"), false);
        machine.config()["largestAllocationBytes"] = kLimit + 64 * 1024;
        machine.WriteFile(kInf + "oem1.inf", file);
        machine.Run("-log 127");
        EXPECT_EQ(test::LinesFrom(machine.LogMessages(), Searching("oem1.inf")),
                  (Lines{Searching("oem1.inf"), Found("ZQ Merle 5400", "oem1.inf")}));
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
}

// A backslash before "\n" does not escape it. (The box's caption: the run scenarios.)
TEST(MessageBox, LineBreaksFromBackslashN) {
    StandardMachine machine(SettingsFile::Basic().Set("English", "8", "Line one\\nLine two\\\\n end"), false);
    machine.Run("");
    EXPECT_EQ(test::Values(machine.Events("messageBox"), "text"), Lines{"Line one\nLine two\\\n end"});
}

}  // namespace
}  // namespace zq
