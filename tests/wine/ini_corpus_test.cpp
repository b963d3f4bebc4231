// The INI corpus (tests/ini-corpus) read by the real GetPrivateProfileStringW,
// under Wine. Every row that Wine answers as Windows does must come back as
// expected.tsv says; the rows marked as diverging are skipped, each with
// Wine's difference as the reason.
//
// The corpus folder, as a Windows path (Z:\work\main\tests\ini-corpus), is
// the first command-line argument that is not a GoogleTest flag, or else the
// environment variable ZQ_INI_CORPUS_DIR, or else the folder in the source
// tree that the build names with ZQ_SOURCE_DIR_WINDOWS.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"
#include "tests/ini-corpus/corpus_rows.h"

namespace {

using zq::WString;
using zq::ini_corpus::CorpusRow;

struct LocalFreeDeleter {
    void operator()(wchar_t** arguments) const { LocalFree(arguments); }
};

std::optional<WString> CorpusDirFromCommandLine() {
    int count = 0;
    std::unique_ptr<wchar_t*, LocalFreeDeleter> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!arguments) return std::nullopt;
    for (int i = 1; i < count; ++i) {
        const WString argument = arguments.get()[i];
        if (!argument.empty() && argument.front() != L'-') return argument;
    }
    return std::nullopt;
}

std::optional<WString> CorpusDirFromEnvironment() {
    wchar_t value[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableW(L"ZQ_INI_CORPUS_DIR", value, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2) return std::nullopt;
    return WString(value, length);
}

std::optional<WString> CorpusDirFromBuild() {
#ifdef ZQ_SOURCE_DIR_WINDOWS
    return WString(ZQ_SOURCE_DIR_WINDOWS) + L"\\tests\\ini-corpus";
#else
    return std::nullopt;
#endif
}

std::optional<WString> CorpusDir() {
    auto dir = CorpusDirFromCommandLine();
    if (!dir) dir = CorpusDirFromEnvironment();
    if (!dir) dir = CorpusDirFromBuild();
    if (dir && !dir->empty() && dir->back() != L'\\' && dir->back() != L'/') dir->push_back(L'\\');
    return dir;
}

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

std::optional<std::string> ReadWholeFile(const WString& path) {
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    const std::unique_ptr<void, HandleCloser> file(handle);
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

std::vector<CorpusRow> CorpusRows() {
    const auto dir = CorpusDir();
    if (!dir) return {};
    const auto tsv = ReadWholeFile(*dir + L"expected.tsv");
    if (!tsv) return {};
    return zq::ini_corpus::ParseCorpusRows(*tsv);
}

TEST(IniCorpusOnWine, FindsTheCorpus) {
    const auto dir = CorpusDir();
    ASSERT_TRUE(dir)
        << "give the corpus folder as an argument or in ZQ_INI_CORPUS_DIR, or build with ZQ_SOURCE_DIR_WINDOWS";
    const auto tsv = ReadWholeFile(*dir + L"expected.tsv");
    ASSERT_TRUE(tsv) << zq::Utf16ToUtf8(*dir) << "expected.tsv cannot be read";
    const auto rows = zq::ini_corpus::ParseCorpusRows(*tsv);
    EXPECT_GT(rows.size(), 100u);
    const auto diverging =
        std::count_if(rows.begin(), rows.end(), [](const CorpusRow& row) { return row.DivergesOnWine(); });
    std::printf("%zu corpus rows, %zu of them left out because Wine answers otherwise than Windows\n", rows.size(),
                static_cast<std::size_t>(diverging));
}

class IniCorpusOnWineRow : public testing::TestWithParam<CorpusRow> {};

TEST_P(IniCorpusOnWineRow, AnswersAsExpected) {
    const CorpusRow& row = GetParam();
    if (row.DivergesOnWine()) GTEST_SKIP() << "Wine differs from Windows here: " << row.diverges;

    const WString path = *CorpusDir() + zq::Utf8ToUtf16(row.file);
    // A guard after the nSize characters shows a write beyond them.
    constexpr std::size_t kGuard = 8;
    constexpr wchar_t kUnwritten = L'#';
    std::vector<wchar_t> buffer(row.bufferChars + kGuard, kUnwritten);
    const DWORD returned = GetPrivateProfileStringW(row.section.c_str(), row.key.c_str(), row.defaultValue.c_str(),
                                                    buffer.data(), static_cast<DWORD>(row.bufferChars), path.c_str());

    // What a caller sees: the string in the nSize characters (nothing at all
    // when nSize is 0).
    const auto used = buffer.begin() + static_cast<std::ptrdiff_t>(row.bufferChars);
    const WString seen(buffer.begin(), std::find(buffer.begin(), used, L'\0'));
    EXPECT_EQ(seen, row.expected);
    EXPECT_EQ(returned, row.expected.size());
    EXPECT_TRUE(std::all_of(used, buffer.end(), [](wchar_t c) { return c == kUnwritten; })) << "written beyond nSize";
}

INSTANTIATE_TEST_SUITE_P(Rows, IniCorpusOnWineRow, testing::ValuesIn(CorpusRows()),
                         [](const testing::TestParamInfo<CorpusRow>& info) {
                             return zq::ini_corpus::RowTestName(info.param);
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(IniCorpusOnWineRow);

}  // namespace
