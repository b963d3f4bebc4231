// The result file of a managed run: its JSON text (escaping of untrusted
// names), the switches that ask for it, its schema, and how it is put in
// place. (What it holds: managed_run_test.cpp.)
#include <gtest/gtest.h>

#include <fstream>

#include "app/command_line.h"
#include "base/json_text.h"
#include "tests/support/result_file.h"
#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

using nlohmann::json;
using test::MakeScenario;
using test::ReadResultFile;
using test::StandardMachine;

const std::string kResult = "C:\\Results\\result.json";

TEST(ResultFileJson, EscapesWhateverANameHolds) {
    const std::string bad = "\xEF\xBF\xBD";  // U+FFFD for a lone surrogate
    struct Case {
        const char* why;
        WString text;
        std::string expected;  // without the quotes
    } cases[] = {
        {"double quote and backslash", L"a\"b\\c", "a\\\"b\\\\c"},
        {"other control characters", WString{L'a', 1, 0x1F, 0x7F, L'b'}, "a\\u0001\\u001f\\u007fb"},
        {"NUL", WString(L"a\0b", 3), "a\\u0000b"},
        {"a character beyond U+FFFF from its surrogate pair", WString{0xD83D, 0xDDA8}, "\xF0\x9F\x96\xA8"},
        {"a high surrogate alone", WString{L'a', 0xD83D, L'b'}, "a" + bad + "b"},
        {"two high surrogates", WString{0xD800, 0xD800, 0xDC00}, bad + "\xF0\x90\x80\x80"},
        {"U+2028 is valid JSON text", L"\u2028", "\xE2\x80\xA8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string text = JsonString(c.text);
        EXPECT_EQ(text, "\"" + c.expected + "\"");
        EXPECT_NO_THROW((void)json::parse(text).get<std::string>()) << "a strict parser reads one string";
    }
}

TEST(ManagedSwitches, FoundAsTheOtherSwitchesAre) {
    struct Case {
        const char* argumentText;
        bool quiet, noRestart;
        std::optional<std::wstring> resultPath;
    } cases[] = {
        {"", false, false, std::nullopt},
        {"-QUIET -NoRestart", true, true, std::nullopt},
        {"-quietly -no-restart", false, false, std::nullopt},
        {"-result \"C:\\My Results\\r-1.json\" -quiet", true, false, L"c:\\my results\\r-1.json"},
        {"-result", false, false, std::nullopt},
        {"-result a.json -result b.json", false, false, L"a.json"},
        {"-result -result b.json", false, false, L"b.json"},
        {"-quiet some words", true, false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argumentText);
        const ManagedSwitches found = FindManagedSwitches(SplitSwitches(Utf8ToUtf16(c.argumentText)));
        EXPECT_EQ(found.quiet, c.quiet);
        EXPECT_EQ(found.noRestart, c.noRestart);
        EXPECT_EQ(found.resultPath, c.resultPath);
    }
}

// The schema check itself finds faults: a test that reads a result file
// could not pass on a wrong one.
TEST(ResultFileSchema, RefusesWhatItMust) {
    std::unique_ptr<StandardMachine> machine = MakeScenario("finish-restarts");
    machine->MakeFolder("C:\\Results");
    machine->Run("-quiet -norestart -result " + kResult);
    const json good = ReadResultFile(*machine, kResult);
    ASSERT_FALSE(good.is_null());
    const auto patched = [&](const json& patch) {
        json j = good;
        j.merge_patch(patch);
        return j.dump();
    };
    std::string notUtf8 = patched({{"settingsFile", "X"}});
    notUtf8[notUtf8.find("\"X\"") + 1] = '\xE9';
    const std::pair<const char*, std::string> cases[] = {
        {"an unknown outcome", patched({{"outcome", "fine"}})},
        {"a member missing", patched({{"printers", nullptr}})},
        {"an unknown member", patched({{"extra", 1}})},
        {"a printer outcome misspelt",
         patched(
             {{"printers", json::array({{{"name", "a"}, {"port", "b"}, {"driver", "c"}, {"outcome", "recreated"}}})}})},
        {"a byte-order mark", "\xEF\xBB\xBF" + good.dump()},
        {"not UTF-8", notUtf8},
        {"the good file", good.dump()},
    };
    const std::filesystem::path file = machine->Dir() / "bad.json";
    for (const auto& [why, text] : cases) {
        SCOPED_TRACE(why);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        EXPECT_EQ(test::CheckAgainstSchema(test::kResultSchema, {file}).status, text == good.dump() ? 0 : 1);
    }
}

// The file replaces an older one whole; a temporary name that is taken (by
// a leftover or by a link someone planted) is passed over and left alone.
TEST(ResultFile, PutInPlaceBesideItsName) {
    std::unique_ptr<StandardMachine> machine = MakeScenario("finish-restarts");
    machine->WriteFile(kResult, "an older result");
    machine->WriteFile(kResult + ".0.tmp", "a leftover");
    const std::filesystem::path elsewhere = machine->Dir() / "outside.txt";
    machine->PlantHostLink(kResult + ".1.tmp", elsewhere);
    machine->Run("-quiet -norestart -result " + kResult);
    ReadResultFile(*machine, kResult);  // whole and valid
    EXPECT_EQ(machine->ReadFile(kResult + ".0.tmp"), "a leftover");
    EXPECT_FALSE(std::filesystem::exists(elsewhere)) << "nothing written through the link";
    EXPECT_EQ(test::Values(machine->Events("fileMoved"), "from"),
              std::vector<std::string>{"c:\\results\\result.json.2.tmp"});
}

}  // namespace
}  // namespace zq
