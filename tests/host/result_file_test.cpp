// The result file of a managed run: its JSON text (escaping of untrusted
// names), the switches that ask for it, how it is put in place, what it
// holds, and the exit code when it cannot be written.
#include <gtest/gtest.h>

#include <fstream>

#include "app/command_line.h"
#include "run/result_file.h"
#include "base/json_text.h"
#include "tests/support/result_file.h"
#include "tests/support/run_scenarios.h"

namespace zq {
namespace {

using nlohmann::json;
using test::Contains;
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
        {"plain", L"Office", "Office"},
        {"double quote and backslash", L"a\"b\\c", "a\\\"b\\\\c"},
        {"line breaks and tab", L"a\r\n\tb", "a\\r\\n\\tb"},
        {"other control characters", WString{L'a', 1, 0x1F, 0x7F, L'b'}, "a\\u0001\\u001f\\u007fb"},
        {"NUL", WString(L"a\0b", 3), "a\\u0000b"},
        {"Latin and Cyrillic", L"\u00e9\u0416", "\xC3\xA9\xD0\x96"},
        {"a character beyond U+FFFF from its surrogate pair", WString{0xD83D, 0xDDA8}, "\xF0\x9F\x96\xA8"},
        {"a high surrogate alone", WString{L'a', 0xD83D, L'b'}, "a" + bad + "b"},
        {"a low surrogate alone", WString{0xDDA8}, bad},
        {"a high surrogate at the end", WString{L'a', 0xD800}, "a" + bad},
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
        {"-quiet", true, false, std::nullopt},
        {"-QUIET -NoRestart", true, true, std::nullopt},
        {"-f a.inf -log 511", false, false, std::nullopt},
        {"/quiet /norestart", false, false, std::nullopt},
        {"-quietly -no-restart", false, false, std::nullopt},
        {"-result C:\\R\\r.json", false, false, L"c:\\r\\r.json"},
        {"-result \"C:\\My Results\\r-1.json\" -quiet", true, false, L"c:\\my results\\r-1.json"},
        {"-result", false, false, std::nullopt},
        {"-result \"\"", false, false, std::nullopt},
        {"-result a.json -result b.json", false, false, L"a.json"},
        {"-result -result b.json", false, false, L"b.json"},
        {"-norestart -quiet -result x -f y", true, true, L"x"},
        {"-quiet some words", true, false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argumentText);
        const ManagedSwitches found = FindManagedSwitches(SplitSwitches(Utf8ToUtf16(c.argumentText)));
        EXPECT_EQ(found.quiet, c.quiet);
        EXPECT_EQ(found.noRestart, c.noRestart);
        EXPECT_EQ(found.resultPath, c.resultPath);
        EXPECT_EQ(found.IsManaged(), c.quiet || c.noRestart || c.resultPath.has_value());
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
        {"a code that is no Windows Installer code", patched({{"exitCode", 1}})},
        {"a member missing", patched({{"printers", nullptr}})},
        {"an unknown member", patched({{"extra", 1}})},
        {"a printer outcome misspelt",
         patched(
             {{"printers", json::array({{{"name", "a"}, {"port", "b"}, {"driver", "c"}, {"outcome", "recreated"}}})}})},
        {"a time with a zone", patched({{"endTime", "2009-03-07T09:05:02Z"}})},
        {"a byte-order mark", "\xEF\xBB\xBF" + good.dump()},
        {"not UTF-8", notUtf8},
        {"the good file", good.dump()},
    };
    const std::filesystem::path file = machine->Dir() / "bad.json";
    for (const auto& [why, text] : cases) {
        SCOPED_TRACE(why);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        EXPECT_EQ(test::CheckAgainstResultSchema(file).status, text == good.dump() ? 0 : 1);
    }
}

json Program(const std::string& commandLine, int startError, json exitCode) {
    return {{"commandLine", "c:\\package\\setup\\" + commandLine},
            {"started", startError == 0},
            {"startError", startError},
            {"exitCode", exitCode}};
}

// Everything the file holds, for a run with programs and the printer update.
TEST(ResultFile, HoldsWhatTheRunDid) {
    std::unique_ptr<StandardMachine> machine = MakeScenario("printer-restored");
    machine->config()["environment"] = {{"TEMP", "C:\\Windows\\Temp"}};
    machine->MakeFolder("C:\\Windows\\Temp");
    machine->MakeFolder("C:\\Results");
    machine->Run("-quiet -norestart -result " + kResult);
    json result = ReadResultFile(*machine, kResult);
    ASSERT_FALSE(result.is_null());
    EXPECT_EQ(result["endTime"], "2009-03-07T09:05:14") << "3 s, 5 s and two printui runs of 2 s later";
    const auto printer = [](const char* name, const char* port, const char* outcome) {
        return json{{"name", name}, {"port", port}, {"driver", "ZQ Merle 5400 Series"}, {"outcome", outcome}};
    };
    result.erase("endTime");
    EXPECT_EQ(result,
              (json{{"formatVersion", 1},
                    {"exitCode", 1603},
                    {"outcome", "failed"},
                    {"restartNeeded", true},
                    {"restartStarted", false},
                    {"launcherVersion", "1.0.0.1"},
                    {"switches", {{"quiet", true}, {"noRestart", true}}},
                    {"settingsFile", "C:\\Package\\autorun.inf"},
                    {"logFile", "C:\\Windows\\Temp\\zqmerlesetup000.log"},
                    {"startTime", "2009-03-07T09:05:02"},
                    {"osEntry", "501"},
                    {"driver", {{"keyword", "ZQ Merle 5400"}, {"infFile", "C:\\Windows\\inf\\oem1.inf"}}},
                    // the printer update is no program
                    {"programs", {Program("zqprep.exe /q", 0, 0), Program("zqstage.exe", 0, 0)}},
                    {"printers",
                     {printer("Office", "IP_10.0.0.5", "re-created"), printer("Hall", "IP_10.0.0.6", "restored")}},
                    {"messages", json::array()}}));
}

