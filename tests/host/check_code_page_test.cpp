// The checker and the author's code page: a settings file without a
// byte-order mark whose bytes the code page leaves undefined is a finding.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "base/text.h"
#include "authoring/package_checker.h"
#include "tests/support/settings_file.h"
#include "tests/support/sim_program.h"
#include "tests/support/temporary_folder.h"

namespace zq::sim {
namespace {

namespace fs = std::filesystem;

const char kCode[] = "not-in-code-page";

std::vector<Finding> CodePageFindings(const std::string& bytes, unsigned codePage) {
    const PackageEntryExists everythingExists = [](const std::vector<WString>&, bool) { return true; };
    std::vector<Finding> found;
    for (const Finding& finding : CheckSettingsFile(bytes, everythingExists, codePage))
        if (finding.code == kCode) found.push_back(finding);
    return found;
}

// A clean package with one more line of text 2 (line 15 of the file).
std::string WithText2(const std::string& text) { return test::SettingsFile::Basic().Set("English", "2", text).Text(); }

TEST(CheckCodePage, UndefinedBytesAreFoundOnTheirLine) {
    const struct {
        const char* why;
        std::string bytes;
        unsigned codePage;
        int line;  // 0: no finding
    } rows[] = {
        {"Cyrillic in 1251", WithText2("\xC4\xF0\xE0\xE9\xE2\xE5\xF0"), 1251, 0},
        {"0x98 is no character of 1251", WithText2("\xC4\x98"), 1251, 15},
        {"the same byte is a tilde in 1252", WithText2("\xC4\x98"), 1252, 0},
        {"0x81 is none of 1252", WithText2("a\x81"), 1252, 15},
        {"0xAA is none of 1253", WithText2("\xC1\xAA"), 1253, 15},
        {"Japanese in 932", WithText2("\x93\xFA\x96\x7B\x8C\xEA"), 932, 0},
        {"a lead byte without its second byte", WithText2("\x93\xFA\x96"), 932, 15},
        {"an invalid second byte", WithText2("\x82\x20"), 932, 15},
        {"line ends of every kind count", "[A]\rx=1\n[B]\r\ny=\x81\r\n", 1252, 4},
        {"the first of two", "\x81\r\n\x81", 1252, 1},
        {"UTF-16LE with its mark is never ANSI",
         std::string("\xFF\xFE", 2) + StringToUtf16LeBytes(L"[English]\r\n2=\u8100\u9800\r\n"), 1251, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const std::vector<Finding> found = CodePageFindings(row.bytes, row.codePage);
        if (row.line == 0) {
            EXPECT_TRUE(found.empty()) << found.front().problem;
            continue;
        }
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].line, row.line);
        EXPECT_EQ(found[0].section, "");
        EXPECT_EQ(found[0].key, "");
        EXPECT_NE(found[0].problem.find("code page " + std::to_string(row.codePage)), std::string::npos)
            << found[0].problem;
        EXPECT_FALSE(found[0].advice.empty());
    }
}

class CheckCodePageProgram : public testing::Test {
protected:
    fs::path WriteSettings(const std::string& bytes) {
        const fs::path file = folder_.Dir() / "autorun.inf";
        std::ofstream(file, std::ios::binary) << bytes;
        fs::create_directories(folder_.Dir() / "scratch");
        return file;
    }
    test::ProgramResult Check(const std::vector<std::string>& arguments) {
        return test::RunSim(arguments, folder_.Dir() / "scratch");
    }
    test::TemporaryFolder folder_;
};

TEST_F(CheckCodePageProgram, TheOptionNamesTheAuthorsCodePage) {
    const std::string file = WriteSettings(WithText2("\xC4\x98")).string();
    // The code-page findings of a JSON report.
    auto codePageFindings = [](const test::ProgramResult& result) {
        std::vector<nlohmann::json> found;
        const nlohmann::json report = nlohmann::json::parse(result.out);
        for (const nlohmann::json& finding : report["findings"])
            if (finding["code"] == kCode) found.push_back(finding);
        return found;
    };
    const test::ProgramResult western = Check({"--check", file, "--format", "json"});
    ASSERT_EQ(western.status, 1) << western.err << "(the package has no Run section)";
    EXPECT_TRUE(codePageFindings(western).empty()) << western.out;

    const test::ProgramResult russian = Check({"--check", file, "--code-page", "1251", "--format", "json"});
    ASSERT_EQ(russian.status, 1) << russian.out << russian.err;
    const std::vector<nlohmann::json> found = codePageFindings(russian);
    ASSERT_EQ(found.size(), 1u) << russian.out;
    EXPECT_EQ(found[0]["line"], 15);

    const test::ProgramResult asText = Check({"--check", "--code-page", "1251", file});
    EXPECT_EQ(asText.status, 1);
    EXPECT_NE(asText.out.find("autorun.inf:15: "), std::string::npos) << asText.out;

    for (const char* wrong : {"65001", "437", "cp1251", ""}) {
        SCOPED_TRACE(wrong);
        const test::ProgramResult result = Check({"--check", file, "--code-page", wrong});
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find("--code-page needs one of 1250, 1251, 1252, 1253, 1254, 1257 and 932"),
                  std::string::npos)
            << result.err;
    }
    EXPECT_EQ(Check({"--check", file, "--code-page"}).status, 2);
}

}  // namespace
}  // namespace zq::sim
