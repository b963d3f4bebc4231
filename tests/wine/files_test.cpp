// IFiles against the prefix's file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <optional>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_test_support.h"

namespace zq::win32 {
namespace {

using test::FreshTestFolder;
using test::MakeLongFolder;
using test::Narrow;
using test::ReadFileBytes;
using test::WriteFileBytes;

TEST(Win32Files, ExistsCountsFilesAndFoldersAlike) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-exists");
    WriteFileBytes(folder + L"\\file.log", "x");
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\folder.log").c_str(), nullptr));
    EXPECT_TRUE(files.Exists(folder + L"\\file.log"));
    EXPECT_TRUE(files.Exists(folder + L"\\folder.log"));
    EXPECT_FALSE(files.Exists(folder + L"\\missing.log"));
    EXPECT_FALSE(files.Exists(folder + L"\\missing\\file.log"));
}

// The shell's probe missed both of these: a doubled backslash, and a name
// of MAX_PATH characters or more.
TEST(Win32Files, ExistsSeesEverySpellingAndLength) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-exists-spellings");
    WriteFileBytes(folder + L"\\Run.log", "x");
    for (const WString& spelling : {folder + L"\\\\Run.log", folder + L"/run.LOG", folder + L"\\.\\Run.log",
                                    folder + L"\\sub\\..\\Run.log", folder + L"\\Run.log.", folder + L"\\Run.log "}) {
        EXPECT_TRUE(files.Exists(spelling)) << Narrow(spelling);
    }
    for (std::size_t length : {240u, 250u, 300u}) {
        const WString longFolder = MakeLongFolder(folder + L"\\long" + std::to_wstring(length), length);
        const WString name = longFolder + L"\\zqmerlesetup000.log";
        WriteFileBytes(ExtendedLengthPath(name), "x");
        EXPECT_TRUE(files.Exists(name)) << name.size();
        EXPECT_TRUE(files.Exists(longFolder + L"\\\\zqmerlesetup000.log")) << name.size();
        EXPECT_TRUE(files.Exists(longFolder)) << longFolder.size();
        EXPECT_FALSE(files.Exists(longFolder + L"\\zqmerlesetup001.log")) << name.size();
    }
}

TEST(Win32Files, ExtendedLengthPathOfFullPaths) {
    const WString folder = FreshTestFolder(L"files-extended");
    struct Row {
        WString path, extended;
    } rows[] = {
        {L"C:\\a\\\\b.log", L"\\\\?\\C:\\a\\b.log"},
        {L"C:/a/./b/../c.log", L"\\\\?\\C:\\a\\c.log"},
        {L"C:\\a\\b.log. ", L"\\\\?\\C:\\a\\b.log"},
        {L"\\\\server\\share\\x.log", L"\\\\?\\UNC\\server\\share\\x.log"},
        {L"\\\\?\\C:\\a\\\\b.log", L"\\\\?\\C:\\a\\\\b.log"},
        {L"\\\\.\\pipe\\x", L"\\\\.\\pipe\\x"},
    };
    for (const Row& row : rows) EXPECT_EQ(ExtendedLengthPath(row.path), row.extended) << Narrow(row.path);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
    EXPECT_EQ(ExtendedLengthPath(L"x.log"), L"\\\\?\\" + folder + L"\\x.log");
    EXPECT_EQ(ExtendedLengthPath(L"\\x.log"), L"\\\\?\\C:\\x.log");
}

TEST(Win32Files, CreateNewFileMakesAFileAndWritesThroughIt) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-create");
    const WString path = folder + L"\\\\zq.log";
    NewFileCreation created = files.CreateNewFile(path);
    ASSERT_TRUE(created.file) << created.error;
    ASSERT_TRUE(created.file->Write("first\r\n"));
    ASSERT_TRUE(created.file->Write(std::string("se\0cond\r\n", 9)));
    created.file.reset();
    EXPECT_EQ(ReadFileBytes(folder + L"\\zq.log"), std::string("first\r\nse\0cond\r\n", 16));

    const WString longFolder = MakeLongFolder(folder + L"\\long", 300);
    NewFileCreation deep = files.CreateNewFile(longFolder + L"\\zqmerlesetup000.log");
    ASSERT_TRUE(deep.file) << deep.error;
    ASSERT_TRUE(deep.file->Write("deep\r\n"));
    deep.file.reset();
    EXPECT_EQ(ReadFileBytes(ExtendedLengthPath(longFolder + L"\\zqmerlesetup000.log")), "deep\r\n");
}

