// zqmerlesetup-sim --check as build pipelines call it: exit statuses 0, 1
// and 2, the text and JSON reports, and the author's code page.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "tests/support/settings_file.h"
#include "tests/support/sim_program.h"
#include "tests/support/temporary_folder.h"

namespace zq::sim {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::ProgramResult;
using test::SettingsFile;

class CheckProgram : public testing::Test {
protected:
    void SetUp() override { fs::create_directories(scratch_); }
    // A package folder with the settings file and the one program it runs.
    std::string WritePackage(const SettingsFile& settings) {
        fs::create_directories(package_ / "setup");
        std::ofstream(package_ / "setup" / "zqprep.exe") << "placeholder";
        std::ofstream(package_ / "autorun.inf", std::ios::binary) << settings.Text();
        return (package_ / "autorun.inf").string();
    }
    ProgramResult Check(const std::vector<std::string>& arguments) { return test::RunSim(arguments, scratch_); }

    test::TemporaryFolder folder_;
    const fs::path scratch_ = folder_.Dir() / "scratch", package_ = folder_.Dir() / "package";
};

SettingsFile Running(const std::string& commandLine) { return SettingsFile::Basic().Set("Run", "1", commandLine); }

TEST_F(CheckProgram, ExitStatusSaysWhetherItFoundSomething) {
    const std::string codePages = "--code-page needs one of 1250, 1251, 1252, 1253, 1254, 1257 and 932";
    const struct {
        bool faulty;
        std::vector<std::string> arguments;  // FILE: the settings file; NONE: a missing file beside it
        int status;
        std::string err = "";  // a part of the error output
    } rows[] = {
        {false, {"--check", "FILE"}, 0},
        {false, {"--check", "FILE", "--format", "json"}, 0},
        {true, {"--check", "FILE"}, 1},
        {true, {"--check", "--format", "json", "FILE"}, 1},
        {false, {"--check", "NONE"}, 2, "cannot be read"},
        {false, {"--check"}, 2},
        {false, {"--check", "FILE", "--format", "xml"}, 2},
        {false, {"--check", "FILE", "--code-page", "65001"}, 2, codePages},
        {false, {"--check", "FILE", "--code-page", "437"}, 2, codePages},
        {false, {"--check", "FILE", "--code-page", "cp1251"}, 2, codePages},
        {false, {"--check", "FILE", "--code-page", ""}, 2, codePages},
        {false, {"--check", "FILE", "--code-page"}, 2},
    };
    for (const auto& row : rows) {
        const std::string file =
            WritePackage(Running("%sourcepath%setup\\zqprep.exe" + std::string(row.faulty ? " /q" : "")));
        std::vector<std::string> arguments;
        std::string trace;
        for (const std::string& argument : row.arguments) {
            arguments.push_back(argument == "FILE" ? file : argument == "NONE" ? file + ".none" : argument);
            trace += " " + argument;
        }
        SCOPED_TRACE(trace);
        const ProgramResult result = Check(arguments);
        EXPECT_EQ(result.status, row.status) << result.out << result.err;
        EXPECT_EQ(result.err.empty(), row.status != 2) << result.err;
        EXPECT_NE(result.err.find(row.err), std::string::npos) << result.err;
    }
}

// What is not a regular file is refused by name, without being opened:
// opening a FIFO would wait for a writer, /dev/zero would never end.
TEST_F(CheckProgram, WhatIsNotARegularFileIsRefusedWithoutBeingRead) {
    WritePackage(SettingsFile::Basic());
    ASSERT_EQ(::mkfifo((package_ / "fifo.inf").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", package_ / "zero.inf");
    const std::pair<fs::path, std::string> rows[] = {
        {package_ / "fifo.inf", "a FIFO"},
        {package_ / "zero.inf", "a device"},
        {"/dev/zero", "a device"},
        {"/dev/null", "a device"},
        {package_, "a folder"},
    };
    for (const auto& [file, kind] : rows) {
        for (const char* format : {"text", "json"}) {
            SCOPED_TRACE(file.string() + " " + format);
            const ProgramResult result = Check({"--check", file.string(), "--format", format});
            EXPECT_EQ(result.status, 2);
            EXPECT_EQ(result.err, "zqmerlesetup-sim: " + file.string() + ": the settings file cannot be read: " + kind +
                                      ", not a regular file\n");
            EXPECT_EQ(result.out, "");
        }
    }
}

// The findings in file order, each with its section, key and line, and a
// problem that quotes what the launcher will do.
TEST_F(CheckProgram, JsonReportReadsBack) {
    const std::string file = WritePackage(SettingsFile::Basic()
                                              .Set("OS_Support", "os_list", "501, 600")
                                              .Set("Run", "1", "rundll32 setupapi.dll,InstallHinfSection")
                                              .Set("Run", "2", "C:\\Program Files\\Zelt\\Setup\\zqsetup.exe /s")
                                              .Set("Run", "3", "%sourcepath%setup\\zqprep.exe /q"));
    const ProgramResult result = Check({"--check", file, "--format", "json"});
    ASSERT_EQ(result.status, 1) << result.err;
    const json report = json::parse(result.out);
    EXPECT_EQ(report["file"], file);
    const struct {
        const char *code, *section, *key;
        int line;
        const char* says;
    } expected[] = {
        {"os-entry-blank", "OS_Support", "os_list", 5, "\" 600\""},
        {"program-bare-name", "Run", "1", 24, "rundll32"},
        {"program-path-unquoted-blank", "Run", "2", 25, "C:\\Program.exe"},  // what Windows tries first
        {"sourcepath-arguments", "Run", "3", 26, "\"<package folder>\\setup\\zqprep.exe /q\""},
    };
    ASSERT_EQ(report["findings"].size(), std::size(expected)) << result.out;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const json& finding = report["findings"][i];
        SCOPED_TRACE(finding.dump());
        EXPECT_EQ(finding["code"], expected[i].code);
        EXPECT_EQ(finding["section"], expected[i].section);
        EXPECT_EQ(finding["key"], expected[i].key);
        EXPECT_EQ(finding["line"], expected[i].line);
        EXPECT_NE(finding["problem"].get<std::string>().find(expected[i].says), std::string::npos);
        EXPECT_FALSE(finding["advice"].get<std::string>().empty());
    }
}

// A host file name need not be UTF-8; the JSON report is, with U+FFFD for
// each byte that is not. The text report gives the name as it is.
TEST_F(CheckProgram, JsonReportOfAFileNameThatIsNotUtf8) {
    const fs::path file = package_ / "autorun-\xe9\xff.inf";
    fs::rename(WritePackage(Running("setup\\zqprep.exe")), file);
    const ProgramResult result = Check({"--check", file.string(), "--format", "json"});
    ASSERT_EQ(result.status, 0) << result.err;
    const json report = json::parse(result.out);
    EXPECT_EQ(report["file"], (package_ / "autorun-\xef\xbf\xbd\xef\xbf\xbd.inf").string());
    EXPECT_EQ(report["findings"], json::array());
    EXPECT_NE(Check({"--check", file.string()}).out.find(file.string()), std::string::npos);
}

// The package folder around the settings file is the one checked: the same
// file is clean beside its program and faulty without it.
TEST_F(CheckProgram, ProgramsAreLookedUpBesideTheSettingsFile) {
    const std::string file = WritePackage(Running("Setup\\ZQPREP.EXE"));
    EXPECT_EQ(Check({"--check", file}).status, 0);
    fs::remove(package_ / "setup" / "zqprep.exe");
    const ProgramResult result = Check({"--check", file});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("Setup\\ZQPREP.EXE"), std::string::npos) << result.out;
}

// Byte 0x98 is a tilde in the default code page 1252 and no character of 1251.
TEST_F(CheckProgram, TheCodePageOptionNamesTheAuthorsCodePage) {
    const std::string file = WritePackage(Running("setup\\zqprep.exe").Set("English", "2", "\xC4\x98"));
    const ProgramResult western = Check({"--check", file, "--format", "json"});
    EXPECT_EQ(western.status, 0) << western.out;
    const ProgramResult russian = Check({"--check", file, "--code-page", "1251", "--format", "json"});
    ASSERT_EQ(russian.status, 1) << russian.out << russian.err;
    const json findings = json::parse(russian.out)["findings"];
    ASSERT_EQ(findings.size(), 1u) << russian.out;
    EXPECT_EQ(findings[0]["code"], "not-in-code-page");
    EXPECT_EQ(findings[0]["line"], 15);
    const ProgramResult asText = Check({"--check", "--code-page", "1251", file});
    EXPECT_EQ(asText.status, 1);
    EXPECT_NE(asText.out.find("autorun.inf:15: "), std::string::npos) << asText.out;
}

TEST_F(CheckProgram, TheExamplePackageIsClean) {
    const ProgramResult result = Check({"--check", ZQ_SOURCE_DIR "/examples/package/autorun.inf"});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
}

}  // namespace
}  // namespace zq::sim
