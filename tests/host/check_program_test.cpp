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

// Byte 0x98 in text 2 (line 15) is a tilde in the default code page 1252
// and no character of 1251.
SettingsFile Running(const std::string& commandLine) {
    return SettingsFile::Basic().Set("English", "2", "\xC4\x98").Set("Run", "1", commandLine);
}

TEST_F(CheckProgram, ExitStatusAndReport) {
    const std::string codePages = "--code-page needs one of 1250, 1251, 1252, 1253, 1254, 1257 and 932";
    const std::string unread = ": the settings file cannot be read: ", notRegular = ", not a regular file\n";
    const std::string file = WritePackage(Running("%sourcepath%setup\\zqprep.exe"));
    const std::string faulty = (package_ / "faulty.inf").string(), fifo = (package_ / "fifo.inf").string();
    const std::string zero = (package_ / "zero.inf").string();
    std::ofstream(faulty, std::ios::binary) << Running("%sourcepath%setup\\zqprep.exe /q").Text();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", zero);
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out = "", err = "";  // parts of the output
    } rows[] = {
        {{"--check", file}, 0, "autorun.inf"},
        {{"--check", file, "--format", "json"}, 0, "\"findings\": []"},
        {{"--check", faulty}, 1, "faulty.inf:24: [Run] 1: "},
        {{"--check", "--format", "json", faulty}, 1, "\"code\": \"sourcepath-arguments\""},
        {{"--check", "--code-page", "1251", file}, 1, "autorun.inf:15: "},
        {{"--check", file, "--code-page", "1251", "--format", "json"}, 1, "\"code\": \"not-in-code-page\""},
        {{"--check", file + ".none"}, 2, "", "autorun.inf.none" + unread + "missing or not accessible\n"},
        // What is not a regular file is refused by name, without being
        // opened: a FIFO would wait for a writer, /dev/zero would never end.
        {{"--check", fifo}, 2, "", "fifo.inf" + unread + "a FIFO" + notRegular},
        {{"--check", zero, "--format", "json"}, 2, "", "zero.inf" + unread + "a device" + notRegular},
        {{"--check", "/dev/zero"}, 2, "", "/dev/zero" + unread + "a device" + notRegular},
        {{"--check", package_.string()}, 2, "", "package" + unread + "a folder" + notRegular},
        {{"--check"}, 2},
        {{"--check", file, "--format", "xml"}, 2},
        {{"--check", file, "--code-page", "65001"}, 2, "", codePages},
        {{"--check", file, "--code-page", "cp1251"}, 2, "", codePages},
        {{"--check", file, "--code-page", ""}, 2, "", codePages},
        {{"--check", file, "--code-page"}, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.arguments));
        const ProgramResult result = Check(row.arguments);
        EXPECT_EQ(result.status, row.status) << result.out << result.err;
        EXPECT_EQ(result.out.empty(), row.status == 2) << result.out;
        EXPECT_NE(result.out.find(row.out), std::string::npos) << result.out;
        EXPECT_EQ(result.err.rfind("zqmerlesetup-sim: ", 0) == 0, row.status == 2) << result.err;
        EXPECT_NE(result.err.find(row.err), std::string::npos) << result.err;
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
    const std::pair<std::string, std::string> expected[] = {
        {"os-entry-blank OS_Support|os_list:5", "\" 600\""},
        {"program-bare-name Run|1:24", "\"rundll32\""},
        {"program-path-unquoted-blank Run|2:25", "C:\\Program.exe"},  // what Windows tries first
        {"sourcepath-arguments Run|3:26", "\"<package folder>\\setup\\zqprep.exe /q\""},
    };
    ASSERT_EQ(report["findings"].size(), std::size(expected)) << result.out;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const json& f = report["findings"][i];
        EXPECT_EQ(f["code"].get<std::string>() + " " + f["section"].get<std::string>() + "|" +
                      f["key"].get<std::string>() + ":" + std::to_string(f["line"].get<int>()),
                  expected[i].first);
        EXPECT_NE(f["problem"].get<std::string>().find(expected[i].second), std::string::npos) << f;
        EXPECT_FALSE(f["advice"].get<std::string>().empty());
    }
}

// A host file name need not be UTF-8; the JSON report is, with U+FFFD for
// each byte that is not. The text report gives the name as it is. The
// package checked is the folder around the settings file: the same file is
// clean beside its program and faulty without it.
TEST_F(CheckProgram, ThePackageBesideASettingsFileWhoseNameIsNotUtf8) {
    const fs::path file = package_ / "autorun-\xe9\xff.inf";
    fs::rename(WritePackage(Running("Setup\\ZQPREP.EXE")), file);
    ProgramResult result = Check({"--check", file.string(), "--format", "json"});
    ASSERT_EQ(result.status, 0) << result.err;
    const json report = json::parse(result.out);
    EXPECT_EQ(report["file"], (package_ / "autorun-\xef\xbf\xbd\xef\xbf\xbd.inf").string());
    EXPECT_EQ(report["findings"], json::array());
    fs::remove(package_ / "setup" / "zqprep.exe");
    result = Check({"--check", file.string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find(file.string() + ":24: [Run] 1: "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Setup\\ZQPREP.EXE"), std::string::npos) << result.out;
}

}  // namespace
}  // namespace zq::sim