TEST(Win32Files, CreateNewFileRefusesEveryExistingName) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-create-taken");
    WriteFileBytes(folder + L"\\Run.log", "old");
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\folder.log").c_str(), nullptr));
    for (const WString& taken :
         {folder + L"\\Run.log", folder + L"\\\\RUN.LOG", folder + L"/run.log.", folder + L"\\folder.log"}) {
        NewFileCreation created = files.CreateNewFile(taken);
        EXPECT_FALSE(created.file) << Narrow(taken);
        EXPECT_EQ(created.error, static_cast<ErrorCode>(ERROR_FILE_EXISTS)) << Narrow(taken);
    }
    EXPECT_EQ(ReadFileBytes(folder + L"\\Run.log"), "old");
    NewFileCreation missing = files.CreateNewFile(folder + L"\\missing\\zq.log");
    EXPECT_FALSE(missing.file);
    EXPECT_EQ(missing.error, static_cast<ErrorCode>(ERROR_PATH_NOT_FOUND));
}

// While the run holds its log, others may read it, but not write to it,
// rename it or delete it.
TEST(Win32Files, CreatedFileIsSharedForReadingOnly) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-create-shared");
    const WString path = folder + L"\\zq.log";
    NewFileCreation created = files.CreateNewFile(path);
    ASSERT_TRUE(created.file);
    ASSERT_TRUE(created.file->Write("mine\r\n"));
    EXPECT_EQ(ReadFileBytes(path), "mine\r\n");
    ScopedFileHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(writer);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(::DeleteFileW(path.c_str()));
    EXPECT_FALSE(::MoveFileW(path.c_str(), (folder + L"\\moved.log").c_str()));
    created.file.reset();
    EXPECT_EQ(ReadFileBytes(path), "mine\r\n");
}

TEST(Win32Files, IsExistingFileRefusesFolders) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-isfile");
    WriteFileBytes(folder + L"\\file.txt", "");
    EXPECT_TRUE(files.IsExistingFile(folder + L"\\file.txt"));
    EXPECT_FALSE(files.IsExistingFile(folder));
    EXPECT_FALSE(files.IsExistingFile(folder + L"\\missing.txt"));
}

std::vector<WString> SortedLower(std::vector<WString> names) {
    for (WString& name : names) {
        for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Win32Files, ListMatchingFindsFilesAndFoldersCaseInsensitively) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-list");
    for (const wchar_t* name : {L"oem1.inf", L"OEM2.INF", L"Oem10.Inf", L"other.inf", L"oem3.pnf", L"oem.inf"}) {
        WriteFileBytes(folder + L"\\" + name, "");
    }
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\oemdir.inf").c_str(), nullptr));
    const std::vector<WString> expected = {L"oem.inf", L"oem1.inf", L"oem10.inf", L"oem2.inf", L"oemdir.inf"};
    EXPECT_EQ(SortedLower(files.ListMatching(folder + L"\\oem*.inf")), expected);
}

TEST(Win32Files, ListMatchingWithoutMatchIsEmpty) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-list-none");
    WriteFileBytes(folder + L"\\other.inf", "");
    EXPECT_TRUE(files.ListMatching(folder + L"\\oem*.inf").empty());
    EXPECT_TRUE(files.ListMatching(folder + L"\\missing\\oem*.inf").empty());
}