// What the run did not reach is null or empty; a program that did not
// start has its error and no exit code.
TEST(ResultFile, WhatTheRunDidNotReach) {
    std::unique_ptr<StandardMachine> refused = MakeScenario("unsupported-windows");
    refused->MakeFolder("C:\\Results");
    refused->Run("-quiet -result " + kResult);
    json result = ReadResultFile(*refused, kResult);
    ASSERT_FALSE(result.is_null());
    EXPECT_EQ(result["osEntry"], nullptr);
    EXPECT_EQ(result["driver"], nullptr);
    EXPECT_EQ(result["programs"], json::array());
    EXPECT_EQ(result["restartNeeded"], false);

    std::unique_ptr<StandardMachine> missing = MakeScenario("program-missing");
    missing->MakeFolder("C:\\Results");
    missing->Run("-quiet -norestart -result " + kResult);
    result = ReadResultFile(*missing, kResult);
    ASSERT_FALSE(result.is_null());
    ASSERT_EQ(result["programs"].size(), 3u);
    EXPECT_EQ(result["programs"][2], Program("missing.exe", 2, nullptr));
}

// Printer names come from whoever set the printer up: each one ends up in
// the file as a valid string.
TEST(ResultFile, PrinterNamesOfAnyKind) {
    const std::string names[] = {"Front \"Desk\"", "Back\\Office", "Tab\there", "\xE6\x89\x93\xE5\x8D\xB0",
                                 "\xF0\x9F\x96\xA8 Printer"};
    std::unique_ptr<StandardMachine> machine = MakeScenario("printers-recreated");
    json printers = json::array();
    for (const std::string& name : names)
        printers.push_back(
            {{"name", name}, {"port", "IP_" + std::to_string(printers.size())}, {"driver", "ZQ Merle 5400 Series"}});
    machine->config()["printers"] = printers;
    machine->MakeFolder("C:\\Results");
    machine->Run("-quiet -norestart -result " + kResult);
    const json result = ReadResultFile(*machine, kResult);
    ASSERT_FALSE(result.is_null());
    EXPECT_EQ(test::Values(result["printers"].get<std::vector<json>>(), "name"),
              std::vector<std::string>(std::begin(names), std::end(names)));
    EXPECT_EQ(result["printers"][0]["outcome"], "skipped") << "a double quote in the name";
    EXPECT_EQ(result["exitCode"], 1603);
}

// When the file cannot be put in place the run says so in its log and ends
// with 1622 in place of a success code; a refusal or failure keeps its own
// code, which says more. No temporary file is left behind.
TEST(ResultFile, NotWrittenEndsWith1622UnlessTheRunFailed) {
    struct Case {
        const char* why;
        const char* scenario;
        std::string path;
        std::function<void(StandardMachine&)> setUp;
        int code;
    } cases[] = {
        {"a folder that does not exist", "finish-restarts", "C:\\Nowhere\\result.json", nullptr, 1622},
        {"a folder at the name", "finish-restarts", kResult, [](StandardMachine& m) { m.MakeFolder(kResult); }, 1622},
        {"the old file held open by another program", "finish-restarts", kResult,
         [](StandardMachine& m) {
             m.WriteFile(kResult, "old");
             m.config()["lockedFiles"] = json::array({kResult});
         },
         1622},
        {"a refusal", "unsupported-windows", "C:\\Nowhere\\result.json", nullptr, 1633},
        {"a second instance", "second-instance", "C:\\Nowhere\\result.json", nullptr, 1618},
        {"a failed program", "program-ends-with-5", "C:\\Nowhere\\result.json", nullptr, 1603},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::unique_ptr<StandardMachine> machine = MakeScenario(c.scenario);
        machine->MakeFolder("C:\\Results");
        if (c.setUp) c.setUp(*machine);
        machine->Run("-quiet -norestart -result " + c.path);
        std::string lowered = c.path;
        for (char& ch : lowered) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_TRUE(Contains(machine->LogMessages(), "## Result file not written : " + lowered));
        EXPECT_EQ(machine->Events("exit").at(0)["status"], c.code);
        EXPECT_EQ(machine->Events("exit").at(0)["outcome"] == "unreported", c.code == 1622);
        EXPECT_FALSE(machine->FileExists(c.path + ".0.tmp"));
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
    const json result = ReadResultFile(*machine, kResult);
    ASSERT_FALSE(result.is_null());
    EXPECT_EQ(result["exitCode"], 3010);
    EXPECT_EQ(machine->ReadFile(kResult + ".0.tmp"), "a leftover");
    EXPECT_FALSE(std::filesystem::exists(elsewhere)) << "nothing written through the link";
    EXPECT_EQ(test::Values(machine->Events("fileMoved"), "from"),
              std::vector<std::string>{"c:\\results\\result.json.2.tmp"});
    EXPECT_FALSE(machine->FileExists(kResult + ".2.tmp"));
}

}  // namespace
}  // namespace zq
