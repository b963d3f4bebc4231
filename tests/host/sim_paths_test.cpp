// Windows path names on the simulated machine: resolution and the mapping
// of drives to the machine folder, names matched without regard to case.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/text.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/windows_path.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

struct ResolveRow {
    const wchar_t* path;
    const wchar_t* resolved;  // empty: not resolvable
};

TEST(SimPaths, ResolvesLikeWin32) {
    const WindowsPath current{L'D', {L"pkg", L"sub"}};
    const ResolveRow rows[] = {
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
    for (const ResolveRow& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.path));
        std::optional<WindowsPath> path = ResolveWindowsPath(row.path, current);
        EXPECT_EQ(path ? path->ToString() : WString(), row.resolved);
    }
}

TEST(SimPaths, NamesMatchWithoutRegardToCase) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Package\\Setup\\ZQPrep.EXE", "x");
    Platform& platform = machine.Load().platform();
    EXPECT_TRUE(platform.files.IsExistingFile(L"c:\\package\\setup\\zqprep.exe"));
    EXPECT_TRUE(platform.files.Exists(L"C:\\PACKAGE\\SETUP"));
    EXPECT_FALSE(platform.files.IsExistingFile(L"C:\\PACKAGE\\SETUP"));
    // Relative to the current directory (the program's folder, C:\Package).
    EXPECT_TRUE(platform.files.IsExistingFile(L"setup\\zqprep.exe"));
    EXPECT_FALSE(platform.files.Exists(L"C:\\Package\\setup\\missing.exe"));
}

TEST(SimPaths, NewFilesKeepTheirSpellingInsideExistingFolders) {
    test::TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    Platform& platform = machine.Load().platform();
    NewFileCreation created = platform.files.CreateNewFile(L"c:\\TEMP\\New.Log");
    ASSERT_TRUE(created.file);
    ASSERT_TRUE(created.file->Write("one\r\n"));
    ASSERT_TRUE(created.file->Write("two\r\n"));
    const std::filesystem::path file = machine.Dir() / "drives" / "C" / "Temp" / "New.Log";
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
    EXPECT_EQ(machine.ReadFile("C:\\Temp\\New.Log"), "one\r\ntwo\r\n");
}

TEST(SimPaths, CreateNewRefusesTakenNamesAndMissingFolders) {
    test::TestMachine machine;
    machine.MakeFolder("C:\\Temp\\AFolder");
    machine.WriteFile("C:\\Temp\\held.log", "old");
    machine.config()["lockedFiles"] = {"c:\\temp\\HELD.LOG"};
    Platform& platform = machine.Load().platform();
    struct Row {
        const wchar_t* path;
        ErrorCode error;
    } rows[] = {
        {L"C:\\Temp\\AFolder", kErrorFileExists},
        {L"C:\\Temp\\held.log", kErrorFileExists},
        {L"C:\\Temp\\HELD.log", kErrorFileExists},
        {L"C:\\Missing\\x.log", sim::kErrorPathNotFound},
        {L"C:\\Temp\\held.log\\x.log", sim::kErrorPathNotFound},
        {L"C:\\", sim::kErrorPathNotFound},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.path));
        NewFileCreation created = platform.files.CreateNewFile(row.path);
        EXPECT_FALSE(created.file);
        EXPECT_EQ(created.error, row.error);
        EXPECT_EQ(platform.environment.LastError(), row.error);
    }
    EXPECT_EQ(machine.ReadFile("C:\\Temp\\held.log"), "old");
}

TEST(SimPaths, UnsharedReadsFailForLockedMissingAndFolders) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Windows\\inf\\oem1.inf", "abc");
    machine.WriteFile("C:\\Windows\\inf\\oem2.inf", "def");
    machine.config()["lockedFiles"] = {"C:\\WINDOWS\\inf\\OEM2.inf"};
    Platform& platform = machine.Load().platform();
    std::vector<std::uint8_t> content{9, 9, 9, 9};
    std::size_t size = 0;
    ASSERT_TRUE(platform.files.ReadWholeFileUnshared(L"C:\\Windows\\inf\\oem1.inf", content, size));
    EXPECT_EQ(std::string(content.begin(), content.begin() + size), "abc");
    EXPECT_FALSE(platform.files.ReadWholeFileUnshared(L"C:\\Windows\\inf\\oem2.inf", content, size));
    EXPECT_FALSE(platform.files.ReadWholeFileUnshared(L"C:\\Windows\\inf\\oem3.inf", content, size));
    EXPECT_FALSE(platform.files.ReadWholeFileUnshared(L"C:\\Windows\\inf", content, size));
}

struct ReadRow {
    const wchar_t* path;
    const char* content;  // null: the read fails
};

