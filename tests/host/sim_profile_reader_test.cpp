// The simulated GetPrivateProfileStringW on every row of the INI corpus
// (tests/ini-corpus), its scans of a settings file, and the ANSI code pages
// that a file without a byte-order mark is read in.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <tuple>

#include "base/text.h"
#include "platform/sim/ansi_code_page.h"
#include "platform/sim/profile_reader.h"
#include "tests/ini-corpus/corpus_rows.h"
#include "tests/support/scenario.h"
#include "tests/support/sim_program.h"

namespace zq::sim {
namespace {

const std::string kCorpusDir = ZQ_SOURCE_DIR "/tests/ini-corpus/";

std::vector<ini_corpus::CorpusRow> CorpusRows() {
    return ini_corpus::ParseCorpusRows(test::ReadText(kCorpusDir + "expected.tsv"));
}

class SimProfileReaderCorpusRow : public testing::TestWithParam<ini_corpus::CorpusRow> {};

TEST_P(SimProfileReaderCorpusRow, AnswersAsWindows) {
    const ini_corpus::CorpusRow& row = GetParam();
    const std::string file = kCorpusDir + row.file;
    const WString answer = std::filesystem::exists(file) ? ReadProfileString(test::ReadText(file), row.section, row.key,
                                                                             row.defaultValue, row.bufferChars)
                                                         : ProfileDefault(row.defaultValue, row.bufferChars);
    EXPECT_EQ(answer, row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, SimProfileReaderCorpusRow, testing::ValuesIn(CorpusRows()), ini_corpus::RowTestName);

// A file is scanned once for each content it has: many values cost one scan,
// and a change, however quick and whatever its size, is seen by the next read.
TEST(SimSettingsScan, OneScanPerContentOfAFile) {
    const struct {
        const char* what;
        std::optional<std::string> write;  // the file's new bytes, written from the host as another program would
        const char* file;                  // a: C:\Package\a.ini, b: b.ini, -: a.ini removed
        const wchar_t* key;
        const wchar_t* expected;
        std::uint64_t scansAfter;  // of all files, after the read
    } steps[] = {
        {"the first read scans the file", "[S]\r\nK=one\r\nL=ell\r\n", "a", L"K", L"one", 1},
        {"another key of the same file", {}, "a", L"L", L"ell", 1},
        {"other bytes of the same size, at once", "[S]\r\nK=two\r\nL=ell\r\n", "a", L"K", L"two", 2},
        {"the same bytes written again", "[S]\r\nK=two\r\nL=ell\r\n", "a", L"K", L"two", 2},
        {"a longer content", "[S]\r\nK=three\r\nL=ell\r\n", "a", L"K", L"three", 3},
        {"a second file has a scan of its own", "[S]\r\nK=bee\r\n", "b", L"K", L"bee", 4},
        {"the first file's scan is still kept", {}, "a", L"L", L"ell", 4},
        {"the file removed: the default, nothing scanned", {}, "-", L"K", L"dflt", 4},
        {"back with the same bytes: the kept scan serves", "[S]\r\nK=three\r\nL=ell\r\n", "a", L"K", L"three", 4},
        {"a shorter content", "[S]\r\nK=4\r\n", "a", L"L", L"dflt", 5},
    };
    test::TestMachine machine;
    machine.MakeFolder("C:\\Package");
    SimMachine& sim = machine.Load();
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        const std::string file = std::string("C:\\Package\\") + (*step.file == 'b' ? "b" : "a") + ".ini";
        if (step.write) machine.WriteFile(file, *step.write);
        if (*step.file == '-') std::filesystem::remove(machine.HostPath(file));
        EXPECT_EQ(sim.platform().profile.GetString(L"S", step.key, L"dflt", 500, Utf8ToUtf16(file)), step.expected);
        EXPECT_EQ(sim.SettingsFileScans(), step.scansAfter);
    }
}

TEST(AnsiCodePage, DecodesAsWindowsTablesDo) {
    // The code page, the bytes, their text and the first byte the page leaves undefined.
    const std::tuple<unsigned, std::string, std::wstring, std::optional<std::size_t>> rows[] = {
        // The five bytes 1252 leaves undefined: the control character of the same number.
        {1252, "a\x81\x8D\x8F\x90\x9D", L"a\u0081\u008D\u008F\u0090\u009D", 1},
        {1251, "\xDD\xF2\xEE\xF2 \xA8\xB8", L"\u042D\u0442\u043E\u0442 \u0401\u0451", std::nullopt},
        {1251, "\x80\x98", L"\u0402\u0098", 1},
        {1250, "\x8A\xB9\xE8", L"\u0160\u0105\u010D", std::nullopt},
        {1250, "\x81", L"\u0081", 0},
        {1253, "\xC1\xE2", L"\u0391\u03B2", std::nullopt},
        {1253, "x\xAA\xD2\xFF", L"x\uF8F9\uF8FA\uF8FB", 1},
        {1254, "\xD0\xFE\xDD", L"\u011E\u015F\u0130", std::nullopt},
        {1257, "\xC0\xE8", L"\u0104\u010D", std::nullopt},
        {1257, "\xA1\xA5", L"\uF8FC\uF8FD", 0},
        // 932: backslash stays a backslash (paths), half-width kana are one byte.
        {932, "C:\\\x82\xA0\x93\xFA\x96\x7B", L"C:\\\u3042\u65E5\u672C", std::nullopt},
        {932, "\xB1~", L"\uFF71~", std::nullopt},
        {932, "\x80\xA0\xFD", L"\u0080\uF8F0\uF8F1", 0},
        {932, "ab\x82", L"ab\u30FB", 2},
        {932, "\x82\x20z", L"\u30FB z", 0},
    };
    for (const auto& [codePage, bytes, text, firstUndefinedAt] : rows) {
        SCOPED_TRACE(std::to_string(codePage) + ": " + bytes);
        const AnsiDecoding decoded = DecodeAnsi(bytes, codePage);
        EXPECT_EQ(decoded.text, text);
        EXPECT_EQ(decoded.firstUndefinedAt, firstUndefinedAt);
    }
}

// Text 2 (the finish screen's headline) in Russian, saved in code page 1251.
const char kRussian2[] =
    "\xC4\xF0\xE0\xE9\xE2\xE5\xF0 \xEF\xF0\xE8\xED\xF2\xE5\xF0\xE0 ZQ Merle \xEE\xE1\xED\xEE\xE2\xEB\xB8\xED";

TEST(AnsiCodePage, ARussianPackageOnARussianAndOnAWesternWindows) {
    const struct {
        nlohmann::json ansiCodePage;  // null: not in machine.json
        std::string headline;         // as the person at the screen sees it (UTF-8)
        std::string logged;           // the log line's bytes after "Value="
    } rows[] = {
        // The log's one-byte encoding has no Cyrillic: each letter is '?'.
        {1251, "Драйвер принтера ZQ Merle обновлён", "??????? ???????? ZQ Merle ????????"},
        // Latin-1 characters are written as their own bytes: the file's bytes again.
        {nullptr, "Äðàéâåð ïðèíòåðà ZQ Merle îáíîâë¸í", kRussian2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ansiCodePage.dump());
        test::StandardMachine machine(
            test::SettingsFile::Basic().Set("LangMap", "0x0419", "Russian").Set("Russian", "2", kRussian2));
        machine.config()["userLanguage"] = 1049;
        if (!row.ansiCodePage.is_null()) machine.config()["ansiCodePage"] = row.ansiCodePage;
        machine.Run();
        EXPECT_EQ(machine.Events("finishScreenShown").at(0)["headline"], row.headline);
        EXPECT_TRUE(test::Contains(machine.LogMessages(), "Read Section:[Russian] Key=2 Value=" + row.logged));
    }
}

}  // namespace
}  // namespace zq::sim
