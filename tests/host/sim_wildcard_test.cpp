// File-name matching of the simulated machine's directory listing: the
// wildcard rules, the 8.3 short names and the listing of "inf\oem*.inf".
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

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

    const std::vector<WString> expected = {L"oem.inf",  L"oem0.inf",  L"OEM1.INF",  L"oem10.inf",
                                           L"Oem2.Inf", L"oem4.infx", L"oem8.inf~", L"oemdir.inf"};
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
    EXPECT_EQ(platform.files.ListMatching(L"C:\\Windows\\inf\\*2*"),
              (std::vector<WString>{L"oem4 .inf2", L"oem4.infx"}));
    EXPECT_EQ(platform.files.ListMatching(L"C:\\Windows\\inf\\*~1*"),
              (std::vector<WString>{L"oem4 .inf2", L"oem5.infx"}));
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

// After four names of one start, NTFS stops numbering: the fifth gets the
// first two characters, four hex digits of a hash of the long name and ~1.
bool IsHashedShortName(const WString& shortName, WStringView start, WStringView tailAndExt) {
    if (shortName.size() != start.size() + 4 + tailAndExt.size()) return false;
    if (shortName.compare(0, start.size(), start) != 0) return false;
    for (std::size_t i = start.size(); i < start.size() + 4; ++i) {
        if (WStringView(L"0123456789ABCDEF").find(shortName[i]) == WStringView::npos) return false;
    }
    return WStringView(shortName).substr(start.size() + 4) == tailAndExt;
}

TEST(SimWildcard, HashedShortNamesKeepTwoCharactersAndTheExtension) {
    EXPECT_PRED3(IsHashedShortName, MakeHashedShortName(L"printerdriver7.inf"), L"PR", L"~1.INF");
    EXPECT_PRED3(IsHashedShortName, MakeHashedShortName(L"Program Files"), L"PR", L"~1");
    EXPECT_PRED3(IsHashedShortName, MakeHashedShortName(L"a+b long.txt"), L"A_", L"~1.TXT");
    // A tail of two digits leaves room for five characters before it.
    EXPECT_EQ(MakeHashedShortName(L"printerdriver7.inf", 12).substr(0, 5),
              MakeHashedShortName(L"printerdriver7.inf").substr(0, 5));
    EXPECT_EQ(MakeHashedShortName(L"printerdriver7.inf", 12).substr(5), L"~12.INF");
    // The hash is of the whole long name: names alike up to their last
    // character part.
    EXPECT_NE(MakeHashedShortName(L"printerdriver7.inf"), MakeHashedShortName(L"printerdriver8.inf"));
    EXPECT_EQ(MakeHashedShortName(L"oem1.inf"), L"");  // an 8.3 name itself
}

std::vector<WString> Numbered(const std::string& stem, int count, const std::string& ext) {
    std::vector<WString> names;
    for (int i = 0; i < count; ++i) names.push_back(Utf8ToUtf16(stem + std::to_string(i) + ext));
    std::sort(names.begin(), names.end(), NameLess);
    return names;
}

struct ShortNameFamily {
    const char* name;
    std::vector<WString> longNames;  // in listing order
    WString numberedStart;           // "PRINTE": the first four are PRINTE~1 to ~4
    WString hashedStart;             // "PR": the rest are PRnnnn~N
    WString ext;                     // ".INF", or "" for none
};

TEST(SimWildcard, ShortNamesOfManyAlikeNamesStayUniqueAndWindowsLike) {
    std::vector<WString> withEightDotThree = Numbered("printerdriver", 50, ".inf");
    // An 8.3 name that the fourth numbered name would take.
    withEightDotThree.push_back(L"PRINTE~4.INF");
    std::sort(withEightDotThree.begin(), withEightDotThree.end(), NameLess);
    const ShortNameFamily families[] = {
        {"ten printer INFs", Numbered("printerdriver", 10, ".inf"), L"PRINTE", L"PR", L".INF"},
        {"2,000 names of one start", Numbered("oemprinter", 2000, ".infx"), L"OEMPRI", L"OE", L".INF"},
        {"folders without extension", Numbered("Program Files ", 300, ""), L"PROGRA", L"PR", L""},
        {"an 8.3 name already in the folder", withEightDotThree, L"PRINTE", L"PR", L".INF"},
    };
    for (const ShortNameFamily& family : families) {
        SCOPED_TRACE(family.name);
        const std::vector<WString> shortNames = FolderShortNames(family.longNames);
        ASSERT_EQ(shortNames.size(), family.longNames.size());
        std::set<WString> seen;
        std::vector<WString> numbered;
        std::size_t hashed = 0;
        for (std::size_t i = 0; i < shortNames.size(); ++i) {
            const WString& longName = family.longNames[i];
            SCOPED_TRACE(Utf16ToUtf8(longName + L" -> " + shortNames[i]));
            if (IsShortNameValid(longName)) {
                EXPECT_EQ(shortNames[i], L"");
                EXPECT_TRUE(seen.insert(FoldName(longName)).second);
                continue;
            }
            EXPECT_TRUE(IsShortNameValid(shortNames[i]));
            EXPECT_TRUE(seen.insert(FoldName(shortNames[i])).second) << "a short name given twice";
            if (shortNames[i].rfind(family.numberedStart + L"~", 0) == 0) {
                numbered.push_back(shortNames[i]);
            } else {
                EXPECT_TRUE(IsHashedShortName(shortNames[i], family.hashedStart,
                                              shortNames[i].substr(family.hashedStart.size() + 4)));
                ++hashed;
            }
        }
        // The first alike names take the free tails of ~1 to ~4, and no more.
        std::vector<WString> expected;
        for (int tail = 1; tail <= 4; ++tail) {
            const WString name = family.numberedStart + L"~" + std::to_wstring(tail) + family.ext;
            if (std::find(family.longNames.begin(), family.longNames.end(), name) == family.longNames.end())
                expected.push_back(name);
        }
        EXPECT_EQ(numbered, expected);
        EXPECT_GT(hashed, 0u);
    }
}

// On the machine: of ten alike names only four are listed by a pattern of
// their numbered short names, and none has a fifth tail.
TEST(SimWildcard, ListingFindsOnlyFourNumberedShortNamesOfAStart) {
    test::TestMachine machine;
    for (int i = 0; i < 10; ++i) machine.WriteFile("C:\\Windows\\inf\\printerdriver" + std::to_string(i) + ".inf", "x");
    Platform& platform = machine.Load().platform();
    EXPECT_EQ(platform.files.ListMatching(L"C:\\Windows\\inf\\PRINTE~?.INF"),
              (std::vector<WString>{L"printerdriver0.inf", L"printerdriver1.inf", L"printerdriver2.inf",
                                    L"printerdriver3.inf"}));
    EXPECT_TRUE(platform.files.ListMatching(L"C:\\Windows\\inf\\*~5.*").empty());
    EXPECT_EQ(platform.files.ListMatching(L"C:\\Windows\\inf\\*.inf").size(), 10u);
}

}  // namespace
}  // namespace zq::sim
