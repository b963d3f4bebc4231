// VerifyVersionInfoW and IsWow64Process of the simulated machine.
#include <gtest/gtest.h>

#include "platform/sim/version_check.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

struct VersionRow {
    const char* name;
    OsVersion system;
    VersionRequest request;
    bool matches;
};

TEST(SimVersion, MajorMinorEqualServicePackAsAPair) {
    const VersionRow rows[] = {
        {"same version, no minimum", {5, 1, 3, 0}, {5, 1, 0, 0}, true},
        {"other minor", {5, 1, 3, 0}, {5, 2, 0, 0}, false},
        {"other major", {6, 0, 0, 0}, {5, 0, 0, 0}, false},
        {"newer system is not equal", {6, 1, 1, 0}, {6, 0, 0, 0}, false},
        {"SP 3.0 >= 2.0", {5, 1, 3, 0}, {5, 1, 2, 0}, true},
        {"SP 3.0 >= 3.0", {5, 1, 3, 0}, {5, 1, 3, 0}, true},
        {"SP 3.0 >= 2.1: a higher major passes", {5, 1, 3, 0}, {5, 1, 2, 1}, true},
        {"SP 2.0 >= 2.1 fails", {5, 2, 2, 0}, {5, 2, 2, 1}, false},
        {"SP 2.0 >= 1.9", {5, 2, 2, 0}, {5, 2, 1, 9}, true},
        {"SP 2.0 >= 1.1", {5, 2, 2, 0}, {5, 2, 1, 1}, true},
        {"SP 2.0 >= 3.0 fails", {5, 2, 2, 0}, {5, 2, 3, 0}, false},
        {"SP 2.5 >= 2.3", {5, 2, 2, 5}, {5, 2, 2, 3}, true},
        {"SP 1.0 >= 2.0 fails", {5, 1, 1, 0}, {5, 1, 2, 0}, false},
        {"version 0.60 never matches", {6, 0, 0, 0}, {0, 60, 0, 0}, false},
    };
    for (const VersionRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(VersionMatches(row.system, row.request), row.matches);
    }
}

TEST(SimVersion, AnswersFromTheMachineAndSetsTheLastError) {
    test::TestMachine machine;
    machine.config()["os"] = {{"major", 5}, {"minor", 2}, {"servicePackMajor", 2}, {"bits", 64}};
    Platform& platform = machine.Load().platform();
    EXPECT_TRUE(platform.version.VerifyVersion({5, 2, 1, 9}));
    EXPECT_EQ(platform.environment.LastError(), 0u);
    EXPECT_FALSE(platform.version.VerifyVersion({5, 2, 2, 1}));
    EXPECT_EQ(platform.environment.LastError(), 1150u);
    EXPECT_EQ(platform.version.MajorVersion(), 5u);
}

struct Wow64Row {
    const char* name;
    int bits;
    bool available;
    bool fails;
    bool hasFunction;
    std::optional<bool> answer;
};

TEST(SimVersion, IsWow64Process) {
    const Wow64Row rows[] = {
        {"32-bit system", 32, true, false, true, false},
        {"64-bit system", 64, true, false, true, true},
        {"no such function", 64, false, false, false, std::nullopt},
        {"the call fails", 64, true, true, true, std::nullopt},
    };
    for (const Wow64Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TestMachine machine;
        machine.config()["os"] = {
            {"bits", row.bits}, {"isWow64ProcessAvailable", row.available}, {"isWow64ProcessFails", row.fails}};
        IsWow64ProcessFn function = machine.Load().platform().version.LookupIsWow64Process();
        ASSERT_EQ(static_cast<bool>(function), row.hasFunction);
        if (function) {
            EXPECT_EQ(function(), row.answer);
        }
    }
}

}  // namespace
}  // namespace zq::sim
