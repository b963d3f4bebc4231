// IFiles and IProfileStrings against the prefix's file system (the
// shell's probe for a log name meets it in the log file's suite).
#include <gtest/gtest.h>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

using namespace test;

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
    for (const auto& [path, extended] : rows) EXPECT_EQ(ExtendedLengthPath(path), extended) << Utf16ToUtf8(path);
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
        EXPECT_FALSE(created.file) << Utf16ToUtf8(taken);
        EXPECT_EQ(created.error, static_cast<ErrorCode>(ERROR_FILE_EXISTS)) << Utf16ToUtf8(taken);
    }
    EXPECT_EQ(ReadFileBytes(folder + L"\\Run.log"), "old");
    EXPECT_EQ(files.CreateNewFile(folder + L"\\missing\\zq.log").error, static_cast<ErrorCode>(ERROR_PATH_NOT_FOUND));

    const WString path = folder + L"\\zq.log";
    NewFileCreation created = files.CreateNewFile(folder + L"\\\\zq.log");
    ASSERT_TRUE(created.file) << created.error;
    ASSERT_TRUE(created.file->Write(std::string("se\0cond\r\n", 9)));
    EXPECT_EQ(ReadFileBytes(path), std::string("se\0cond\r\n", 9));
    EXPECT_FALSE(ScopedFileHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    EXPECT_FALSE(::DeleteFileW(path.c_str()));
}

// An oem*.inf is read without sharing: not while anyone holds it, even
// this process. A large one is read a piece at a time into one buffer, each
// piece behind what the buffer keeps of the one before.
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
}

// The settings reader's wrapper of GetPrivateProfileStringW (whose own
// answers the INI corpus checks): the default for what is missing, the
// value cut to the buffer less one.
TEST(Win32Profile, ReadsValuesDefaultsAndCutsToTheBuffer) {
    const WString path = FreshTestFolder(L"profile") + L"\\autorun.inf";
    WriteFileBytes(path, "[Version]\r\nLog = 511 \r\nLong=abcdefghij\r\n");
    const struct {
        const wchar_t *key, *fallback;
        std::size_t chars;
        WString file;
        const wchar_t* value;
    } rows[] = {
        {L"Log", L"", 500, path, L"511"},
        {L"Log", L"<READ_FAILED>", 500, path + L".missing", L"<READ_FAILED>"},
        {L"Long", L"", 5, path, L"abcd"},
        {L"Missing", L"defaultvalue", 5, path, L"defa"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Win32ProfileStrings().GetString(L"Version", row.key, row.fallback, row.chars, row.file), row.value)
            << Utf16ToUtf8(row.key) << " " << row.chars;
}

}  // namespace
}  // namespace zq::win32