TEST(Win32Files, ReadWholeFileUnsharedReadsEveryByte) {
    Win32Files files;
    const WString path = FreshTestFolder(L"files-read") + L"\\oem1.inf";
    const std::string bytes("\xFF\xFEK\0e\0y\0\0\0z", 11);  // odd length, zeros inside
    WriteFileBytes(path, bytes);
    // A buffer larger than the file keeps its size and its tail.
    std::vector<std::uint8_t> buffer(20, 9);
    std::size_t size = 0;
    ASSERT_TRUE(files.ReadWholeFileUnshared(path, buffer, size));
    ASSERT_EQ(size, bytes.size());
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + size), bytes);
    EXPECT_EQ(buffer.size(), 20u);
    EXPECT_EQ(buffer.back(), 9);
    // A smaller one grows to the file.
    std::vector<std::uint8_t> small(2, 9);
    ASSERT_TRUE(files.ReadWholeFileUnshared(path, small, size));
    EXPECT_EQ(std::string(small.begin(), small.begin() + size), bytes);
}

TEST(Win32Files, ReadWholeFileUnsharedOfAnEmptyFile) {
    Win32Files files;
    const WString path = FreshTestFolder(L"files-read-empty") + L"\\oem1.inf";
    WriteFileBytes(path, "");
    std::vector<std::uint8_t> buffer = {1, 2, 3};
    std::size_t size = 99;
    ASSERT_TRUE(files.ReadWholeFileUnshared(path, buffer, size));
    EXPECT_EQ(size, 0u);
}

TEST(Win32Files, ReadWholeFileUnsharedFailsWhileAnotherProcessHoldsTheFile) {
    Win32Files files;
    const WString path = FreshTestFolder(L"files-read-locked") + L"\\oem1.inf";
    WriteFileBytes(path, "text");
    // Even a holder that shares everything keeps an unshared open out.
    ScopedFileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    std::vector<std::uint8_t> buffer;
    std::size_t size = 0;
    EXPECT_FALSE(files.ReadWholeFileUnshared(path, buffer, size));
    holder.Reset();
    EXPECT_TRUE(files.ReadWholeFileUnshared(path, buffer, size));
}

TEST(Win32Files, ReadWholeFileUnsharedFailsForMissingFilesAndFolders) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-read-missing");
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\oemdir.inf").c_str(), nullptr));
    std::vector<std::uint8_t> buffer;
    std::size_t size = 0;
    EXPECT_FALSE(files.ReadWholeFileUnshared(folder + L"\\missing.inf", buffer, size));
    EXPECT_FALSE(files.ReadWholeFileUnshared(folder + L"\\oemdir.inf", buffer, size));
}

// A large oem*.inf file is read a piece at a time into one buffer, each
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
    std::size_t end = 0;
    for (const Piece& piece : pieces) {
        SCOPED_TRACE(piece.at);
        const std::optional<std::size_t> got = file->ReadInto(buffer, piece.at, piece.count);
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(*got, piece.got);
        EXPECT_GE(buffer.size(), piece.at + piece.count);
        if (piece.got > 0) end = piece.at + piece.got;
    }
    // The third piece was put over the end of the second: bytes 6 and 7 are
    // the file's bytes 8 and 9.
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + end), bytes.substr(0, 6) + bytes.substr(8));
    file.reset();
    EXPECT_NE(files.OpenUnshared(path), nullptr);
    EXPECT_EQ(files.OpenUnshared(path + L".missing"), nullptr);
}

TEST(Win32Files, CopyFileReplacingOverwrites) {
    Win32Files files;
    const WString folder = FreshTestFolder(L"files-copy");
    WriteFileBytes(folder + L"\\from.dat", "new content");
    WriteFileBytes(folder + L"\\to.dat", "old");
    ASSERT_TRUE(files.CopyFileReplacing(folder + L"\\from.dat", folder + L"\\to.dat"));
    EXPECT_EQ(ReadFileBytes(folder + L"\\to.dat"), "new content");
    ASSERT_TRUE(files.CopyFileReplacing(folder + L"\\from.dat", folder + L"\\fresh.dat"));
    EXPECT_EQ(ReadFileBytes(folder + L"\\fresh.dat"), "new content");
    EXPECT_FALSE(files.CopyFileReplacing(folder + L"\\missing.dat", folder + L"\\to.dat"));
}

}  // namespace
}  // namespace zq::win32