// Reads one after another, most in one folder written in several ways: each
// answers as if it came alone.
TEST(SimPaths, UnsharedReadsInOneFolderThroughManySpellings) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Windows\\inf\\oem1.inf", "abc");
    machine.WriteFile("C:\\Windows\\inf\\Oem2.inf", "de");
    machine.WriteFile("C:\\Windows\\inf\\oem3.inf", "held");
    machine.WriteFile("C:\\Package\\oem1.inf", "package");
    machine.MakeFolder("C:\\Windows\\inf\\oemdir.inf");
    machine.config()["lockedFiles"] = {"C:\\WINDOWS\\inf\\OEM3.inf"};
    Platform& platform = machine.Load().platform();
    const ReadRow rows[] = {
        {L"C:\\Windows\\inf\\oem1.inf", "abc"},
        {L"C:\\Windows\\inf\\oem2.inf", "de"},
        {L"C:\\Windows\\inf\\oem3.inf", nullptr},  // locked
        {L"C:\\Windows\\inf\\oemdir.inf", nullptr},
        {L"C:\\Windows\\inf\\oem9.inf", nullptr},
        {L"C:\\Windows\\inf\\oem1.inf. ", "abc"},  // trailing dots and blanks dropped
        {L"C:\\Windows\\inf\\..\\inf\\oem1.inf", "abc"},
        {L"c:/windows/INF/OEM1.INF", "abc"},
        {L"C:\\Windows\\inf\\oem1.inf", "abc"},
        {L"oem1.inf", "package"},  // the current directory, the program's folder
        {L"\\Windows\\inf\\oem1.inf", "abc"},
        {L"C:oem1.inf", "package"},
        {L"C:\\Windows\\inf\\oem1.inf", "abc"},
    };
    std::vector<std::uint8_t> content;
    std::size_t size = 0;
    for (const ReadRow& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.path));
        const bool read = platform.files.ReadWholeFileUnshared(row.path, content, size);
        EXPECT_EQ(read, row.content != nullptr);
        if (read) {
            EXPECT_EQ(std::string(content.begin(), content.begin() + size), row.content);
        }
    }
}

// Into a buffer that only grows: the file's bytes at its front, the rest
// left as it was.
TEST(SimPaths, UnsharedReadsIntoAGrowingBuffer) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Windows\\inf\\oem1.inf", "abcdef");
    machine.WriteFile("C:\\Windows\\inf\\oem2.inf", "xy");
    machine.WriteFile("C:\\Windows\\inf\\oem3.inf", "");
    Platform& platform = machine.Load().platform();
    std::vector<std::uint8_t> buffer;
    std::size_t size = 99;
    ASSERT_TRUE(platform.files.ReadWholeFileUnshared(L"C:\\Windows\\inf\\oem1.inf", buffer, size));
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "abcdef");
    ASSERT_TRUE(platform.files.ReadWholeFileUnshared(L"c:\\WINDOWS\\inf\\OEM2.INF", buffer, size));
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "xycdef");
    ASSERT_TRUE(platform.files.ReadWholeFileUnshared(L"C:\\Windows\\inf\\oem3.inf", buffer, size));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer.size(), 6u);
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
    std::vector<nlohmann::json> copies = machine.Events("fileCopied");
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0]["from"], "setup\\pkg.dat");
    EXPECT_EQ(copies[0]["to"], "C:\\Prog\\Clean\\pkg.dat");
    EXPECT_EQ(copies[0]["ok"], true);
    EXPECT_EQ(copies[1]["ok"], false);
}

TEST(SimPaths, ProfileStringsFromTheWindowsFolderForBareNames) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Windows\\basic.ini", "[S]\r\nK=windows\r\n");
    machine.WriteFile("C:\\Package\\basic.ini", "[S]\r\nK=package\r\n");
    Platform& platform = machine.Load().platform();
    EXPECT_EQ(platform.profile.GetString(L"S", L"K", L"dflt", 500, L"basic.ini"), L"windows");
    EXPECT_EQ(platform.profile.GetString(L"S", L"K", L"dflt", 500, L"basic.ini "), L"windows");
    EXPECT_EQ(platform.profile.GetString(L"S", L"K", L"dflt", 500, L".\\basic.ini"), L"package");
    EXPECT_EQ(platform.profile.GetString(L"S", L"K", L"dflt   ", 500, L"C:\\Package\\none.ini"), L"dflt");
    EXPECT_EQ(platform.environment.LastError(), 2u);
    EXPECT_EQ(platform.profile.GetString(L"S", L"K", L"dflt", 3, L"C:\\Package\\none.ini"), L"df");
}

}  // namespace
}  // namespace zq::sim
