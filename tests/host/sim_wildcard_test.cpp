// File-name matching of the simulated machine's directory listing: the
// wildcard rules, the 8.3 short names and the listing of "inf\oem*.inf".
#include <gtest/gtest.h>

#include "base/text.h"
#include "platform/sim/wildcard.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

struct WildcardRow {
    const wchar_t* pattern;
    const wchar_t* name;
    bool matches;
};

TEST(SimWildcard, MatchesLikeFindFirstFile) {
    const WildcardRow rows[] = {
        {L"oem*.inf", L"oem1.inf", true},
        {L"oem*.inf", L"OEM1.INF", true},
        {L"OEM*.INF", L"Oem2.Inf", true},
        {L"oem*.inf", L"oem.inf", true},  // '*' may be empty
        {L"oem*.inf", L"oem10.inf", true},
        {L"oem*.inf", L"oem1.inf.bak", false},
        {L"oem*.inf", L"oem4.infx", false},  // only through the short name
        {L"oem*.inf", L"xoem1.inf", false},
        {L"oem?.inf", L"oem1.inf", true},
        {L"oem?.inf", L"oem.inf", false},  // '?' is exactly one character
        {L"oem?.inf", L"oem12.inf", false},
        {L"*", L"anything.txt", true},
        {L"*.*", L"noextension", true},
        {L"*.inf", L"a.b.inf", true},
        {L"a*b*c", L"aXbYbZc", true},
        {L"a*b*c", L"aXbYbZ", false},
        {L"", L"x", false},
    };
    for (const WildcardRow& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.pattern) + " / " + Utf16ToUtf8(row.name));
        EXPECT_EQ(MatchesWildcard(row.pattern, row.name), row.matches);
    }
}

struct ShortNameRow {
    const wchar_t* longName;
    const wchar_t* shortName;  // empty: the name is an 8.3 name itself
};

TEST(SimWildcard, ShortNamesOfLongNames) {
    const ShortNameRow rows[] = {
        {L"oem1.inf", L""},
        {L"OEM5.IN", L""},
        {L"readme", L""},
        {L"oem4.infx", L"OEM4~1.INF"},
        {L"oem8.inf~", L"OEM8~1.INF"},
        {L"oem3.inf.bak", L"OEM3IN~1.BAK"},
        {L"x.html", L"X~1.HTM"},
        {L"Program Files", L"PROGRA~1"},
        {L"my file.txt", L"MYFILE~1.TXT"},
        {L"a+b.txt", L"A_B~1.TXT"},
        {L"verylongname", L"VERYLO~1"},
    };
    for (const ShortNameRow& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.longName));
        EXPECT_EQ(MakeShortName(row.longName), row.shortName);
    }
    EXPECT_EQ(MakeShortName(L"verylongname", 12), L"VERYL~12");
}

TEST(SimWildcard, ListingMatchesShortNamesAndFolders) {
    test::TestMachine machine;
    const char* files[] = {"oem.inf",   "oem0.inf",  "OEM1.INF",     "oem10.inf", "Oem2.Inf",
                           "oem4.infx", "oem8.inf~", "oem3.inf.bak", "oem5.in",   "other.inf"};
    for (const char* file : files) machine.WriteFile(std::string("C:\\Windows\\inf\\") + file, "x");
    machine.MakeFolder("C:\\Windows\\inf\\oemdir.inf");
    Platform& platform = machine.Load().platform();

    const std::vector<WString> expected = {L"oem.inf",   L"oem0.inf",  L"OEM1.INF",  L"oem10.inf",
                                           L"Oem2.Inf",  L"oem4.infx", L"oem8.inf~", L"oemdir.inf"};
    EXPECT_EQ(platform.files.ListMatching(L"C:\\Windows\\inf\\oem*.inf"), expected);
    // Upper-case pattern, other spelling of the folder: the same set.
    EXPECT_EQ(platform.files.ListMatching(L"c:\\WINDOWS\\INF\\OEM*.INF"), expected);
}

// An entry that matches by its long name still holds a short name, and the
// entries after it are numbered on from it: "oem4 .inf2" (listed for its
// long name) is OEM4~1.INF, so "oem4.infx" is OEM4~2.INF and listed for that.
TEST(SimWildcard, ShortNamesCountEntriesThatMatchByLongName) {
    test::TestMachine machine;
    for (const char* file : {"oem4 .inf2", "oem4.infx", "oem5.infx"})
        machine.WriteFile(std::string("C:\\Windows\\inf\\") + file, "x");
    Platform& platform = machine.Load().platform();
    EXPECT_EQ(platform.files.ListMatching(L"C:\\Windows\\inf\\*2*"), (std::vector<WString>{L"oem4 .inf2", L"oem4.infx"}));
    EXPECT_EQ(platform.files.ListMatching(L"C:\\Windows\\inf\\*~1*"), (std::vector<WString>{L"oem4 .inf2", L"oem5.infx"}));
}

TEST(SimWildcard, ListingOfNothing) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Windows\\inf\\machine.inf", "x");
    Platform& platform = machine.Load().platform();
    EXPECT_TRUE(platform.files.ListMatching(L"C:\\Windows\\inf\\oem*.inf").empty());
    EXPECT_EQ(platform.environment.LastError(), 2u);
    EXPECT_TRUE(platform.files.ListMatching(L"C:\\NoSuchFolder\\oem*.inf").empty());
    EXPECT_EQ(platform.environment.LastError(), 3u);
}

}  // namespace
}  // namespace zq::sim
