// Operating-system validation: one os_list entry against the running
// Windows version, service pack and word size.
#include "checks/os_validation.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

using nlohmann::json;
using test::SettingsFile;
using test::StandardMachine;
using Lines = std::vector<std::string>;

// machine.json's "os" from "major minor spMajor spMinor bits [nowow|wowfails]": no IsWow64Process, or one
// that fails.
json Os(const std::string& text) {
    std::istringstream in(text);
    json os;
    for (const char* key : {"major", "minor", "servicePackMajor", "servicePackMinor", "bits"}) {
        int value = 0;
        in >> value;
        os[key] = value;
    }
    std::string wow;
    in >> wow;
    if (wow == "nowow") os["isWow64ProcessAvailable"] = false;
    if (wow == "wowfails") os["isWow64ProcessFails"] = true;
    return os;
}

// Only the low 16 bits of the service pack take part.
TEST(OsListEntry, ServicePackRequest) {
    EXPECT_EQ(VersionRequestFor(600, kPlatform32, 0x10002, -1).servicePackMajor, 2);
    EXPECT_EQ(VersionRequestFor(600, kPlatform32, 0, -1).servicePackMinor, 0xFFFF);
}

// One entry against one machine, each row as "os (see Os()) | entry | service
// pack major.minor": the answer and the log of the call, kept whole in
// tests/host/golden/os-validation.json with the os_list loop's rows below.
json ValidateOsRecord(const std::string& os, const WString& entry, int spMajor, int spMinor) {
    test::TestMachine machine;
    machine.config()["os"] = Os(os);
    auto process = test::ProcessOn(machine);
    process->OsPlatformCode = PlatformCodeOfEntry(entry);
    const bool valid = ValidateOS(*process, OsNumberOfEntry(entry), spMajor, spMinor);
    return {{"row", os + " | " + Utf16ToUtf8(entry) + " | " + std::to_string(spMajor) + "." + std::to_string(spMinor)},
            {"valid", valid},
            {"log", machine.LogMessages()}};
}

// A whole run with an os_list on a machine: the entries ValidateOS was
// asked, the level-1 verdict and the message box.
json OsListRecord(const std::string& osList, const std::string& os) {
    StandardMachine machine(SettingsFile::Basic().Set("OS_Support", "os_list", osList));
    machine.config()["os"] = Os(os);
    machine.Run("-log 511");
    const Lines log = machine.LogMessages();
    Lines lines = test::LinesStartingWith(log, "--> Enter ValidateOS( ");
    for (const char* verdict : {"Valid OS found.", "This Operating is not Valid."})
        for (const std::string& line : test::LinesStartingWith(log, verdict)) lines.push_back(line);
    return {
        {"row", osList + " | " + os}, {"log", lines}, {"boxes", test::Values(machine.Events("messageBox"), "text")}};
}

TEST(ValidateOS, EntriesAndListsOnEachMachine) {
    json records = json::array();
    for (const auto& [os, entry, major, minor] : std::vector<std::tuple<std::string, WString, int, int>>{
             {"5 1 0 0 32", L"501", 0, 0},
             {"5 2 2 0 64", L"501_64", 0, 0},
             {"5 1 3 0 32", L"501_64", 0, 0},
             {"6 0 0 0 64", L"600", 0, 0},
             {"5 1 1 0 32", L"501", 2, 0},
             {"5 1 3 0 32", L"501", 2, 1},  // a higher major passes whatever the minor
             {"5 1 2 0 32", L"501", 2, 1},
             {"5 1 2 1 32", L"501", 2, 1},
             {"5 2 2 0 64 nowow", L"502_64", 0, 0},  // no IsWow64Process: a 64-bit entry fails silently
             {"5 2 2 0 64 nowow", L"502", 0, 0},
             {"5 2 2 0 64 wowfails", L"502", 0, 0},  // taken as 32-bit
         })
        records.push_back(ValidateOsRecord(os, entry, major, minor));
    // The final empty entry is tried too; a blank after a comma loses a
    // digit; runs of commas make no empty entry; "-50" reads as a negative
    // number, as Windows' 32-bit long.
    for (const auto& [osList, os] : {std::pair{"600,501_64", "5 2 2 0 64"},
                                     {"501", "6 0 0 0 32"},
                                     {"600, 501", "5 1 3 0 32"},
                                     {",,600,,,501,", "5 1 3 0 32"},
                                     {"", "5 1 3 0 32"},
                                     {"-502", "5 1 3 0 32"}})
        records.push_back(OsListRecord(osList, os));
    test::ExpectGolden("os-validation.json", records.dump(1) + "\n");
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
