// The system's ANSI code page on the simulated machine: how a settings file
// without a byte-order mark reads on a Russian, a Japanese or a Western
// Windows, and what the launcher's texts and log then hold.
#include <gtest/gtest.h>

#include "base/text.h"
#include "platform/sim/ansi_code_page.h"
#include "platform/sim/machine_config.h"
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
    const std::string ansi = "[S]\r\nK=\xDD\xF2\xEE\xF2\r\n";
    EXPECT_EQ(sim::ReadProfileString(ansi, L"S", L"K", L"", 500, 1251), L"\u042D\u0442\u043E\u0442");
    EXPECT_EQ(sim::ReadProfileString(ansi, L"S", L"K", L"", 500), L"\u00DD\u00F2\u00EE\u00F2");
    const std::string utf16 = std::string("\xFF\xFE", 2) + StringToUtf16LeBytes(L"[S]\r\nK=\u00DD\r\n");
    EXPECT_EQ(sim::ReadProfileString(utf16, L"S", L"K", L"", 500, 1251), L"\u00DD");
}

// Texts 1, 2 and 8 in Russian, saved in code page 1251.
const char kRussian1[] =
    "\xDD\xF2\xEE\xF2 \xEF\xE0\xEA\xE5\xF2 \xED\xE5\xEB\xFC\xE7\xFF "
    "\xF3\xF1\xF2\xE0\xED\xEE\xE2\xE8\xF2\xFC \xED\xE0 \xFD\xF2\xF3 \xE2\xE5\xF0\xF1\xE8\xFE Windows.";
const char kRussian2[] =
    "\xC4\xF0\xE0\xE9\xE2\xE5\xF0 \xEF\xF0\xE8\xED\xF2\xE5\xF0\xE0 ZQ Merle \xEE\xE1\xED\xEE\xE2\xEB\xB8\xED";
const char kRussian8[] =
    "\xC4\xF0\xE0\xE9\xE2\xE5\xF0 ZQ Merle \xED\xE5 \xF3\xF1\xF2\xE0\xED\xEE\xE2\xEB\xE5\xED "
    "\xED\xE0 \xFD\xF2\xEE\xEC \xEA\xEE\xEC\xEF\xFC\xFE\xF2\xE5\xF0\xE5.";

SettingsFile RussianPackage() {
    SettingsFile file = SettingsFile::Basic().Set("LangMap", "0x0419", "Russian");
    for (int i = 1; i <= 8; ++i) file.Set("Russian", std::to_string(i), test::EnglishText(i));
    return file.Set("Russian", "1", kRussian1).Set("Russian", "2", kRussian2).Set("Russian", "8", kRussian8);
}

struct RussianRow {
    const char* machine;
    json ansiCodePage;                    // null: not in machine.json
    std::string headline, driverMessage;  // as the person at the screen sees them (UTF-8)
    std::string headlineLogged;           // the log line's bytes after "Value="
};

TEST(AnsiCodePage, ARussianPackageOnARussianAndOnAWesternWindows) {
    const RussianRow rows[] = {
        {"Russian Windows (1251)", 1251, "Драйвер принтера ZQ Merle обновлён",
         "Драйвер ZQ Merle не установлен на этом компьютере.",
         // The log's one-byte encoding has no Cyrillic: each letter is '?'.
         "??????? ???????? ZQ Merle ????????"},
        {"the default code page (1252)", nullptr, "Äðàéâåð ïðèíòåðà ZQ Merle îáíîâë¸í",
         "Äðàéâåð ZQ Merle íå óñòàíîâëåí íà ýòîì êîìïüþòåðå.",
         // Latin-1 characters are written as their own bytes: the file's bytes again.
         kRussian2},
    };
    for (const RussianRow& row : rows) {
        SCOPED_TRACE(row.machine);
        auto russian = [&](StandardMachine& machine) {
            machine.config()["userLanguage"] = 1049;
            if (!row.ansiCodePage.is_null()) machine.config()["ansiCodePage"] = row.ansiCodePage;
        };
        StandardMachine installed(RussianPackage());
        russian(installed);
        installed.Run();
        auto finish = installed.Events("finishScreenShown");
        ASSERT_EQ(finish.size(), 1u);
        EXPECT_EQ(finish[0]["headline"], row.headline);
        EXPECT_TRUE(
            test::Contains(installed.LogMessages(), "Read Section:[Russian] Key=2 Value=" + row.headlineLogged));

        StandardMachine noDriver(RussianPackage(), false);
        russian(noDriver);
        noDriver.Run();
        auto boxes = noDriver.Events("messageBox");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0]["text"], row.driverMessage);
    }
}

TEST(AnsiCodePage, MachineJsonKey) {
    EXPECT_EQ(sim::ParseMachineConfig(json::object(), "machine.json").ansiCodePage, 1252u);
    EXPECT_EQ(sim::ParseMachineConfig({{"ansiCodePage", 932}}, "machine.json").ansiCodePage, 932u);
    EXPECT_EQ(
        json(sim::MachineConfigToJson(sim::ParseMachineConfig({{"ansiCodePage", 1251}}, "m.json")))["ansiCodePage"],
        1251);
    for (const json& wrong : {json(65001), json(437), json("1251"), json(-1)}) {
        SCOPED_TRACE(wrong.dump());
        EXPECT_THROW(sim::ParseMachineConfig({{"ansiCodePage", wrong}}, "machine.json"), sim::MachineError);
    }
}

}  // namespace
}  // namespace zq
