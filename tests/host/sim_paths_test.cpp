// Windows path names on the simulated machine: resolution, case, new files,
// unshared reads, bare settings-file names; wildcards and 8.3 short names.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <tuple>

#include "base/text.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/wildcard.h"
#include "platform/sim/windows_path.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

// Spellings of one file (any case, "/", "." and "..", trailing dots and blanks,
// relative ones) are read on the machine below; these are the rest.
TEST(SimPaths, ResolvesLikeWin32) {
    const WindowsPath current{L'D', {L"pkg", L"sub"}};
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        // path, resolved (empty: not resolvable)
        {L"C:\\a\\\\b\\", L"C:\\a\\b"},
        {L"C:\\..\\..\\x", L"C:\\x"},
        {L"\\x.log", L"D:\\x.log"},  // the current directory's drive
        {L"..\\x.ini", L"D:\\pkg\\x.ini"},
        {L"setup\\x.exe", L"D:\\pkg\\sub\\setup\\x.exe"},
        {L"C:\\dir.\\x", L"C:\\dir\\x"},       // single trailing dot of a folder
        {L" C:\\x", L"D:\\pkg\\sub\\ C:\\x"},  // a leading blank makes it relative
        {L"C:", L"C:\\"},
        {L"D:", L"D:\\pkg\\sub"},
        {L"", L""},
        {L"\\\\server\\share\\x", L""},
    };
    for (const auto& [path, resolved] : rows) {
        std::optional<WindowsPath> result = ResolveWindowsPath(path, current);
        EXPECT_EQ(result ? result->ToString() : WString(), resolved) << Utf16ToUtf8(path);
    }
}

// CREATE_NEW: the name as written inside folders matched without regard to
// case; a folder that is not there is refused (names taken, in any spelling
// or by folders and links: FuzzRegression and the launcher's LogFileCreation).
TEST(SimPaths, NamesMatchWithoutRegardToCaseAndNewFilesAreNew) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Package\\Setup\\ZQPrep.EXE", "x");
    machine.MakeFolder("C:\\Temp");
    Platform& platform = machine.Load().platform();
    EXPECT_TRUE(platform.files.IsExistingFile(L"c:\\package\\setup\\zqprep.exe"));
    EXPECT_TRUE(platform.files.IsExistingFile(L"setup\\zqprep.exe"));  // from the current directory, C:\Package
    EXPECT_TRUE(platform.files.Exists(L"C:\\PACKAGE\\SETUP"));
    EXPECT_FALSE(platform.files.IsExistingFile(L"C:\\PACKAGE\\SETUP"));
    EXPECT_FALSE(platform.files.Exists(L"C:\\Package\\setup\\missing.exe"));

    NewFileCreation created = platform.files.CreateNewFile(L"c:\\TEMP\\New.Log");
    ASSERT_TRUE(created.file);
    ASSERT_TRUE(created.file->Write("one\r\n"));
    ASSERT_TRUE(created.file->Write("two\r\n"));
    EXPECT_TRUE(std::filesystem::is_regular_file(machine.Dir() / "drives" / "C" / "Temp" / "New.Log"));
    EXPECT_EQ(machine.ReadFile("C:\\Temp\\New.Log"), "one\r\ntwo\r\n");
    const std::pair<const wchar_t*, ErrorCode> refused[] = {
        {L"C:\\Missing\\x.log", kErrorPathNotFound},
        {L"C:\\Package\\Setup\\ZQPrep.EXE\\x.log", kErrorPathNotFound},  // a file as a folder
        {L"C:\\", kErrorPathNotFound},
    };
    for (const auto& [path, error] : refused) {
        SCOPED_TRACE(Utf16ToUtf8(path));
        created = platform.files.CreateNewFile(path);
        EXPECT_FALSE(created.file);
        EXPECT_EQ(created.error, error);
        EXPECT_EQ(platform.environment.LastError(), error);
    }
}

// Reads one after another into a buffer that only grows: each answers as if
// it came alone, with the file's bytes at the buffer's front and the rest left
// as it was. (Locked and missing files: FuzzRegression's reads.)
TEST(SimPaths, UnsharedReadsThroughManySpellingsIntoAGrowingBuffer) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Windows\\inf\\oem1.inf", "abcdef");
    machine.WriteFile("C:\\Windows\\inf\\Oem2.inf", "xy");
    machine.WriteFile("C:\\Windows\\inf\\oem4.inf", "");
    machine.WriteFile("C:\\Package\\oem1.inf", "package");
    Platform& platform = machine.Load().platform();
    // The path, the buffer after the read, the size read.
    const std::tuple<const wchar_t*, const char*, std::size_t> rows[] = {
        {L"C:\\Windows\\inf\\oem1.inf", "abcdef", 6},
        {L"C:\\Windows\\inf\\oem2.inf", "xycdef", 2},
        {L"C:\\Windows\\inf\\oem4.inf", "xycdef", 0},
        {L"C:\\Windows\\inf\\oem1.inf. ", "abcdef", 6},  // trailing dots and blanks dropped
        {L"c:/windows/INF/OEM1.INF", "abcdef", 6},
        {L"oem1.inf", "package", 7},  // the current directory, the program's folder
        {L"\\Windows\\inf\\oem2.inf", "xyckage", 2},
        {L"C:oem1.inf", "package", 7},
        {L"C:\\Windows\\inf\\oem1.inf", "abcdefe", 6},
    };
    std::vector<std::uint8_t> buffer;
    std::size_t size = 99;
    for (const auto& [path, bytes, read] : rows) {
        SCOPED_TRACE(Utf16ToUtf8(path));
        ASSERT_TRUE(platform.files.ReadWholeFileUnshared(path, buffer, size));
        EXPECT_EQ(std::string(buffer.begin(), buffer.end()), bytes);
        EXPECT_EQ(size, read);
    }
}

