// Operating-system validation: one os_list entry against the running
// Windows version, service pack and word size.
#include "checks/os_validation.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/scenario.h"

namespace zq {
namespace {

using nlohmann::json;
using test::Contains;
using test::SettingsFile;
using test::StandardMachine;
using Lines = std::vector<std::string>;

// machine.json's "os" from "major minor spMajor spMinor bits [nowow|wowfails]": no IsWow64Process, or one
// that fails.
json Os(const std::string& text) {
    std::istringstream in(text);
    int major, minor, spMajor, spMinor, bits;
    std::string wow;
    in >> major >> minor >> spMajor >> spMinor >> bits >> wow;
    json os = {{"major", major},
               {"minor", minor},
               {"servicePackMajor", spMajor},
               {"servicePackMinor", spMinor},
               {"bits", bits}};
    if (wow == "nowow") os["isWow64ProcessAvailable"] = false;
    if (wow == "wowfails") os["isWow64ProcessFails"] = true;
    return os;
}

TEST(OsListEntry, NumberAndPlatformCode) {
    struct Case {
        const wchar_t* entry;
        unsigned number;
        int platformCode;
    } cases[] = {
        {L"501", 501, kPlatform32},
        {L"501_64", 501, kPlatform64},
        {L"600_64", 600, kPlatform64},
        {L"6001", 600, kPlatform32},
        {L" 600", 60, kPlatform32},
        {L" 501", 50, kPlatform32},
        {L"XP", 0, kPlatform32},
        {L"", 0, kPlatform32},
        {L"600_X64", 600, kPlatform32},
        {L"502_64 ", 502, kPlatform32},
        {L"-502", static_cast<unsigned>(-50), kPlatform32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.entry));
        EXPECT_EQ(OsNumberOfEntry(c.entry), c.number);
        EXPECT_EQ(PlatformCodeOfEntry(c.entry), c.platformCode);
    }
}

TEST(OsListEntry, A64BitEntryFor51IsAskedAs52) {
    VersionRequest request = VersionRequestFor(501, kPlatform64, 2, 0);
    EXPECT_EQ(request.major, 5u);
    EXPECT_EQ(request.minor, 2u);
    EXPECT_EQ(VersionRequestFor(501, kPlatform32, 0, 0).minor, 1u);
    // Only the low 16 bits of the service pack take part.
    EXPECT_EQ(VersionRequestFor(600, kPlatform32, 0x10002, -1).servicePackMajor, 2);
    EXPECT_EQ(VersionRequestFor(600, kPlatform32, 0, -1).servicePackMinor, 0xFFFF);
}

TEST(ValidateOS, Table) {
    const std::string passed = "<-- VerifyVersionInfo() Return with SUCEESS";
    const Lines failed = {"<-- Exit VerifyVersionInfo() Return with FALSE"};
    const Lines valid32 = {passed, "<-- Exit ValidateOS()=[Valid, 32 Bit OS] Return with TRUE"};
    const Lines valid64 = {passed, "<-- Exit ValidateOS()=[Valid, 64 Bit OS] Return with TRUE"};
    const Lines invalid = {passed, "<-- Exit ValidateOS()  Return with FALSE. "};
    struct Case {
        const char* why;
        std::string os;  // see Os()
        const wchar_t* entry;
        int spMajor, spMinor;
        Lines lines;  // the log of the call after its first line; the answer is whether it ends in TRUE
    } cases[] = {
        {"501 on 32-bit 5.1", "5 1 0 0 32", L"501", 0, 0, valid32},
        {"501_64 on 64-bit 5.2", "5 2 2 0 64", L"501_64", 0, 0, valid64},
        {"501_64 on 32-bit 5.1", "5 1 3 0 32", L"501_64", 0, 0, failed},
        {"502 on 64-bit 5.2", "5 2 2 0 64", L"502", 0, 0, invalid},
        {"600_64 on 64-bit 6.0", "6 0 0 0 64", L"600_64", 0, 0, valid64},
        {"600 on 64-bit 6.0", "6 0 0 0 64", L"600", 0, 0, invalid},
        {"SP 2.0 needed, 3.0 present", "5 1 3 0 32", L"501", 2, 0, valid32},
        {"SP 2.0 needed, 1.0 present", "5 1 1 0 32", L"501", 2, 0, failed},
        {"SP 2.1 needed, 3.0 present (higher major)", "5 1 3 0 32", L"501", 2, 1, valid32},
        {"SP 2.1 needed, 2.0 present", "5 1 2 0 32", L"501", 2, 1, failed},
        {"SP 2.1 needed, 2.1 present", "5 1 2 1 32", L"501", 2, 1, valid32},
        {"OS number 0 never matches", "5 1 3 0 32", L"XP", 0, 0, failed},
        {"a minus sign", "5 1 3 0 32", L"-502", 0, 0, failed},
        {"no IsWow64Process: a 64-bit entry fails silently", "5 2 2 0 64 nowow", L"502_64", 0, 0, invalid},
        {"no IsWow64Process: a 32-bit entry passes", "5 2 2 0 64 nowow", L"502", 0, 0, valid32},
        {"IsWow64Process fails: taken as 32-bit",
         "5 2 2 0 64 wowfails",
         L"502",
         0,
         0,
         {passed, " fnIsWow64Process Failed ", valid32[1]}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        test::TestMachine machine;
        machine.MakeFolder("C:\\Temp");
        machine.config()["os"] = Os(c.os);
        auto process = test::ProcessOn(machine);
        const unsigned number = OsNumberOfEntry(c.entry);
        process->OsPlatformCode = PlatformCodeOfEntry(c.entry);
        EXPECT_EQ(ValidateOS(*process, number, c.spMajor, c.spMinor), c.lines.back().ends_with("TRUE"));
        Lines expected = {"--> Enter ValidateOS( " + std::to_string(static_cast<int>(number)) + ", " +
                          std::to_string(process->OsPlatformCode) + ", " + std::to_string(c.spMajor) + ", " +
                          std::to_string(c.spMinor) + ")"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(machine.LogMessages(), expected);
    }
}

TEST(OsListLoop, Table) {
    const std::string refused = "This Operating is not Valid. OS: ";
    struct Case {
        const char* why;
        std::string osList, os;
        std::string verdict;  // the level-1 verdict line
        Lines asked;          // the entries ValidateOS was asked, as logged
    } cases[] = {
        {"the second entry validates",
         "600,501_64",
         "5 2 2 0 64",
         "Valid OS found. OS: 501_64",
         {"600, 10032", "501, 10064"}},
        {"no entry validates: the final empty entry too", "501", "6 0 0 0 32", refused, {"501, 10032", "0, 10032"}},
        {"a blank after the comma loses a digit",
         "600, 501",
         "5 1 3 0 32",
         refused,
         {"600, 10032", "50, 10032", "0, 10032"}},
        {"runs of commas make no empty entry",
         ",,600,,,501,",
         "5 1 3 0 32",
         "Valid OS found. OS: 501",
         {"600, 10032", "501, 10032"}},
        {"four-digit entry tested as its first three",
         "6001",
         "6 0 1 0 32",
         "Valid OS found. OS: 6001",
         {"600, 10032"}},
        {"empty list", "", "5 1 3 0 32", refused, {"0, 10032"}},
        // "-50" reads as -50; "%ld" takes it as Windows' 32-bit long.
        {"a minus sign makes a negative number", "-502", "5 1 3 0 32", refused, {"-50, 10032", "0, 10032"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic().Set("OS_Support", "os_list", c.osList));
        machine.config()["os"] = Os(c.os);
        machine.Run("-log 511");
        const Lines log = machine.LogMessages();
        EXPECT_TRUE(Contains(log, c.verdict));
        Lines asked;
        for (const std::string& line : test::LinesStartingWith(log, "--> Enter ValidateOS( "))
            asked.push_back(line.substr(22, line.find(',', line.find(',') + 1) - 22));
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(test::Values(machine.Events("messageBox"), "text"),
                  c.verdict == refused ? Lines{test::EnglishText(1)} : Lines{});
    }
}

TEST(OsListLoop, VerdictLinesAtLevelOneWithTheServicePack) {
    StandardMachine machine(SettingsFile::Basic()
                                .Set("Version", "Log", "1")
                                .Set("OS_Support", "os_list", "501")
                                .Set("OS_Support", "ServicePack_MajorVersion", "2")
                                .Set("OS_Support.501", "ServicePack_MinorVersion", "1"));
    machine.Run("");
    EXPECT_TRUE(test::HasRun(machine.LogMessages(), {"Valid OS found. OS: 501", "Service Pack Version : 2.1"}));
}

}  // namespace
}  // namespace zq
