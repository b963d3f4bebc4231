// The simulated machine's GetPrivateProfileStringW: Windows' answers, rule by
// rule, then for every row of the INI corpus in tests/ini-corpus (the rows
// where Wine answers otherwise included).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/sim/profile_reader.h"
#include "tests/ini-corpus/corpus_rows.h"

namespace zq::sim {
namespace {

using namespace std::string_literals;

constexpr wchar_t kDefault[] = L"<READ_FAILED>";
constexpr std::size_t kBuffer = 500;

// Builds an ANSI file from lines joined with CRLF.
std::string CrlfFile(std::initializer_list<const char*> lines) {
    std::string bytes;
    for (const char* line : lines) bytes.append(line).append("\r\n");
    return bytes;
}

std::string Utf16BeFileWithBom(WStringView text) {
    std::string bytes = "\xFE\xFF" + StringToUtf16LeBytes(text);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

struct ReadCase {
    const char* name;
    std::string file;
    WString section;
    WString key;
    WString expected;
    WString defaultValue = kDefault;
    std::size_t bufferChars = kBuffer;
};

const std::string kSetupFile = CrlfFile({
    "Orphan=before any section",
    "[Setup]",
    "Key=value",
    "  Spaced  =   padded value   ",
    "Inner Key=inner",
    "NoEquals",
    "Eq=a=b",
    "Empty=",
    "Blank=    ",
    "Trimmed=\t\vvalue\v\t ",
    "Dup=first",
    "DUP=second",
    ";Commented=hidden",
    "  ;Indented=hidden",
    "#Hash=yes",
    "Semi=value ; x",
    "Lead=;kept",
    "=nameless key",
    "  [Indented]",
    "Where=indented",
    "[  Spaced Section  ]",
    "Where=spaced",
    "[setup]",
    "Later=never searched",
    "[Trail]junk",
    "Where=trail",
    "[A]B]",
    "Where=a",
    "[Other",
    "Where=other",
});

const std::string kQuotesFile = CrlfFile({
    "[Q]",
    "Double=\"double\"",
    "Single='single'",
    "Padded=  \" a \"  ",
    "Mixed=\"x'",
    "LoneStart=\"abc",
    "LoneEnd=abc\"",
    "Lone=\"",
    "Inner=a \"b\" c",
    "Nested=\"\"x\"\"",
    "EmptyPair=\"\"",
    "Six=\"abcdef\"",
});

std::vector<ReadCase> ReadCases() {
    return {
        {"plain", kSetupFile, L"Setup", L"Key", L"value"},
        {"names ignore ASCII case", kSetupFile, L"SETUP", L"kEY", L"value"},
        {"spaces around the arguments", kSetupFile, L"  Setup ", L" Key  ", L"value"},
        {"a tab in the section argument stays", kSetupFile, L"\tSetup", L"Key", kDefault},
        {"a tab in the key argument stays", kSetupFile, L"Setup", L"Key\t", kDefault},
        {"blanks around key and value", kSetupFile, L"Setup", L"Spaced", L"padded value"},
        {"inner spaces of a key", kSetupFile, L"Setup", L"Inner Key", L"inner"},
        {"inner spaces must match", kSetupFile, L"Setup", L"Inner  Key", kDefault},
        {"a line without = is not a key", kSetupFile, L"Setup", L"NoEquals", kDefault},
        {"the first = splits", kSetupFile, L"Setup", L"Eq", L"a=b"},
        {"empty value is not the default", kSetupFile, L"Setup", L"Empty", L""},
        {"blank value is empty", kSetupFile, L"Setup", L"Blank", L""},
        {"value ends lose tab and vertical tab", kSetupFile, L"Setup", L"Trimmed", L"value"},
        {"duplicate key: the first wins", kSetupFile, L"Setup", L"dup", L"first"},
        {"a ; line is a comment", kSetupFile, L"Setup", L";Commented", kDefault},
        {"an indented ; line is a comment", kSetupFile, L"Setup", L";Indented", kDefault},
        {"# is no comment", kSetupFile, L"Setup", L"#Hash", L"yes"},
        {"no inline comments", kSetupFile, L"Setup", L"Semi", L"value ; x"},
        {"a value may start with ;", kSetupFile, L"Setup", L"Lead", L";kept"},
        {"=value is the key \"\"", kSetupFile, L"Setup", L"", L"nameless key"},
        {"keys before the first header belong nowhere", kSetupFile, L"", L"Orphan", kDefault},
        {"nor to the first section", kSetupFile, L"Setup", L"Orphan", kDefault},
        {"indented header", kSetupFile, L"Indented", L"Where", L"indented"},
        {"blanks inside the brackets", kSetupFile, L"Spaced Section", L"Where", L"spaced"},
        {"a repeated section is not searched", kSetupFile, L"Setup", L"Later", kDefault},
        {"text after ] is ignored", kSetupFile, L"Trail", L"Where", L"trail"},
        {"the first ] ends the name", kSetupFile, L"A", L"Where", L"a"},
        {"so [A]B] is not A]B", kSetupFile, L"A]B", L"Where", kDefault},
        {"a header without ]", kSetupFile, L"Other", L"Where", L"other"},
        {"missing key", kSetupFile, L"Setup", L"Missing", kDefault},
        {"missing section", kSetupFile, L"Missing", L"Key", kDefault},
        {"[] is the section \"\"", "[]\r\nKey=nameless\r\n", L"", L"Key", L"nameless"},
        {"[] found with blanks", "[ ]\r\nKey=nameless\r\n", L"  ", L"Key", L"nameless"},

        {"double quotes", kQuotesFile, L"Q", L"Double", L"double"},
        {"single quotes", kQuotesFile, L"Q", L"Single", L"single"},
        {"quotes go after trimming", kQuotesFile, L"Q", L"Padded", L" a "},
        {"mismatched quotes stay", kQuotesFile, L"Q", L"Mixed", L"\"x'"},
        {"a leading quote alone stays", kQuotesFile, L"Q", L"LoneStart", L"\"abc"},
        {"a trailing quote alone stays", kQuotesFile, L"Q", L"LoneEnd", L"abc\""},
        {"a lone quote stays", kQuotesFile, L"Q", L"Lone", L"\""},
        {"inner quotes stay", kQuotesFile, L"Q", L"Inner", L"a \"b\" c"},
        {"only the outer pair goes", kQuotesFile, L"Q", L"Nested", L"\"x\""},
        {"an empty pair", kQuotesFile, L"Q", L"EmptyPair", L""},
        {"quoted value of exactly bufferChars-1", kQuotesFile, L"Q", L"Six", L"abcdef", kDefault, 7},
        {"quoted value cut", kQuotesFile, L"Q", L"Six", L"abcde", kDefault, 6},

        {"truncated to bufferChars-1", "[S]\r\nK=abcdef\r\n", L"S", L"K", L"abc", kDefault, 4},
        {"buffer of one", "[S]\r\nK=abcdef\r\n", L"S", L"K", L"", kDefault, 1},
        {"buffer of none", "[S]\r\nK=abcdef\r\n", L"S", L"K", L"", kDefault, 0},
        {"default loses trailing spaces", "[S]\r\n", L"S", L"K", L"dflt", L"dflt   "},
        {"default keeps leading spaces", "[S]\r\n", L"S", L"K", L"  dflt", L"  dflt"},
        {"default keeps a trailing tab", "[S]\r\n", L"S", L"K", L"dflt\t", L"dflt\t"},
        {"default truncated", "[S]\r\n", L"S", L"K", L"<REA", kDefault, 5},
        {"default trimmed before it is cut", "[S]\r\n", L"S", L"K", L"ab ", L"ab  cd", 4},
        {"empty file", "", L"S", L"K", kDefault},
        {"a NUL ends the value", "[S]\r\nK=ab\0cd\r\nL=2\r\n"s, L"S", L"K", L"ab"},
        {"and the line goes on after it", "[S]\r\nK=ab\0cd\r\nL=2\r\n"s, L"S", L"L", L"2"},

        {"LF line ends", "[S]\nA=1\nB=2\n[T]\nA=3", L"S", L"B", L"2"},
        {"CR line ends", "[S]\rA=1\rB=2\r[T]\rA=3", L"S", L"B", L"2"},
        {"CR line ends, next section", "[S]\rA=1\rB=2\r[T]\rA=3", L"T", L"A", L"3"},
        {"mixed line ends", "[S]\r\nA=1\nB=2\r[T]\n\r\n\rA=3", L"T", L"A", L"3"},

        {"1252: e acute and euro", "[S]\r\nK=Caf\xE9 \x80\r\n", L"S", L"K", L"Caf\u00E9 \u20AC"},
        {"1252: 0x80-0x9F", "[S]\r\nK=\x82\x83\x84\x85\x8A\x8C\x99\x9F\r\n", L"S", L"K",
         L"\u201A\u0192\u201E\u2026\u0160\u0152\u2122\u0178"},
        {"1252: undefined bytes are their own code points", "[S]\r\nK=<\x81\x8D\x8F\x90\x9D>\r\n", L"S", L"K",
         L"<\u0081\u008D\u008F\u0090\u009D>"},
        {"1252 section name, ASCII case folds",
         "[S\xE8"
         "ction]\r\nK=1\r\n",
         L"s\u00E8CTION", L"K", L"1"},
        {"1252 section name, non-ASCII case does not fold",
         "[S\xE8"
         "ction]\r\nK=1\r\n",
         L"S\u00C8ction", L"K", kDefault},
        {"UTF-8 without BOM is read as 1252", "[S]\r\nK=\xCE\xA9\r\n", L"S", L"K", L"\u00CE\u00A9"},
        {"UTF-8 BOM spoils a header on line 1", "\xEF\xBB\xBF[S]\r\nK=1\r\n[T]\r\nK=2\r\n", L"S", L"K", kDefault},
        {"UTF-8 BOM: later headers read", "\xEF\xBB\xBF[S]\r\nK=1\r\n[T]\r\nK=2\r\n", L"T", L"K", L"2"},
        {"UTF-16LE with BOM", "\xFF\xFE" + StringToUtf16LeBytes(L"[S\u00E8]\r\nK=\u03A9 \xD834\xDD1E\r\n"), L"S\u00E8",
         L"K", L"\u03A9 \xD834\xDD1E"},
        {"UTF-16LE without BOM finds nothing", StringToUtf16LeBytes(L"[S]\r\nK=1\r\n"), L"S", L"K", kDefault},
        {"UTF-16BE with BOM finds nothing", Utf16BeFileWithBom(L"[S]\r\nK=1\r\n"), L"S", L"K", kDefault},
    };
}

TEST(SimProfileReader, AnswersAsWindows) {
    for (const ReadCase& c : ReadCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadProfileString(c.file, c.section, c.key, c.defaultValue, c.bufferChars), c.expected);
    }
}

TEST(SimProfileReader, MissingFileGivesTheDefault) {
    struct DefaultCase {
        WString defaultValue;
        std::size_t bufferChars;
        WString expected;
    };
    const DefaultCase cases[] = {
        {kDefault, kBuffer, kDefault},
        {L"dflt   ", kBuffer, L"dflt"},
        {L"  dflt", kBuffer, L"  dflt"},
        {L"dflt\t", kBuffer, L"dflt\t"},
        {L"dflt", 4, L"dfl"},
        {L"dflt", 1, L""},
        {L"dflt", 0, L""},
        {L"", kBuffer, L""},
        {L"    ", kBuffer, L""},
    };
    for (const DefaultCase& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.defaultValue) + " / " + std::to_string(c.bufferChars));
        EXPECT_EQ(ProfileDefault(c.defaultValue, c.bufferChars), c.expected);
    }
}