// A bare name is read from the Windows folder only; a missing file gives the
// default (trailing blanks cut, then cut to the buffer) and error 2.
TEST(SimPaths, ProfileStringsFromTheWindowsFolderForBareNames) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Windows\\basic.ini", "[S]\r\nK=windows\r\n");
    machine.WriteFile("C:\\Package\\basic.ini", "[S]\r\nK=package\r\n");
    IProfileStrings& profile = machine.Load().platform().profile;
    EXPECT_EQ(profile.GetString(L"S", L"K", L"dflt", 500, L"basic.ini"), L"windows");
    EXPECT_EQ(profile.GetString(L"S", L"K", L"dflt", 500, L"basic.ini "), L"windows");
    EXPECT_EQ(profile.GetString(L"S", L"K", L"dflt", 500, L".\\basic.ini"), L"package");
    EXPECT_EQ(profile.GetString(L"S", L"K", L"dflt   ", 3, L"C:\\Package\\none.ini"), L"df");
    EXPECT_EQ(machine.Machine().platform().environment.LastError(), 2u);
}

// "oem4.infx" matches "oem*.inf" only through its short name; more names
// against "oem*.inf" are in the listing below.
TEST(SimWildcard, MatchesLikeFindFirstFile) {
    const std::tuple<const wchar_t*, const wchar_t*, bool> rows[] = {
        {L"OEM*.INF", L"Oem2.Inf", true}, {L"oem*.inf", L"xoem1.inf", false}, {L"oem*.inf", L"oem4.infx", false},
        {L"oem?.inf", L"oem1.inf", true}, {L"oem?.inf", L"oem.inf", false},   {L"oem?.inf", L"oem12.inf", false},
        {L"*", L"anything.txt", true},    {L"*.*", L"noextension", true},     {L"*.inf", L"a.b.inf", true},
        {L"a*b*c", L"aXbYbZc", true},     {L"a*b*c", L"aXbYbZ", false},       {L"", L"x", false},
    };
    for (const auto& [pattern, name, matches] : rows)
        EXPECT_EQ(MatchesWildcard(pattern, name), matches) << Utf16ToUtf8(pattern + WString(L" / ") + name);
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
    EXPECT_EQ(MakeHashedShortName(L"printerdriver7.inf", 12),
              MakeHashedShortName(L"printerdriver7.inf").substr(0, 5) + L"~12.INF");
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

// After four alike names NTFS stops numbering: the first take the tails ~1 to
// ~4, the rest the first two characters, hex digits of a hash of the long name
// and a numbered tail that make eight characters. None is given twice, nor
// the 8.3 name of another entry (OEMPRI~4, listed last).
TEST(SimWildcard, ShortNamesOfManyAlikeNamesStayUniqueAndWindowsLike) {
    for (const auto& [ext, shortExt] : {std::pair<std::string, WString>{".infx", L".INF"}, {"", L""}}) {
        SCOPED_TRACE(ext);
        std::vector<WString> longNames = {L"OEMPRI~4" + shortExt}, numbered;
        for (int i = 0; i < 2000; ++i) longNames.push_back(Utf8ToUtf16("oem printer" + std::to_string(i) + ext));
        std::sort(longNames.begin(), longNames.end(), NameLess);
        const std::vector<WString> shortNames = FolderShortNames(longNames);
        ASSERT_EQ(shortNames.size(), longNames.size());
        const std::wregex hashed(L"(?=.{8}$)OE[0-9A-F]+~[0-9]+");
        std::set<WString> seen;
        for (std::size_t i = 0; i < shortNames.size(); ++i) {
            const WString& name = shortNames[i].empty() ? longNames[i] : shortNames[i];
            EXPECT_TRUE(seen.insert(FoldName(name)).second) << Utf16ToUtf8(name) << " given twice";
            const WString stem = name.substr(0, name.size() - shortExt.size());
            if (name.starts_with(L"OEMPRI~")) {
                numbered.push_back(stem);
            } else {
                EXPECT_TRUE(name.ends_with(shortExt) && std::regex_match(stem, hashed)) << Utf16ToUtf8(name);
            }
        }
        EXPECT_EQ(numbered, (std::vector<WString>{L"OEMPRI~1", L"OEMPRI~2", L"OEMPRI~3", L"OEMPRI~4"}));
    }
}

}  // namespace
}  // namespace zq::sim
