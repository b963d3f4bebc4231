// File-name matching of the simulated machine's directory listing: the
// wildcard rules, the 8.3 short names and the listing of "inf\oem*.inf".
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "base/text.h"
#include "platform/sim/wildcard.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

TEST(SimWildcard, MatchesLikeFindFirstFile) {
    const struct {
        const wchar_t* pattern;
        const wchar_t* name;
        bool matches;
    } rows[] = {
        {L"oem*.inf", L"oem1.inf", true},      {L"oem*.inf", L"OEM1.INF", true},   {L"OEM*.INF", L"Oem2.Inf", true},
        {L"oem*.inf", L"oem.inf", true},       {L"oem*.inf", L"oem10.inf", true},  {L"oem*.inf", L"xoem1.inf", false},
        {L"oem*.inf", L"oem1.inf.bak", false}, {L"oem*.inf", L"oem4.infx", false},  // only through the short name
        {L"oem?.inf", L"oem1.inf", true},      {L"oem?.inf", L"oem.inf", false},   {L"oem?.inf", L"oem12.inf", false},
        {L"*", L"anything.txt", true},         {L"*.*", L"noextension", true},     {L"*.inf", L"a.b.inf", true},
        {L"a*b*c", L"aXbYbZc", true},          {L"a*b*c", L"aXbYbZ", false},       {L"", L"x", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(MatchesWildcard(row.pattern, row.name), row.matches)
            << Utf16ToUtf8(row.pattern + WString(L" / ") + row.name);
}

TEST(SimWildcard, ShortNamesOfLongNames) {
    // long name=short name; nothing after '=': the name is an 8.3 name itself.
    for (const WString row : {L"oem1.inf=", L"OEM5.IN=", L"readme=", L"oem4.infx=OEM4~1.INF", L"oem8.inf~=OEM8~1.INF",
                              L"oem3.inf.bak=OEM3IN~1.BAK", L"x.html=X~1.HTM", L"Program Files=PROGRA~1",
                              L"my file.txt=MYFILE~1.TXT", L"a+b.txt=A_B~1.TXT", L"verylongname=VERYLO~1"}) {
        const std::size_t equals = row.find(L'=');
        EXPECT_EQ(MakeShortName(row.substr(0, equals)), row.substr(equals + 1)) << Utf16ToUtf8(row);
    }
    EXPECT_EQ(MakeShortName(L"verylongname", 12), L"VERYL~12");
}

TEST(SimWildcard, ListingMatchesShortNamesAndFolders) {
    test::TestMachine machine;
    for (const char* file : {"oem.inf", "oem0.inf", "OEM1.INF", "oem10.inf", "Oem2.Inf", "oem4.infx", "oem8.inf~",
                             "oem3.inf.bak", "oem5.in", "other.inf"})
        machine.WriteFile(std::string("C:\\Windows\\inf\\") + file, "x");
    machine.MakeFolder("C:\\Windows\\inf\\oemdir.inf");
    machine.WriteFile("C:\\Windows\\ab\\machine.inf", "x");
    Platform& platform = machine.Load().platform();
    const std::vector<WString> expected = {L"oem.inf",  L"oem0.inf",  L"OEM1.INF",  L"oem10.inf",
                                           L"Oem2.Inf", L"oem4.infx", L"oem8.inf~", L"oemdir.inf"};
    EXPECT_EQ(platform.files.ListMatching(L"C:\\Windows\\inf\\oem*.inf"), expected);
    EXPECT_EQ(platform.files.ListMatching(L"c:\\WINDOWS\\INF\\OEM*.INF"), expected);

    EXPECT_TRUE(platform.files.ListMatching(L"C:\\Windows\\ab\\oem*.inf").empty());
    EXPECT_EQ(platform.environment.LastError(), 2u);
    EXPECT_TRUE(platform.files.ListMatching(L"C:\\NoSuchFolder\\oem*.inf").empty());
    EXPECT_EQ(platform.environment.LastError(), 3u);
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

// After four names of one start NTFS stops numbering: the next get the first
// two characters, hex digits of a hash of the whole long name and a numbered
// tail (~1, or more when hashes collide) that make eight characters.
bool IsHashedShortName(const WString& name, const WString& start, const WString& ext) {
    const std::size_t tilde = name.rfind(L'~');
    if (tilde == WString::npos || name.rfind(start, 0) != 0 || !name.ends_with(ext)) return false;
    const std::size_t tailEnd = name.size() - ext.size();
    return tailEnd == 8 && tilde > start.size() && name.find_first_not_of(L"0123456789ABCDEF", start.size()) == tilde &&
           name.find_first_not_of(L"0123456789", tilde + 1) >= tailEnd && tailEnd > tilde + 1;
}

std::vector<WString> Numbered(const std::string& stem, int count, const std::string& ext, const WString& more = {}) {
    std::vector<WString> names;
    for (int i = 0; i < count; ++i) names.push_back(Utf8ToUtf16(stem + std::to_string(i) + ext));
    if (!more.empty()) names.push_back(more);
    std::sort(names.begin(), names.end(), NameLess);
    return names;
}

// The first alike names take the free tails ~1 to ~4, the rest hashed names;
// none is given twice, nor the 8.3 name of another entry.
TEST(SimWildcard, ShortNamesOfManyAlikeNamesStayUniqueAndWindowsLike) {
    const struct {
        std::vector<WString> longNames;  // in listing order
        WString numberedStart, hashedStart, ext;
        std::vector<WString> numbered;
    } families[] = {
        {Numbered("oemprinter", 2000, ".infx"),
         L"OEMPRI",
         L"OE",
         L".INF",
         {L"OEMPRI~1.INF", L"OEMPRI~2.INF", L"OEMPRI~3.INF", L"OEMPRI~4.INF"}},
        {Numbered("Program Files ", 300, ""),
         L"PROGRA",
         L"PR",
         L"",
         {L"PROGRA~1", L"PROGRA~2", L"PROGRA~3", L"PROGRA~4"}},
        {Numbered("printerdriver", 50, ".inf", L"PRINTE~4.INF"),
         L"PRINTE",
         L"PR",
         L".INF",
         {L"PRINTE~1.INF", L"PRINTE~2.INF", L"PRINTE~3.INF"}},
    };
    for (const auto& family : families) {
        SCOPED_TRACE(Utf16ToUtf8(family.numberedStart));
        const std::vector<WString> shortNames = FolderShortNames(family.longNames);
        ASSERT_EQ(shortNames.size(), family.longNames.size());
        std::set<WString> seen;
        std::vector<WString> numbered;
        for (std::size_t i = 0; i < shortNames.size(); ++i) {
            const WString& name = IsShortNameValid(family.longNames[i]) ? family.longNames[i] : shortNames[i];
            EXPECT_TRUE(seen.insert(FoldName(name)).second) << Utf16ToUtf8(name) << " given twice";
            if (name == family.longNames[i]) {
                EXPECT_EQ(shortNames[i], L"");
            } else if (name.rfind(family.numberedStart + L"~", 0) == 0) {
                numbered.push_back(name);
            } else {
                EXPECT_PRED3(IsHashedShortName, name, family.hashedStart, family.ext);
            }
        }
        EXPECT_EQ(numbered, family.numbered);
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
