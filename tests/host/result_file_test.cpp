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
using test::ReadResultFile;
using test::RunScenarios;
using test::StandardMachine;

const char kResult[] = "C:\\Results\\result.json";

std::unique_ptr<StandardMachine> Scenario(const std::string& name) {
    for (const test::RunScenario& scenario : RunScenarios())
        if (scenario.name == name) return scenario.make();
    throw std::invalid_argument(name + ": no such scenario");
}

TEST(ResultFileJson, EscapesWhateverANameHolds) {
    struct Case {
        const char* why;
        WString text;
        std::string expected;
    } cases[] = {
        {"plain", L"Office", "\"Office\""},
        {"double quote and backslash", L"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"line breaks and tab", L"a\r\n\tb", "\"a\\r\\n\\tb\""},
        {"other control characters", WString(L"a") + wchar_t(1) + wchar_t(0x1F) + wchar_t(0x7F) + L"b",
         "\"a\\u0001\\u001f\\u007fb\""},
        {"NUL", WString(L"a") + wchar_t(0) + L"b", "\"a\\u0000b\""},
        {"Latin and Cyrillic", L"\u00e9\u0416", "\"\xC3\xA9\xD0\x96\""},
        {"a character beyond U+FFFF from its surrogate pair", WString{wchar_t(0xD83D), wchar_t(0xDDA8)},
         "\"\xF0\x9F\x96\xA8\""},
        {"a high surrogate alone", WString{L'a', wchar_t(0xD83D), L'b'},
         "\"a\xEF\xBF\xBD"
         "b\""},
        {"a low surrogate alone", WString{wchar_t(0xDDA8)}, "\"\xEF\xBF\xBD\""},
        {"a high surrogate at the end", WString{L'a', wchar_t(0xD800)}, "\"a\xEF\xBF\xBD\""},
        {"two high surrogates", WString{wchar_t(0xD800), wchar_t(0xD800), wchar_t(0xDC00)},
         "\"\xEF\xBF\xBD\xF0\x90\x80\x80\""},
        {"U+2028 is valid JSON text", L"\u2028", "\"\xE2\x80\xA8\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string text = JsonString(c.text);
        EXPECT_EQ(text, c.expected);
        // A strict parser reads it back as one string.
        EXPECT_NO_THROW((void)json::parse(text).get<std::string>());
    }
}

TEST(ResultFileJson, WriterNestsAndSeparates) {
    JsonWriter writer;
    writer.BeginObject();
    writer.Key("a").Number(-1);
    writer.Key("b").BeginArray().String(L"x").Null().Bool(true).EndArray();
    writer.Key("c").BeginObject().EndObject();
    writer.Key("d").BeginArray().EndArray();
    writer.Key("e").OptionalString(std::nullopt).Key("f").OptionalNumber(4294967295);
    writer.EndObject();
    EXPECT_EQ(json::parse(writer.Text()),
              json::parse(R"({"a": -1, "b": ["x", null, true], "c": {}, "d": [], "e": null, "f": 4294967295})"));
}

TEST(ResultFileJson, LocalTimeInIsoForm) {
    EXPECT_EQ(IsoLocalTime(LocalTime{2009, 3, 7, 9, 5, 2}), L"2009-03-07T09:05:02");
    EXPECT_EQ(IsoLocalTime(LocalTime{2024, 12, 31, 23, 59, 59}), L"2024-12-31T23:59:59");
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
    std::unique_ptr<StandardMachine> machine = Scenario("finish-restarts");
    machine->MakeFolder("C:\\Results");
    machine->Run(std::string("-quiet -norestart -result ") + kResult);
    const json good = ReadResultFile(*machine, kResult);
    ASSERT_FALSE(good.is_null());

    struct Case {
        const char* why;
        std::string text;
    } cases[] = {
        {"an unknown outcome",
         [&] {
             json j = good;
             j["outcome"] = "fine";
             return j.dump();
         }()},
        {"a code that is no Windows Installer code",
         [&] {
             json j = good;
             j["exitCode"] = 1;
             return j.dump();
         }()},
        {"a member missing",
         [&] {
             json j = good;
             j.erase("printers");
             return j.dump();
         }()},
        {"an unknown member",
         [&] {
             json j = good;
             j["extra"] = 1;
             return j.dump();
         }()},
        {"a printer outcome misspelt",
         [&] {
             json j = good;
             j["printers"] = json::array({{{"name", "a"}, {"port", "b"}, {"driver", "c"}, {"outcome", "recreated"}}});
             return j.dump();
         }()},
        {"a time with a zone",
         [&] {
             json j = good;
             j["endTime"] = "2009-03-07T09:05:02Z";
             return j.dump();
         }()},
        {"a byte-order mark", "\xEF\xBB\xBF" + good.dump()},
        {"not UTF-8",
         [&] {
             json j = good;
             j["settingsFile"] = "X";
             std::string text = j.dump();
             text[text.find("\"X\"") + 1] = '\xE9';
             return text;
         }()},
    };
    const std::filesystem::path file = machine->Dir() / "bad.json";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.text;
        EXPECT_EQ(test::CheckAgainstResultSchema(file).status, 1);
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << good.dump();
    EXPECT_EQ(test::CheckAgainstResultSchema(file).status, 0);
}

// Everything the file holds, for a run with programs and the printer update.
TEST(ResultFile, HoldsWhatTheRunDid) {
    std::unique_ptr<StandardMachine> machine = Scenario("printer-restored");
    machine->config()["environment"] = {{"TEMP", "C:\\Windows\\Temp"}};
    machine->MakeFolder("C:\\Windows\\Temp");
    machine->MakeFolder("C:\\Results");
    machine->Run(std::string("-quiet -norestart -result ") + kResult);
    const json result = ReadResultFile(*machine, kResult);
    ASSERT_FALSE(result.is_null());
    EXPECT_EQ(result["exitCode"], 1603);
    EXPECT_EQ(result["outcome"], "failed");
    EXPECT_EQ(result["restartNeeded"], true);
    EXPECT_EQ(result["restartStarted"], false);
    EXPECT_EQ(result["launcherVersion"], "1.0.0.1");
    EXPECT_EQ(result["switches"], (json{{"quiet", true}, {"noRestart", true}}));
    EXPECT_EQ(result["settingsFile"], "C:\\Package\\autorun.inf");
    EXPECT_EQ(result["logFile"], "C:\\Windows\\Temp\\zqmerlesetup000.log");
    EXPECT_EQ(result["startTime"], "2009-03-07T09:05:02");
    EXPECT_EQ(result["endTime"], "2009-03-07T09:05:14") << "3 s, 5 s and two printui runs of 2 s later";
    EXPECT_EQ(result["osEntry"], "501");
    EXPECT_EQ(result["driver"], (json{{"keyword", "ZQ Merle 5400"}, {"infFile", "C:\\Windows\\inf\\oem1.inf"}}));
    EXPECT_EQ(result["programs"], json::array({{{"commandLine", "c:\\package\\setup\\zqprep.exe /q"},
                                                {"started", true},
                                                {"startError", 0},
                                                {"exitCode", 0}},
                                               {{"commandLine", "c:\\package\\setup\\zqstage.exe"},
                                                {"started", true},
                                                {"startError", 0},
                                                {"exitCode", 0}}}))
        << "the printer update is no program";
    EXPECT_EQ(result["printers"], json::array({{{"name", "Office"},
                                                {"port", "IP_10.0.0.5"},
                                                {"driver", "ZQ Merle 5400 Series"},
                                                {"outcome", "re-created"}},
                                               {{"name", "Hall"},
                                                {"port", "IP_10.0.0.6"},
                                                {"driver", "ZQ Merle 5400 Series"},
                                                {"outcome", "restored"}}}));
    EXPECT_EQ(result["messages"], json::array());
}

// What the run did not reach is null or empty; a program that did not
// start has its error and no exit code.
TEST(ResultFile, WhatTheRunDidNotReach) {
    std::unique_ptr<StandardMachine> refused = Scenario("unsupported-windows");
    refused->MakeFolder("C:\\Results");
    refused->Run(std::string("-quiet -result ") + kResult);
    json result = ReadResultFile(*refused, kResult);
    ASSERT_FALSE(result.is_null());
    EXPECT_EQ(result["osEntry"], nullptr);
    EXPECT_EQ(result["driver"], nullptr);
    EXPECT_EQ(result["programs"], json::array());
    EXPECT_EQ(result["restartNeeded"], false);

    std::unique_ptr<StandardMachine> missing = Scenario("program-missing");
    missing->MakeFolder("C:\\Results");
    missing->Run(std::string("-quiet -norestart -result ") + kResult);
    result = ReadResultFile(*missing, kResult);
    ASSERT_FALSE(result.is_null());
    ASSERT_EQ(result["programs"].size(), 3u);
    EXPECT_EQ(result["programs"][2], (json{{"commandLine", "c:\\package\\setup\\missing.exe"},
                                           {"started", false},
                                           {"startError", 2},
                                           {"exitCode", nullptr}}));
}

// Printer names come from whoever set the printer up: each one ends up in
// the file as a valid string.
TEST(ResultFile, PrinterNamesOfAnyKind) {
    const std::string names[] = {"Front \"Desk\"", "Back\\Office", "Tab\there", "\xE6\x89\x93\xE5\x8D\xB0",
                                 "\xF0\x9F\x96\xA8 Printer"};
    std::unique_ptr<StandardMachine> machine = Scenario("printers-recreated");
    json printers = json::array();
    for (const std::string& name : names)
        printers.push_back(
            {{"name", name}, {"port", "IP_" + std::to_string(printers.size())}, {"driver", "ZQ Merle 5400 Series"}});
    machine->config()["printers"] = printers;
    machine->MakeFolder("C:\\Results");
    machine->Run(std::string("-quiet -norestart -result ") + kResult);
    const json result = ReadResultFile(*machine, kResult);
    ASSERT_FALSE(result.is_null());
    ASSERT_EQ(result["printers"].size(), std::size(names));
    for (std::size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(result["printers"][i]["name"], names[i]);
    EXPECT_EQ(result["printers"][0]["outcome"], "skipped") << "a double quote in the name";
    EXPECT_EQ(result["exitCode"], 1603);
}

struct NotWrittenCase {
    const char* why;
    std::string path;
    std::function<void(StandardMachine&)> setUp;
};

// When the file cannot be put in place the run says so in its log and ends
// with 1622 in place of a success code; no temporary file is left behind.
TEST(ResultFile, NotWrittenEndsWith1622) {
    const NotWrittenCase cases[] = {
        {"a folder that does not exist", "C:\\Nowhere\\result.json", [](StandardMachine&) {}},
        {"a folder at the name", "C:\\Results\\result.json",
         [](StandardMachine& machine) { machine.MakeFolder("C:\\Results\\result.json"); }},
        {"the old file held open by another program", "C:\\Results\\result.json",
         [](StandardMachine& machine) {
             machine.WriteFile("C:\\Results\\result.json", "old");
             machine.config()["lockedFiles"] = json::array({"C:\\Results\\result.json"});
         }},
    };
    for (const NotWrittenCase& c : cases) {
        SCOPED_TRACE(c.why);
        std::unique_ptr<StandardMachine> machine = Scenario("finish-restarts");
        machine->MakeFolder("C:\\Results");
        c.setUp(*machine);
        machine->Run("-quiet -norestart -result " + c.path);
        std::string lowered = c.path;
        for (char& ch : lowered) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_TRUE(Contains(machine->LogMessages(), "## Result file not written : " + lowered));
        EXPECT_EQ(machine->Events("exit").at(0)["status"], 1622);
        EXPECT_EQ(machine->Events("exit").at(0)["outcome"], "unreported");
        EXPECT_FALSE(machine->FileExists(c.path + ".0.tmp"));
    }
}

// A refusal keeps its own code: it says more than the missing file.
TEST(ResultFile, NotWrittenKeepsAFailureCode) {
    for (const auto& [scenario, code] : {std::pair{"unsupported-windows", 1633}, std::pair{"second-instance", 1618},
                                         std::pair{"program-ends-with-5", 1603}}) {
        SCOPED_TRACE(scenario);
        std::unique_ptr<StandardMachine> machine = Scenario(scenario);
        machine->Run("-quiet -norestart -result C:\\Nowhere\\result.json");
        EXPECT_TRUE(Contains(machine->LogMessages(), "## Result file not written : c:\\nowhere\\result.json"));
        EXPECT_EQ(machine->Events("exit").at(0)["status"], code);
    }
}

// The file replaces an older one whole; a temporary name that is taken (by
// a leftover or by a link someone planted) is passed over and left alone.
TEST(ResultFile, PutInPlaceBesideItsName) {
    std::unique_ptr<StandardMachine> machine = Scenario("finish-restarts");
    machine->WriteFile("C:\\Results\\result.json", "an older result");
    machine->WriteFile("C:\\Results\\result.json.0.tmp", "a leftover");
    const std::filesystem::path elsewhere = machine->Dir() / "outside.txt";
    machine->PlantHostLink("C:\\Results\\result.json.1.tmp", elsewhere);
    machine->Run(std::string("-quiet -norestart -result ") + kResult);
    const json result = ReadResultFile(*machine, kResult);
    ASSERT_FALSE(result.is_null());
    EXPECT_EQ(result["exitCode"], 3010);
    EXPECT_EQ(machine->ReadFile("C:\\Results\\result.json.0.tmp"), "a leftover");
    EXPECT_FALSE(std::filesystem::exists(elsewhere)) << "nothing written through the link";
    const std::vector<json> moves = machine->Events("fileMoved");
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0]["from"], "c:\\results\\result.json.2.tmp");
    EXPECT_FALSE(machine->FileExists("C:\\Results\\result.json.2.tmp"));
}

}  // namespace
}  // namespace zq
