// zqmerlesetup-sim --check as build pipelines call it: exit statuses 0, 1
// and 2, and the JSON report read back.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/support/settings_file.h"
#include "tests/support/sim_program.h"
#include "tests/support/temporary_folder.h"

namespace zq::sim {
namespace {

namespace fs = std::filesystem;

using test::ProgramResult;
using test::ReadText;
using test::RunSim;

class CheckProgram : public testing::Test {
protected:
    void SetUp() override {
        scratch_ = folder_.Dir() / "scratch";
        fs::create_directories(scratch_);
    }
    // A package folder with the settings file and the one program it runs.
    fs::path WritePackage(const std::string& settings) {
        const fs::path package = folder_.Dir() / "package";
        fs::create_directories(package / "setup");
        std::ofstream(package / "setup" / "zqprep.exe") << "placeholder";
        std::ofstream(package / "autorun.inf", std::ios::binary) << settings;
        return package / "autorun.inf";
    }
    test::TemporaryFolder folder_;
    fs::path scratch_;
};

TEST_F(CheckProgram, ExitStatusSaysWhetherItFoundSomething) {
    const std::string clean = test::SettingsFile::Basic().Set("Run", "1", "%sourcepath%setup\\zqprep.exe").Text();
    const std::string faulty = test::SettingsFile::Basic().Set("Run", "1", "%sourcepath%setup\\zqprep.exe /q").Text();
    struct Row {
        const char* name;
        std::vector<std::string> arguments;  // "FILE" stands for the written settings file
        int status;
    };
    const std::vector<std::pair<std::string, Row>> rows = {
        {clean, {"clean", {"--check", "FILE"}, 0}},
        {clean, {"clean, JSON", {"--check", "FILE", "--format", "json"}, 0}},
        {faulty, {"faulty", {"--check", "FILE"}, 1}},
        {faulty, {"faulty, JSON first", {"--check", "--format", "json", "FILE"}, 1}},
        {clean, {"missing file", {"--check", "no-such.inf"}, 2}},
        {clean, {"a folder", {"--check", "FOLDER"}, 2}},
        {clean, {"no file named", {"--check"}, 2}},
        {clean, {"unknown format", {"--check", "FILE", "--format", "xml"}, 2}},
    };
    for (const auto& [settings, row] : rows) {
        SCOPED_TRACE(row.name);
        const fs::path file = WritePackage(settings);
        std::vector<std::string> arguments;
        for (const std::string& argument : row.arguments) {
            arguments.push_back(argument == "FILE"          ? file.string()
                                : argument == "FOLDER"      ? file.parent_path().string()
                                : argument == "no-such.inf" ? (file.parent_path() / argument).string()
                                                            : argument);
        }
        const ProgramResult result = RunSim(arguments, scratch_);
        EXPECT_EQ(result.status, row.status) << result.out << result.err;
        if (row.status == 2) {
            EXPECT_FALSE(result.err.empty());
        }
    }
}

// What is not a regular file is refused by name, without being opened:
// opening a FIFO would wait for a writer, /dev/zero would never end.
TEST_F(CheckProgram, WhatIsNotARegularFileIsRefusedWithoutBeingRead) {
    const fs::path package = WritePackage(test::SettingsFile::Basic().Text()).parent_path();
    const fs::path fifo = package / "fifo.inf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path zeroLink = package / "zero.inf";
    fs::create_symlink("/dev/zero", zeroLink);
    struct Row {
        const char* name;
        fs::path file;
        std::string kind;
    } rows[] = {
        {"a FIFO", fifo, "a FIFO, not a regular file"},
        {"a link to /dev/zero", zeroLink, "a device, not a regular file"},
        {"/dev/zero", "/dev/zero", "a device, not a regular file"},
        {"/dev/null", "/dev/null", "a device, not a regular file"},
        {"a folder", package, "a folder, not a regular file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const char* format : {"text", "json"}) {
            const ProgramResult result = RunSim({"--check", row.file.string(), "--format", format}, scratch_);
            EXPECT_EQ(result.status, 2);
            EXPECT_EQ(result.err, "zqmerlesetup-sim: " + row.file.string() +
                                      ": the settings file cannot be read: " + row.kind + "\n");
            EXPECT_EQ(result.out, "");
        }
    }
}

// A host file name need not be UTF-8; the JSON report is, with U+FFFD for
// each byte that is not.
TEST_F(CheckProgram, JsonReportOfAFileNameThatIsNotUtf8) {
    const fs::path written = WritePackage(test::SettingsFile::Basic().Set("Run", "1", "setup\\zqprep.exe").Text());
    const fs::path file = written.parent_path() / "autorun-\xe9\xff.inf";
    fs::rename(written, file);
    const ProgramResult result = RunSim({"--check", file.string(), "--format", "json"}, scratch_);
    ASSERT_EQ(result.status, 0) << result.err;
    const nlohmann::json report = nlohmann::json::parse(result.out);
    const std::string name = report["file"];
    EXPECT_EQ(name, (written.parent_path() / "autorun-\xef\xbf\xbd\xef\xbf\xbd.inf").string());
    EXPECT_EQ(report["findings"], nlohmann::json::array());
    // The text report gives the name as it is.
    EXPECT_NE(RunSim({"--check", file.string()}, scratch_).out.find(file.string()), std::string::npos);
}

TEST_F(CheckProgram, JsonReportReadsBack) {
    const std::string settings = test::SettingsFile::Basic()
                                     .Set("OS_Support", "os_list", "501, 600")
                                     .Set("Run", "1", "%sourcepath%setup\\zqprep.exe /q")
                                     .Text();
    const fs::path file = WritePackage(settings);
    const ProgramResult result = RunSim({"--check", file.string(), "--format", "json"}, scratch_);
    ASSERT_EQ(result.status, 1) << result.err;
    const nlohmann::json report = nlohmann::json::parse(result.out);
    ASSERT_TRUE(report["findings"].is_array());
    ASSERT_EQ(report["findings"].size(), 2u) << result.out;
    const nlohmann::json& blank = report["findings"][0];
    EXPECT_EQ(blank["section"], "OS_Support");
    EXPECT_EQ(blank["key"], "os_list");
    EXPECT_EQ(blank["code"], "os-entry-blank");
    EXPECT_NE(blank["problem"].get<std::string>().find("\" 600\""), std::string::npos);
    EXPECT_FALSE(blank["advice"].get<std::string>().empty());
    const nlohmann::json& arguments = report["findings"][1];
    EXPECT_EQ(arguments["section"], "Run");
    EXPECT_EQ(arguments["key"], "1");
    EXPECT_EQ(arguments["code"], "sourcepath-arguments");
    EXPECT_NE(arguments["problem"].get<std::string>().find("\"<package folder>\\setup\\zqprep.exe /q\""),
              std::string::npos);
}

TEST_F(CheckProgram, ProgramsFoundElsewhereThanMeantAreFindingsWithTheirSectionAndKey) {
    const std::string settings = test::SettingsFile::Basic()
                                     .Set("Run", "1", "rundll32 setupapi.dll,InstallHinfSection")
                                     .Set("Run", "2", "C:\\Program Files\\Zelt\\Setup\\zqsetup.exe /s")
                                     .Set("Run", "3", "%sourcepath%setup\\zqprep.exe")
                                     .Text();
    const fs::path file = WritePackage(settings);
    const ProgramResult result = RunSim({"--check", file.string(), "--format", "json"}, scratch_);
    ASSERT_EQ(result.status, 1) << result.err;
    const nlohmann::json report = nlohmann::json::parse(result.out);
    ASSERT_EQ(report["findings"].size(), 2u) << result.out;
    EXPECT_EQ(report["findings"][0]["code"], "program-bare-name");
    EXPECT_EQ(report["findings"][0]["section"], "Run");
    EXPECT_EQ(report["findings"][0]["key"], "1");
    EXPECT_EQ(report["findings"][1]["code"], "program-path-unquoted-blank");
    EXPECT_EQ(report["findings"][1]["key"], "2");
    EXPECT_NE(report["findings"][1]["problem"].get<std::string>().find("C:\\Program.exe"), std::string::npos)
        << "names the program that Windows tries first";
}

TEST_F(CheckProgram, CleanJsonReportHasAnEmptyList) {
    const fs::path file = WritePackage(test::SettingsFile::Basic().Set("Run", "1", "setup\\zqprep.exe").Text());
    const ProgramResult result = RunSim({"--check", file.string(), "--format", "json"}, scratch_);
    ASSERT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(nlohmann::json::parse(result.out)["findings"], nlohmann::json::array());
}

// The package folder around the settings file is the one checked: the same
// file is clean beside its program and faulty without it.
TEST_F(CheckProgram, ProgramsAreLookedUpBesideTheSettingsFile) {
    const fs::path file = WritePackage(test::SettingsFile::Basic().Set("Run", "1", "Setup\\ZQPREP.EXE").Text());
    EXPECT_EQ(RunSim({"--check", file.string()}, scratch_).status, 0);
    fs::remove(file.parent_path() / "setup" / "zqprep.exe");
    const ProgramResult result = RunSim({"--check", file.string()}, scratch_);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("Setup\\ZQPREP.EXE"), std::string::npos) << result.out;
}

TEST_F(CheckProgram, TheExamplePackageIsClean) {
    const fs::path file = fs::path(ZQ_SOURCE_DIR) / "examples" / "package" / "autorun.inf";
    const ProgramResult result = RunSim({"--check", file.string()}, scratch_);
    EXPECT_EQ(result.status, 0) << result.out << result.err;
}

}  // namespace
}  // namespace zq::sim
