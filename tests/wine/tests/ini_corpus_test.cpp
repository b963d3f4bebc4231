// The INI corpus (tests/ini-corpus) read by the real GetPrivateProfileStringW,
// under Wine. Every row that Wine answers as Windows does must come back as
// expected.tsv says; the rows marked as diverging are skipped, each with
// Wine's difference as the reason.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "tests/ini-corpus/corpus_rows.h"
#include "tests/wine/support/wine_test_support.h"

namespace {

using zq::WString;
using zq::ini_corpus::CorpusRow;

const WString kCorpusDir = zq::test::kSourceDir + L"\\tests\\ini-corpus\\";

std::vector<CorpusRow> CorpusRows() {
    return zq::ini_corpus::ParseCorpusRows(zq::test::ReadFileBytes(kCorpusDir + L"expected.tsv"));
}

// The rows below are made from the corpus: none when it is not found.
TEST(IniCorpusOnWine, FindsTheCorpus) {
    EXPECT_GT(CorpusRows().size(), 100u) << zq::Utf16ToUtf8(kCorpusDir) << "expected.tsv";
}

class IniCorpusOnWineRow : public testing::TestWithParam<CorpusRow> {};

TEST_P(IniCorpusOnWineRow, AnswersAsExpected) {
    const CorpusRow& row = GetParam();
    if (row.DivergesOnWine()) GTEST_SKIP() << "Wine differs from Windows here: " << row.diverges;

    const WString path = kCorpusDir + zq::Utf8ToUtf16(row.file);
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

INSTANTIATE_TEST_SUITE_P(Rows, IniCorpusOnWineRow, testing::ValuesIn(CorpusRows()), zq::ini_corpus::RowTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(IniCorpusOnWineRow);

}  // namespace
