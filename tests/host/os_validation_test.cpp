// Operating-system validation: one os_list entry against the running
// Windows version, service pack and word size.
#include "checks/os_validation.h"

#include <gtest/gtest.h>

#include "tests/support/scenario.h"

namespace zq {
namespace {

using nlohmann::json;
using test::Contains;
using test::SettingsFile;
using test::StandardMachine;
using test::TestMachine;

json Os(int major, int minor, int spMajor, int spMinor, int bits) {
    return {{"major", major},
            {"minor", minor},
            {"servicePackMajor", spMajor},
            {"servicePackMinor", spMinor},
            {"bits", bits}};
}

TEST(OsListEntry, NumberAndPlatformCode) {
    struct Case {
        const wchar_t* entry;
        unsigned number;
        int platformCode;
    } cases[] = {
        {L"501", 501, kPlatform32},     {L"501_64", 501, kPlatform64}, {L"600_64", 600, kPlatform64},
        {L"6001", 600, kPlatform32},    {L" 600", 60, kPlatform32},    {L" 501", 50, kPlatform32},
        {L"XP", 0, kPlatform32},        {L"", 0, kPlatform32},         {L"600_X64", 600, kPlatform32},
        {L"502_64 ", 502, kPlatform32},
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

struct ValidateCase {
    const char* why;
    json os;
    json extra;  // more machine.json keys
    unsigned osNumber;
    int platformCode;
    int spMajor, spMinor;
    bool expected;
    std::vector<std::string> lines;  // the whole log of the call
};

TEST(ValidateOS, Table) {
    const std::string enter = "--> Enter ValidateOS( ";
    const std::string passed = "<-- VerifyVersionInfo() Return with SUCEESS";
    const std::string failed = "<-- Exit VerifyVersionInfo() Return with FALSE";
    const std::string valid32 = "<-- Exit ValidateOS()=[Valid, 32 Bit OS] Return with TRUE";
    const std::string valid64 = "<-- Exit ValidateOS()=[Valid, 64 Bit OS] Return with TRUE";
    const std::string invalid = "<-- Exit ValidateOS()  Return with FALSE. ";
    const ValidateCase cases[] = {
        {"501 on 32-bit 5.1",
         Os(5, 1, 0, 0, 32),
         {},
         501,
         kPlatform32,
         0,
         0,
         true,
         {enter + "501, 10032, 0, 0)", passed, valid32}},
        {"501_64 on 64-bit 5.2",
         Os(5, 2, 2, 0, 64),
         {},
         501,
         kPlatform64,
         0,
         0,
         true,
         {enter + "501, 10064, 0, 0)", passed, valid64}},
        {"501_64 on 32-bit 5.1",
         Os(5, 1, 3, 0, 32),
         {},
         501,
         kPlatform64,
         0,
         0,
         false,
         {enter + "501, 10064, 0, 0)", failed}},
        {"502 on 64-bit 5.2",
         Os(5, 2, 2, 0, 64),
         {},
         502,
         kPlatform32,
         0,
         0,
         false,
         {enter + "502, 10032, 0, 0)", passed, invalid}},
        {"600_64 on 64-bit 6.0",
         Os(6, 0, 0, 0, 64),
         {},
         600,
         kPlatform64,
         0,
         0,
         true,
         {enter + "600, 10064, 0, 0)", passed, valid64}},
        {"600 on 64-bit 6.0",
         Os(6, 0, 0, 0, 64),
         {},
         600,
         kPlatform32,
         0,
         0,
         false,
         {enter + "600, 10032, 0, 0)", passed, invalid}},
        {"SP 2.0 needed, 3.0 present",
         Os(5, 1, 3, 0, 32),
         {},
         501,
         kPlatform32,
         2,
         0,
         true,
         {enter + "501, 10032, 2, 0)", passed, valid32}},
        {"SP 2.0 needed, 1.0 present",
         Os(5, 1, 1, 0, 32),
         {},
         501,
         kPlatform32,
         2,
         0,
         false,
         {enter + "501, 10032, 2, 0)", failed}},
        {"SP 2.1 needed, 3.0 present (higher major)",
         Os(5, 1, 3, 0, 32),
         {},
         501,
         kPlatform32,
         2,
         1,
         true,
         {enter + "501, 10032, 2, 1)", passed, valid32}},
        {"SP 2.1 needed, 2.0 present",
         Os(5, 1, 2, 0, 32),
         {},
         501,
         kPlatform32,
         2,
         1,
         false,
         {enter + "501, 10032, 2, 1)", failed}},
        {"SP 2.1 needed, 2.1 present",
         Os(5, 1, 2, 1, 32),
         {},
         501,
         kPlatform32,
         2,
         1,
         true,
         {enter + "501, 10032, 2, 1)", passed, valid32}},
        {"OS number 0 never matches",
         Os(5, 1, 3, 0, 32),
         {},
         0,
         kPlatform32,
         0,
         0,
         false,
         {enter + "0, 10032, 0, 0)", failed}},
        {"no IsWow64Process: a 64-bit entry fails silently",
         Os(5, 2, 2, 0, 64),
         {{"isWow64ProcessAvailable", false}},
         502,
         kPlatform64,
         0,
         0,
         false,
         {enter + "502, 10064, 0, 0)", passed, invalid}},
        {"no IsWow64Process: a 32-bit entry passes",
         Os(5, 2, 2, 0, 64),
         {{"isWow64ProcessAvailable", false}},
         502,
         kPlatform32,
         0,
         0,
         true,
         {enter + "502, 10032, 0, 0)", passed, valid32}},
        {"IsWow64Process fails: taken as 32-bit",
         Os(5, 2, 2, 0, 64),
         {{"isWow64ProcessFails", true}},
         502,
         kPlatform32,
         0,
         0,
         true,
         {enter + "502, 10032, 0, 0)", passed, " fnIsWow64Process Failed ", valid32}},
        {"OS number of the entry \"-502\"",
         Os(5, 1, 3, 0, 32),
         {},
         OsNumberOfEntry(L"-502"),
         kPlatform32,
         0,
         0,
         false,
         {enter + "-50, 10032, 0, 0)", failed}},
    };
    for (const ValidateCase& c : cases) {
        SCOPED_TRACE(c.why);
        TestMachine machine;
        machine.MakeFolder("C:\\Temp");
        json os = c.os;
        for (auto& [key, value] : c.extra.items()) os[key] = value;
        machine.config()["os"] = os;
        LauncherProcess process(machine.Load().platform());
        process.g_logFile.SetLevel(LOG_LOW);
        process.OsPlatformCode = c.platformCode;
        EXPECT_EQ(ValidateOS(process, c.osNumber, c.spMajor, c.spMinor), c.expected);
        EXPECT_EQ(machine.LogMessages(), c.lines);
    }
}

struct LoopCase {
    const char* why;
    std::string osList;
    json os;
    std::string verdict;                 // the level-1 verdict line
    std::vector<std::string> osNumbers;  // the entries ValidateOS was asked, as logged
};

TEST(OsListLoop, Table) {
    const LoopCase cases[] = {
        {"the second entry validates",
         "600,501_64",
         Os(5, 2, 2, 0, 64),
         "Valid OS found. OS: 501_64",
         {"600, 10032", "501, 10064"}},
        {"no entry validates: the final empty entry too",
         "501",
         Os(6, 0, 0, 0, 32),
         "This Operating is not Valid. OS: ",
         {"501, 10032", "0, 10032"}},
        {"a blank after the comma loses a digit",
         "600, 501",
         Os(5, 1, 3, 0, 32),
         "This Operating is not Valid. OS: ",
         {"600, 10032", "50, 10032", "0, 10032"}},
        {"runs of commas make no empty entry",
         ",,600,,,501,",
         Os(5, 1, 3, 0, 32),
         "Valid OS found. OS: 501",
         {"600, 10032", "501, 10032"}},
        {"four-digit entry tested as its first three",
         "6001",
         Os(6, 0, 1, 0, 32),
         "Valid OS found. OS: 6001",
         {"600, 10032"}},
        {"empty list", "", Os(5, 1, 3, 0, 32), "This Operating is not Valid. OS: ", {"0, 10032"}},
        // "-50" reads as -50; "%ld" takes it as Windows' 32-bit long.
        {"a minus sign makes a negative number",
         "-502",
         Os(5, 1, 3, 0, 32),
         "This Operating is not Valid. OS: ",
         {"-50, 10032", "0, 10032"}},
    };
    for (const LoopCase& c : cases) {
        SCOPED_TRACE(c.why);
        StandardMachine machine(SettingsFile::Basic().Set("OS_Support", "os_list", c.osList));
        machine.config()["os"] = c.os;
        machine.Run("-log 511");
        std::vector<std::string> log = machine.LogMessages();
        EXPECT_TRUE(Contains(log, c.verdict));
        std::vector<std::string> asked;
        for (const std::string& line : test::LinesStartingWith(log, "--> Enter ValidateOS( "))
            asked.push_back(line.substr(22, line.find(',', line.find(',') + 1) - 22));
        EXPECT_EQ(asked, c.osNumbers);
        bool refused = c.verdict.rfind("This Operating", 0) == 0;
        EXPECT_EQ(machine.Events("messageBox").size(), refused ? 1u : 0u);
        if (refused) {
            EXPECT_EQ(machine.Events("messageBox")[0]["text"], test::EnglishText(1));
        }
    }
}

TEST(OsListLoop, VerdictLinesAtLevelOneWithTheServicePack) {
    StandardMachine machine(SettingsFile::Basic()
                                .Set("Version", "Log", "1")
                                .Set("OS_Support", "os_list", "501")
                                .Set("OS_Support", "ServicePack_MajorVersion", "2")
                                .Set("OS_Support.501", "ServicePack_MinorVersion", "1"));
    machine.Run("");
    std::vector<std::string> log = machine.LogMessages();
    EXPECT_TRUE(Contains(log, "Valid OS found. OS: 501"));
    EXPECT_TRUE(Contains(log, "Service Pack Version : 2.1"));
}

}  // namespace
}  // namespace zq
