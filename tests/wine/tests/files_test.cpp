// IFiles and IProfileStrings against the prefix's file system.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

using test::FreshTestFolder;
using test::Narrow;
using test::ReadFileBytes;
using test::WriteFileBytes;

// The shell's probe missed a doubled backslash and names of MAX_PATH
// characters or more.
TEST(Win32Files, ExistsSeesFilesAndFoldersInEverySpellingAndLength) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-exists");
    WriteFileBytes(folder + L"\\Run.log", "x");
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\folder.log").c_str(), nullptr));
    for (const WString& spelling :
         {folder + L"\\\\Run.log", folder + L"/run.LOG", folder + L"\\.\\Run.log", folder + L"\\sub\\..\\Run.log",
          folder + L"\\Run.log.", folder + L"\\Run.log ", folder + L"\\folder.log"})
        EXPECT_TRUE(files.Exists(spelling)) << Narrow(spelling);
    EXPECT_FALSE(files.Exists(folder + L"\\missing.log"));
    EXPECT_FALSE(files.Exists(folder + L"\\missing\\file.log"));
    EXPECT_TRUE(files.IsExistingFile(folder + L"\\Run.log"));
    EXPECT_FALSE(files.IsExistingFile(folder + L"\\folder.log"));
    EXPECT_FALSE(files.IsExistingFile(folder + L"\\missing.log"));
    for (std::size_t length : {240u, 250u, 300u}) {
        const WString longFolder = test::MakeLongFolder(folder + L"\\long" + std::to_wstring(length), length);
        WriteFileBytes(ExtendedLengthPath(longFolder + L"\\zqmerlesetup000.log"), "x");
        EXPECT_TRUE(files.Exists(longFolder + L"\\zqmerlesetup000.log")) << length;
        EXPECT_TRUE(files.Exists(longFolder + L"\\\\zqmerlesetup000.log")) << length;
        EXPECT_TRUE(files.Exists(longFolder)) << length;
        EXPECT_FALSE(files.Exists(longFolder + L"\\zqmerlesetup001.log")) << length;
    }
}

TEST(Win32Files, ExtendedLengthPathOfFullAndRelativePaths) {
    const WString folder = FreshTestFolder(L"files-extended");
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
    const std::pair<WString, WString> rows[] = {
        {L"C:\\a\\\\b.log", L"\\\\?\\C:\\a\\b.log"},
        {L"C:/a/./b/../c.log", L"\\\\?\\C:\\a\\c.log"},
        {L"C:\\a\\b.log. ", L"\\\\?\\C:\\a\\b.log"},
        {L"\\\\server\\share\\x.log", L"\\\\?\\UNC\\server\\share\\x.log"},
        {L"\\\\?\\C:\\a\\\\b.log", L"\\\\?\\C:\\a\\\\b.log"},
        {L"\\\\.\\pipe\\x", L"\\\\.\\pipe\\x"},
        {L"x.log", L"\\\\?\\" + folder + L"\\x.log"},
        {L"\\x.log", L"\\\\?\\C:\\x.log"},
    };
    for (const auto& [path, extended] : rows) EXPECT_EQ(ExtendedLengthPath(path), extended) << Narrow(path);
}

