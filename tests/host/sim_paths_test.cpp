// Windows path names on the simulated machine: resolution, names matched
// without regard to case, new files, unshared reads, copies and the folder of
// a bare settings-file name.
#include <gtest/gtest.h>

#include "base/text.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/windows_path.h"
#include "tests/support/event_fields.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

TEST(SimPaths, ResolvesLikeWin32) {
    const WindowsPath current{L'D', {L"pkg", L"sub"}};
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        // path, resolved (empty: not resolvable)
        {L"C:\\Windows\\inf\\oem1.inf", L"C:\\Windows\\inf\\oem1.inf"},
        {L"c:/windows/inf", L"C:\\windows\\inf"},
        {L"C:\\a\\\\b\\", L"C:\\a\\b"},
        {L"C:\\a\\.\\b\\..\\c", L"C:\\a\\c"},
        {L"C:\\..\\..\\x", L"C:\\x"},
        {L"\\x.log", L"D:\\x.log"},  // the current directory's drive
        {L"x.ini", L"D:\\pkg\\sub\\x.ini"},
        {L".\\x.ini", L"D:\\pkg\\sub\\x.ini"},
        {L"..\\x.ini", L"D:\\pkg\\x.ini"},
        {L"setup\\x.exe", L"D:\\pkg\\sub\\setup\\x.exe"},
        {L"basic.ini ", L"D:\\pkg\\sub\\basic.ini"},  // trailing blank dropped
        {L"basic.ini...", L"D:\\pkg\\sub\\basic.ini"},
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

TEST(SimPaths, NamesMatchWithoutRegardToCaseAndNewFilesKeepTheirSpelling) {
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
}

// CREATE_NEW: a name taken in any case, or a folder that is not there, is refused.
TEST(SimPaths, CreateNewRefusesTakenNamesAndMissingFolders) {
    test::TestMachine machine;
    machine.MakeFolder("C:\\Temp\\AFolder");
    machine.WriteFile("C:\\Temp\\held.log", "old");
    machine.config()["lockedFiles"] = {"c:\\temp\\HELD.LOG"};
    Platform& platform = machine.Load().platform();
    const std::pair<const wchar_t*, ErrorCode> rows[] = {
        {L"C:\\Temp\\AFolder", kErrorFileExists},           {L"C:\\Temp\\held.log", kErrorFileExists},
        {L"C:\\Temp\\HELD.log", kErrorFileExists},          {L"C:\\Missing\\x.log", kErrorPathNotFound},
        {L"C:\\Temp\\held.log\\x.log", kErrorPathNotFound}, {L"C:\\", kErrorPathNotFound},
    };
    for (const auto& [path, error] : rows) {
        SCOPED_TRACE(Utf16ToUtf8(path));
        NewFileCreation created = platform.files.CreateNewFile(path);
        EXPECT_FALSE(created.file);
        EXPECT_EQ(created.error, error);
        EXPECT_EQ(platform.environment.LastError(), error);
    }
    EXPECT_EQ(machine.ReadFile("C:\\Temp\\held.log"), "old");
}

// Reads one after another into a buffer that only grows: each answers as if
// it came alone, with the file's bytes at the buffer's front and the rest left
// as it was.
TEST(SimPaths, UnsharedReadsThroughManySpellingsIntoAGrowingBuffer) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Windows\\inf\\oem1.inf", "abcdef");
    machine.WriteFile("C:\\Windows\\inf\\Oem2.inf", "xy");
    machine.WriteFile("C:\\Windows\\inf\\oem3.inf", "held");
    machine.WriteFile("C:\\Windows\\inf\\oem4.inf", "");
    machine.WriteFile("C:\\Package\\oem1.inf", "package");
    machine.MakeFolder("C:\\Windows\\inf\\oemdir.inf");
    machine.config()["lockedFiles"] = {"C:\\WINDOWS\\inf\\OEM3.inf"};
    Platform& platform = machine.Load().platform();
    const struct {
        const wchar_t* path;
        const char* buffer;  // nullptr: the read fails
        std::size_t size;
    } rows[] = {
        {L"C:\\Windows\\inf\\oem1.inf", "abcdef", 6},
        {L"C:\\Windows\\inf\\oem2.inf", "xycdef", 2},
        {L"C:\\Windows\\inf\\oem3.inf", nullptr, 0},  // locked
        {L"C:\\Windows\\inf\\oemdir.inf", nullptr, 0},
        {L"C:\\Windows\\inf\\oem9.inf", nullptr, 0},
        {L"C:\\Windows\\inf\\oem4.inf", "xycdef", 0},
        {L"C:\\Windows\\inf\\oem1.inf. ", "abcdef", 6},  // trailing dots and blanks dropped
        {L"C:\\Windows\\inf\\..\\inf\\oem1.inf", "abcdef", 6},
        {L"c:/windows/INF/OEM1.INF", "abcdef", 6},
        {L"oem1.inf", "package", 7},  // the current directory, the program's folder
        {L"\\Windows\\inf\\oem2.inf", "xyckage", 2},
        {L"C:oem1.inf", "package", 7},
        {L"C:\\Windows\\inf\\oem1.inf", "abcdefe", 6},
    };
    std::vector<std::uint8_t> buffer;
    std::size_t size = 99;
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.path));
        ASSERT_EQ(platform.files.ReadWholeFileUnshared(row.path, buffer, size), row.buffer != nullptr);
        if (row.buffer) {
            EXPECT_EQ(std::string(buffer.begin(), buffer.end()), row.buffer);
            EXPECT_EQ(size, row.size);
        }
    }
    EXPECT_FALSE(platform.files.ReadWholeFileUnshared(L"C:\\Windows\\inf\\oem9.inf", buffer, size));
    EXPECT_EQ(platform.environment.LastError(), kErrorFileNotFound);
}

TEST(SimPaths, CopyReplacesAndIsJournalled) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Package\\setup\\pkg.dat", "new");
    machine.WriteFile("C:\\Prog\\Clean\\pkg.dat", "old");
    Platform& platform = machine.Load().platform();
    EXPECT_TRUE(platform.files.CopyFileReplacing(L"setup\\pkg.dat", L"C:\\Prog\\Clean\\pkg.dat"));
    EXPECT_EQ(machine.ReadFile("C:\\Prog\\Clean\\pkg.dat"), "new");
    EXPECT_FALSE(platform.files.CopyFileReplacing(L"setup\\", L"\"C:\\Prog\\Clean\\pkg.dat"));
    const std::vector<nlohmann::json> copies = machine.Events("fileCopied");
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_TRUE(
        test::HasFields(copies[0], {{"from", "setup\\pkg.dat"}, {"to", "C:\\Prog\\Clean\\pkg.dat"}, {"ok", true}}));
    EXPECT_EQ(copies[1]["ok"], false);
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

}  // namespace
}  // namespace zq::sim
