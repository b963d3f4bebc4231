// The system's ANSI code page on the simulated machine: how a settings file
// without a byte-order mark reads on a Russian, a Japanese or a Western
// Windows, and what the launcher's texts and log then hold.
#include <gtest/gtest.h>

#include "base/text.h"
#include "platform/sim/ansi_code_page.h"
#include "platform/sim/profile_reader.h"
#include "tests/support/scenario.h"

namespace zq {
namespace {

using nlohmann::json;
using sim::DecodeAnsi;
using test::SettingsFile;
using test::StandardMachine;

TEST(AnsiCodePage, DecodesAsWindowsTablesDo) {
    const struct {
        unsigned codePage;
        std::string bytes;
        std::wstring text;
        std::optional<std::size_t> firstUndefinedAt;
    } rows[] = {
        {1252, "Caf\xE9 \x80", L"Caf\u00E9 \u20AC", std::nullopt},
        {1252, "\x9C\x9F", L"\u0153\u0178", std::nullopt},
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
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.codePage) + ": " + row.bytes);
        const sim::AnsiDecoding decoded = DecodeAnsi(row.bytes, row.codePage);
        EXPECT_EQ(decoded.text, row.text);
        EXPECT_EQ(decoded.firstUndefinedAt, row.firstUndefinedAt);
    }
}

TEST(AnsiCodePage, TheReaderUsesItOnlyWithoutAByteOrderMark) {
    EXPECT_EQ(sim::ReadProfileString("[S]\r\nK=\xDD\xF2\r\n", L"S", L"K", L"", 500, 1251), L"\u042D\u0442");
    const std::string utf16 = std::string("\xFF\xFE", 2) + StringToUtf16LeBytes(L"[S]\r\nK=\u00DD\r\n");
    EXPECT_EQ(sim::ReadProfileString(utf16, L"S", L"K", L"", 500, 1251), L"\u00DD");
}

// Text 2 (the finish screen's headline) in Russian, saved in code page 1251.
const char kRussian2[] =
    "\xC4\xF0\xE0\xE9\xE2\xE5\xF0 \xEF\xF0\xE8\xED\xF2\xE5\xF0\xE0 ZQ Merle \xEE\xE1\xED\xEE\xE2\xEB\xB8\xED";

SettingsFile RussianPackage() {
    SettingsFile file = SettingsFile::Basic().Set("LangMap", "0x0419", "Russian");
    for (int i = 1; i <= 8; ++i) file.Set("Russian", std::to_string(i), test::EnglishText(i));
    return file.Set("Russian", "2", kRussian2);
}

TEST(AnsiCodePage, ARussianPackageOnARussianAndOnAWesternWindows) {
    const struct {
        json ansiCodePage;     // null: not in machine.json
        std::string headline;  // as the person at the screen sees it (UTF-8)
        std::string logged;    // the log line's bytes after "Value="
    } rows[] = {
        // The log's one-byte encoding has no Cyrillic: each letter is '?'.
        {1251, "Драйвер принтера ZQ Merle обновлён", "??????? ???????? ZQ Merle ????????"},
        // Latin-1 characters are written as their own bytes: the file's bytes again.
        {nullptr, "Äðàéâåð ïðèíòåðà ZQ Merle îáíîâë¸í", kRussian2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ansiCodePage.dump());
        StandardMachine machine(RussianPackage());
        machine.config()["userLanguage"] = 1049;
        if (!row.ansiCodePage.is_null()) machine.config()["ansiCodePage"] = row.ansiCodePage;
        machine.Run();
        EXPECT_EQ(machine.Events("finishScreenShown").at(0)["headline"], row.headline);
        EXPECT_TRUE(test::Contains(machine.LogMessages(), "Read Section:[Russian] Key=2 Value=" + row.logged));
    }
}

}  // namespace
}  // namespace zq