// The log is created new, never opened as it is (OPEN_ALWAYS would append
// to a file someone put there); while the run holds it, others may read it
// but not write, rename or delete it.
TEST(Win32Files, CreateNewFileRefusesEveryExistingNameAndSharesForReadingOnly) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-create");
    WriteFileBytes(folder + L"\\Run.log", "old");
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\folder.log").c_str(), nullptr));
    for (const WString& taken :
         {folder + L"\\Run.log", folder + L"\\\\RUN.LOG", folder + L"/run.log.", folder + L"\\folder.log"}) {
        NewFileCreation created = files.CreateNewFile(taken);
        EXPECT_FALSE(created.file) << Narrow(taken);
        EXPECT_EQ(created.error, static_cast<ErrorCode>(ERROR_FILE_EXISTS)) << Narrow(taken);
    }
    EXPECT_EQ(ReadFileBytes(folder + L"\\Run.log"), "old");
    EXPECT_EQ(files.CreateNewFile(folder + L"\\missing\\zq.log").error, static_cast<ErrorCode>(ERROR_PATH_NOT_FOUND));

    const WString path = folder + L"\\zq.log";
    NewFileCreation created = files.CreateNewFile(folder + L"\\\\zq.log");
    ASSERT_TRUE(created.file) << created.error;
    ASSERT_TRUE(created.file->Write("first\r\n"));
    ASSERT_TRUE(created.file->Write(std::string("se\0cond\r\n", 9)));
    EXPECT_EQ(ReadFileBytes(path), std::string("first\r\nse\0cond\r\n", 16));
    ScopedFileHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(writer);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(::DeleteFileW(path.c_str()));
    EXPECT_FALSE(::MoveFileW(path.c_str(), (folder + L"\\moved.log").c_str()));

    const WString longFolder = test::MakeLongFolder(folder + L"\\long", 300);
    NewFileCreation deep = files.CreateNewFile(longFolder + L"\\zqmerlesetup000.log");
    ASSERT_TRUE(deep.file) << deep.error;
    ASSERT_TRUE(deep.file->Write("deep\r\n"));
    deep.file.reset();
    EXPECT_EQ(ReadFileBytes(ExtendedLengthPath(longFolder + L"\\zqmerlesetup000.log")), "deep\r\n");
}

TEST(Win32Files, ListMatchingFindsFilesAndFoldersCaseInsensitively) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-list");
    for (const wchar_t* name : {L"oem1.inf", L"OEM2.INF", L"Oem10.Inf", L"other.inf", L"oem3.pnf", L"oem.inf"})
        WriteFileBytes(folder + L"\\" + name, "");
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\oemdir.inf").c_str(), nullptr));
    std::vector<WString> found = files.ListMatching(folder + L"\\oem*.inf");
    std::transform(found.begin(), found.end(), found.begin(), [](const WString& name) { return test::Lower(name); });
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<WString>{L"oem.inf", L"oem1.inf", L"oem10.inf", L"oem2.inf", L"oemdir.inf"}));
    EXPECT_TRUE(files.ListMatching(folder + L"\\zz*.inf").empty());
    EXPECT_TRUE(files.ListMatching(folder + L"\\missing\\oem*.inf").empty());
}

// An oem*.inf is read without sharing: not while anyone else holds it.
TEST(Win32Files, ReadWholeFileUnsharedReadsEveryByteOrNothing) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-read");
    const WString path = folder + L"\\oem1.inf";
    const std::string bytes("\xFF\xFEK\0e\0y\0\0\0z", 11);  // odd length, zeros inside
    WriteFileBytes(path, bytes);
    std::vector<std::uint8_t> buffer(20, 9);
    std::size_t size = 0;
    ASSERT_TRUE(files.ReadWholeFileUnshared(path, buffer, size));
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size)), bytes);
    EXPECT_EQ(buffer.size(), 20u) << "a larger buffer keeps its size";
    EXPECT_EQ(buffer.back(), 9) << "and its tail";
    std::vector<std::uint8_t> small(2, 9);
    ASSERT_TRUE(files.ReadWholeFileUnshared(path, small, size));
    EXPECT_EQ(std::string(small.begin(), small.begin() + static_cast<std::ptrdiff_t>(size)), bytes);
    {
        // Even a holder that shares everything keeps an unshared open out.
        ScopedFileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_FALSE(files.ReadWholeFileUnshared(path, buffer, size));
    }
    WriteFileBytes(folder + L"\\empty.inf", "");
    ASSERT_TRUE(files.ReadWholeFileUnshared(folder + L"\\empty.inf", buffer, size));
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(files.ReadWholeFileUnshared(folder + L"\\missing.inf", buffer, size));
    EXPECT_FALSE(files.ReadWholeFileUnshared(folder, buffer, size));
}