TEST(SimProfileReader, CutsLongValuesTo499CharactersWithTheLaunchersBuffer) {
    for (std::size_t length : {499u, 500u, 600u}) {
        SCOPED_TRACE(length);
        const std::string value(length, 'x');
        EXPECT_EQ(ReadProfileString("[S]\r\nK=" + value + "\r\n", L"S", L"K", kDefault, kBuffer), WString(499, L'x'));
    }
}

// ---------------------------------------------------------------------------
// The corpus

const std::string kCorpusDir = ZQ_SOURCE_DIR "/tests/ini-corpus/";

std::optional<std::string> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<ini_corpus::CorpusRow> CorpusRows() {
    const auto tsv = ReadFileBytes(kCorpusDir + "expected.tsv");
    if (!tsv) return {};
    return ini_corpus::ParseCorpusRows(*tsv);
}

TEST(SimProfileReaderCorpus, HasRows) {
    const auto tsv = ReadFileBytes(kCorpusDir + "expected.tsv");
    ASSERT_TRUE(tsv) << kCorpusDir << "expected.tsv cannot be read";
    EXPECT_GT(ini_corpus::ParseCorpusRows(*tsv).size(), 100u);
}

class SimProfileReaderCorpusRow : public testing::TestWithParam<ini_corpus::CorpusRow> {};

TEST_P(SimProfileReaderCorpusRow, AnswersAsWindows) {
    const ini_corpus::CorpusRow& row = GetParam();
    SCOPED_TRACE(ini_corpus::DescribeRow(row));
    const auto bytes = ReadFileBytes(kCorpusDir + row.file);
    const WString answer = bytes ? ReadProfileString(*bytes, row.section, row.key, row.defaultValue, row.bufferChars)
                                 : ProfileDefault(row.defaultValue, row.bufferChars);
    EXPECT_EQ(answer, row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, SimProfileReaderCorpusRow, testing::ValuesIn(CorpusRows()),
                         [](const testing::TestParamInfo<ini_corpus::CorpusRow>& info) {
                             return ini_corpus::RowTestName(info.param);
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SimProfileReaderCorpusRow);

}  // namespace
}  // namespace zq::sim