// A large oem*.inf is read a piece at a time into one buffer, each piece
// behind what the buffer keeps of the one before.
TEST(Win32Files, OpenUnsharedReadsPieceAfterPieceAndKeepsOthersOut) {
    Win32Files files;
    const WString path = FreshTestFolder(L"files-pieces") + L"\\oem1.inf";
    const std::string bytes("\xFF\xFEK\0e\0y\0\0\0z", 11);
    WriteFileBytes(path, bytes);
    std::unique_ptr<IReadableFile> file = files.OpenUnshared(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Size(), bytes.size());
    EXPECT_EQ(files.OpenUnshared(path), nullptr) << "held without sharing, even from this process";
    std::vector<std::uint8_t> buffer;
    struct Piece {
        std::size_t at, count, got;
    } pieces[] = {{0, 4, 4}, {4, 4, 4}, {6, 4, 3}, {9, 8, 0}};
    for (const Piece& piece : pieces) {
        SCOPED_TRACE(piece.at);
        EXPECT_EQ(file->ReadInto(buffer, piece.at, piece.count), std::optional<std::size_t>(piece.got));
        EXPECT_GE(buffer.size(), piece.at + piece.count);
    }
    // The third piece was put over the end of the second: bytes 6 and 7 are
    // the file's bytes 8 and 9.
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 9), bytes.substr(0, 6) + bytes.substr(8));
    file.reset();
    EXPECT_NE(files.OpenUnshared(path), nullptr);
    EXPECT_EQ(files.OpenUnshared(path + L".missing"), nullptr);
}

TEST(Win32Files, CopyFileReplacingOverwrites) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-copy");
    WriteFileBytes(folder + L"\\from.dat", "new content");
    WriteFileBytes(folder + L"\\to.dat", "old");
    for (const wchar_t* target : {L"\\to.dat", L"\\fresh.dat"}) {
        ASSERT_TRUE(files.CopyFileReplacing(folder + L"\\from.dat", folder + target));
        EXPECT_EQ(ReadFileBytes(folder + target), "new content");
    }
    EXPECT_FALSE(files.CopyFileReplacing(folder + L"\\missing.dat", folder + L"\\to.dat"));
}

// GetPrivateProfileStringW as the platform answers it: names in any case,
// values trimmed, the default for what is missing, the value cut to the
// buffer less one.
TEST(Win32Profile, ReadsValuesDefaultsAndCutsToTheBuffer) {
    const WString path = FreshTestFolder(L"profile") + L"\\autorun.inf";
    WriteFileBytes(path,
                   "[OS_Support]\r\nos_list=501,600_64\r\n[Version]\r\nLog = 511 \r\nLong=abcdefghij\r\nEmpty=\r\n");
    struct Row {
        const wchar_t *section, *key, *fallback;
        std::size_t chars;
        WString file;
        const wchar_t* value;
    } rows[] = {
        {L"OS_Support", L"os_list", L"<READ_FAILED>", 500, path, L"501,600_64"},
        {L"version", L"LOG", L"", 500, path, L"511"},
        {L"Version", L"Empty", L"dflt", 500, path, L""},
        {L"Version", L"Missing", L"<READ_FAILED>", 500, path, L"<READ_FAILED>"},
        {L"Missing", L"Log", L"<READ_FAILED>", 500, path, L"<READ_FAILED>"},
        {L"Version", L"Log", L"<READ_FAILED>", 500, path + L".missing", L"<READ_FAILED>"},
        {L"Version", L"Long", L"", 5, path, L"abcd"},
        {L"Version", L"Long", L"", 11, path, L"abcdefghij"},
        {L"Version", L"Missing", L"defaultvalue", 5, path, L"defa"},
    };
    Win32ProfileStrings profile;
    for (const Row& row : rows) {
        EXPECT_EQ(profile.GetString(row.section, row.key, row.fallback, row.chars, row.file), row.value)
            << Narrow(row.section) << " " << Narrow(row.key) << " " << row.chars;
    }
}

}  // namespace
}  // namespace zq::win32
