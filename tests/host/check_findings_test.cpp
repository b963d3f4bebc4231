// The package checker on small settings files: each row has one fault (or
// none) and names the findings it must give, no more and no fewer.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "base/text.h"
#include "authoring/checker_report.h"
#include "authoring/package_checker.h"
#include "tests/support/settings_file.h"

namespace zq::sim {
namespace {

using test::SettingsFile;

// A package folder in memory: its files, as lower-case paths below the root.
PackageEntryExists InMemoryPackage(std::set<std::string> files) {
    return [files](const std::vector<WString>& components, bool folder) {
        std::string path;
        for (const WString& component : components) {
            path += (path.empty() ? "" : "\\") + Utf16ToUtf8(ToLowerAscii(component));
        }
        if (!folder) return files.count(path) > 0;
        return std::any_of(files.begin(), files.end(),
                           [&](const std::string& file) { return file.rfind(path + "\\", 0) == 0; });
    };
}

const std::set<std::string> kPackageFiles = {"autorun.inf",        "setup.exe",          "setup\\zqprep.exe",
                                             "setup\\zqstage.exe", "setup\\my tool.exe", "driver\\zqmerle.inf"};

// A settings file with nothing to find: one 32-bit system, a program that
// the package has, the keyword and the English texts.
SettingsFile Clean() { return SettingsFile::Basic().Set("Run", "1", "setup\\zqprep.exe"); }

std::vector<std::string> Codes(const std::vector<Finding>& findings) {
    std::vector<std::string> codes;
    for (const Finding& finding : findings) codes.push_back(finding.code);
    std::sort(codes.begin(), codes.end());
    return codes;
}

struct FindingRow {
    const char* name;
    std::function<std::string()> text;
    std::vector<std::string> codes;  // every finding's code; empty: a clean file
    const char* section = "";        // of the first finding
    const char* key = "";
};

std::function<std::string()> Edited(std::function<void(SettingsFile&)> edit) {
    return [edit] {
        SettingsFile file = Clean();
        edit(file);
        return file.Text();
    };
}

std::function<std::string()> RunEntry(const std::string& key, const std::string& value) {
    return Edited([=](SettingsFile& f) { f.Set("Run", key, value); });
}

const FindingRow kRows[] = {
    {"clean", Edited([](SettingsFile&) {}), {}},
    // Supported systems.
    {"blank after a comma",
     Edited([](SettingsFile& f) { f.Set("OS_Support", "os_list", "501, 600"); }),
     {"os-entry-blank"},
     "OS_Support",
     "os_list"},
    {"entry without three digits",
     Edited([](SettingsFile& f) { f.Set("OS_Support", "os_list", "501,XP"); }),
     {"os-entry-not-digits"},
     "OS_Support",
     "os_list"},
    {"windows 10 as 1000",
     Edited([](SettingsFile& f) { f.Set("OS_Support", "os_list", "501,1000"); }),
     {"os-entry-suffix"},
     "OS_Support",
     "os_list"},
    {"a suffix other than _64",
     Edited([](SettingsFile& f) { f.Set("OS_Support", "os_list", "501,600_x64"); }),
     {"os-entry-suffix"},
     "OS_Support",
     "os_list"},
    {"602 admits windows 8.1 to 11",
     Edited([](SettingsFile& f) {
         f.Set("OS_Support", "os_list", "501,602,602_64").Set("Run.x64", "1", "setup\\zqprep.exe");
     }),
     {}},
    // Values are read with the launcher's rules: blanks and one pair of quotes go.
    {"quoted, padded os_list",
     [] { return "[OS_Support]\r\n  os_list =  \"501,600\"  \r\n" + Clean().RemoveSection("OS_Support").Text(); },
     {}},
    {"quoted os_list with a blank inside",
     Edited([](SettingsFile& f) { f.Set("OS_Support", "os_list", "\"501, 600\""); }),
     {"os-entry-blank"},
     "OS_Support",
     "os_list"},
    {"no os_list",
     Edited([](SettingsFile& f) { f.RemoveSection("OS_Support"); }),
     {"os-list-missing"},
     "OS_Support",
     "os_list"},
    {"service pack that is no number",
     Edited([](SettingsFile& f) { f.Set("OS_Support", "ServicePack_MajorVersion", "SP2"); }),
     {"not-a-number"},
     "OS_Support",
     "ServicePack_MajorVersion"},
    {"misspelt service-pack key",
     Edited([](SettingsFile& f) { f.Set("OS_Support", "ServicePack_Major", "2"); }),
     {"unknown-key"},
     "OS_Support",
     "ServicePack_Major"},
    {"log level between levels",
     Edited([](SettingsFile& f) { f.Set("Version", "Log", "200"); }),
     {"log-level"},
     "Version",
     "Log"},
    // Numbered lists.
    {"gap in Run", RunEntry("3", "setup\\zqstage.exe"), {"list-gap"}, "Run", "3"},
    {"leading zero in Run", RunEntry("02", "setup\\zqstage.exe"), {"list-key-not-number"}, "Run", "02"},
    {"gap in the keywords",
     Edited([](SettingsFile& f) { f.Set("CPE.MagicKeywords", "3", "ZQMERLE"); }),
     {"list-gap"},
     "CPE.MagicKeywords",
     "3"},
    {"gap in UpdateDrivers",
     Edited(
         [](SettingsFile& f) { f.Set("UpdateDrivers", "1", "ZQ Merle 5400 Series").Set("UpdateDrivers", "3", "X"); }),
     {"list-gap"},
     "UpdateDrivers",
     "3"},
    {"gap in Run.x64",
     Edited([](SettingsFile& f) {
         f.Set("OS_Support", "os_list", "501,600_64")
             .Set("Run.x64", "1", "setup\\zqprep.exe")
             .Set("Run.x64", "3", "setup\\zqstage.exe");
     }),
     {"list-gap"},
     "Run.x64",
     "3"},
    {"empty keyword",
     Edited([](SettingsFile& f) { f.Set("CPE.MagicKeywords", "2", ""); }),
     {"magic-keyword-empty"},
     "CPE.MagicKeywords",
     "2"},
    {"no keywords",
     Edited([](SettingsFile& f) { f.RemoveSection("CPE.MagicKeywords"); }),
     {"magic-keywords-missing"},
     "CPE.MagicKeywords",
     "1"},
    // Sections of programs.
    {"64-bit entry without Run.x64",
     Edited([](SettingsFile& f) { f.Set("OS_Support", "os_list", "501,600_64"); }),
     {"run-x64-missing"},
     "Run.x64",
     ""},
    {"32-bit entry without Run",
     Edited([](SettingsFile& f) {
         f.RemoveSection("Run").Set("OS_Support", "os_list", "501,600_64").Set("Run.x64", "1", "setup\\zqprep.exe");
     }),
     {"run-missing"},
     "Run",
     ""},
    {"override for an entry os_list does not name",
     Edited([](SettingsFile& f) { f.Set("Run.600", "1", "setup\\zqstage.exe"); }),
     {"override-unknown-entry"},
     "Run.600",
     ""},
    {"service-pack section for an entry os_list does not name",
     Edited([](SettingsFile& f) { f.Set("OS_Support.600", "ServicePack_MajorVersion", "1"); }),
     {"override-unknown-entry"},
     "OS_Support.600",
     ""},
    {"Run.x64 override for an entry os_list does not name",
     Edited([](SettingsFile& f) {
         f.Set("OS_Support", "os_list", "501,600_64")
             .Set("Run.x64", "1", "setup\\zqprep.exe")
             .Set("Run.x64.502_64", "1", "setup\\zqstage.exe");
     }),
     {"override-unknown-entry"},
     "Run.x64.502_64",
     ""},
    {"Run override for a 64-bit entry",
     Edited([](SettingsFile& f) {
         f.Set("OS_Support", "os_list", "501,600_64")
             .Set("Run.x64", "1", "setup\\zqprep.exe")
             .Set("Run.600_64", "1", "setup\\zqstage.exe");
     }),
     {"override-wrong-word-size"},
     "Run.600_64",
     ""},
    {"override that would add an entry",
     Edited([](SettingsFile& f) { f.Set("Run.501", "2", "setup\\zqstage.exe"); }),
     {"override-adds-entry"},
     "Run.501",
     "2"},
    {"override that replaces an entry",
     Edited([](SettingsFile& f) { f.Set("Run.501", "1", "setup\\zqstage.exe"); }),
     {}},
    {"override value is checked as a command line",
     Edited([](SettingsFile& f) { f.Set("Run.501", "1", "setup\\gone.exe"); }),
     {"program-missing"},
     "Run.501",
     "1"},
    // Command lines.
    {"%sourcepath% with arguments",
     RunEntry("1", "%sourcepath%setup\\zqprep.exe /q"),
     {"sourcepath-arguments"},
     "Run",
     "1"},
    {"two %sourcepath% in one value",
     RunEntry("1", "%sourcepath%setup\\zqprep.exe %sourcepath%driver\\zqmerle.inf"),
     {"sourcepath-arguments"},
     "Run",
     "1"},
    {"%sourcepath% before a path with a blank", RunEntry("1", "%sourcepath%setup\\my tool.exe"), {}},
    {"%sourcepath% alone before the program", RunEntry("1", "%sourcepath%setup\\zqprep.exe"), {}},
    {"%sourcepath% in capitals",
     RunEntry("1", "%SOURCEPATH%setup\\zqprep.exe"),
     {"program-missing", "sourcepath-case"},
     "Run",
     "1"},
    {"relative program with arguments", RunEntry("1", "setup\\zqprep.exe /q"), {}},
    {"program without its .exe", RunEntry("1", "setup\\zqprep"), {}},
    {"quoted program with a blank", RunEntry("1", "\"setup\\my tool.exe\" /q"), {}},
    {"program the package lacks", RunEntry("1", "setup\\zqprel.exe /q"), {"program-missing"}, "Run", "1"},
    {"unquoted program with a blank the package lacks",
     RunEntry("1", "setup\\my tools.exe"),
     {"program-missing", "program-path-unquoted-blank"},
     "Run",
     "1"},
    {"program outside the package", RunEntry("1", "C:\\Windows\\system32\\cmd.exe /c exit"), {}},
    // Programs that Windows may find elsewhere than the author meant.
    {"unquoted program with a blank",
     RunEntry("1", "setup\\my tool.exe /q"),
     {"program-path-unquoted-blank"},
     "Run",
     "1"},
    {"unquoted program with a blank, without its .exe",
     RunEntry("1", "setup\\my tool"),
     {"program-path-unquoted-blank"},
     "Run",
     "1"},
    {"unquoted path with blanks outside the package",
     RunEntry("1", "C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe /s"),
     {"program-path-unquoted-blank"},
     "Run",
     "1"},
    {"quoted path with blanks outside the package",
     RunEntry("1", "\"C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe\" /s"),
     {}},
    {"arguments with blanks after a program without any",
     RunEntry("1", "setup\\zqprep.exe /log C:\\my logs\\x.log"),
     {}},
    {"bare program name", RunEntry("1", "rundll32 setupapi.dll,InstallHinfSection"), {"program-bare-name"}, "Run", "1"},
    {"bare program name in quotes",
     RunEntry("1", "\"rundll32.exe\" setupapi.dll,InstallHinfSection"),
     {"program-bare-name"},
     "Run",
     "1"},
    {"bare name whose argument names a program",
     RunEntry("1", "cmd /c setup\\zqprep.exe"),
     {"program-bare-name"},
     "Run",
     "1"},
    {"bare name with a blank",
     RunEntry("1", "my tool.exe"),
     {"program-bare-name", "program-path-unquoted-blank"},
     "Run",
     "1"},
    {"a path from the current folder is no bare name", RunEntry("1", ".\\setup\\zqprep.exe"), {}},
    {"%sourcepath% quotes what follows it", RunEntry("1", "%sourcepath%setup.exe"), {}},
    {"bare name that the package has", RunEntry("1", "setup.exe /q"), {"program-bare-name"}, "Run", "1"},
    {"an override with an unquoted blank",
     Edited([](SettingsFile& f) { f.Set("Run.501", "1", "setup\\my tool.exe"); }),
     {"program-path-unquoted-blank"},
     "Run.501",
     "1"},
    {"a Run.x64 entry with a bare name",
     Edited([](SettingsFile& f) { f.Set("OS_Support", "os_list", "501,600_64").Set("Run.x64", "1", "zqprep.exe"); }),
     {"program-bare-name"},
     "Run.x64",
     "1"},
    {"the printer update is no program",
     Edited([](SettingsFile& f) {
         f.Set("Run", "2", "lanpatch.exe driver\\zqmerle.inf")
             .Set("Run", "3", "Lanpatch.exe setup\\..\\driver\\zqmerle.inf")
             .Set("UpdateDrivers", "1", "ZQ Merle 5400 Series");
     }),
     {}},
    {"empty command line", RunEntry("1", ""), {"run-entry-empty"}, "Run", "1"},
    {"zqstage in capitals", RunEntry("1", "setup\\ZQSTAGE.exe"), {"zqstage-case"}, "Run", "1"},
    // The printer update.
    {"printer update with its INF",
     Edited([](SettingsFile& f) {
         f.Set("Run", "2", "LANPATCH.EXE Driver\\ZQMERLE.INF").Set("UpdateDrivers", "1", "ZQ Merle 5400 Series");
     }),
     {}},
    {"printer update with a missing INF",
     Edited([](SettingsFile& f) {
         f.Set("Run", "2", "lanpatch.exe driver\\zqmerle5.inf").Set("UpdateDrivers", "1", "ZQ Merle 5400 Series");
     }),
     {"lanpatch-inf-missing"},
     "Run",
     "2"},
    {"printer update without an INF",
     Edited([](SettingsFile& f) {
         f.Set("Run", "2", "driver\\lanpatch.exe").Set("UpdateDrivers", "1", "ZQ Merle 5400 Series");
     }),
     {"lanpatch-inf-missing"},
     "Run",
     "2"},
    {"printer update with %sourcepath%",
     Edited([](SettingsFile& f) {
         f.Set("Run", "2", "lanpatch.exe %sourcepath%driver\\zqmerle.inf")
             .Set("UpdateDrivers", "1", "ZQ Merle 5400 Series");
     }),
     {}},
    {"printer update with its INF in quotes, blanks and all",
     Edited([](SettingsFile& f) {
         f.Set("Run", "2", "lanpatch.exe \"driver\\zqmerle.inf\"").Set("UpdateDrivers", "1", "ZQ Merle 5400 Series");
     }),
     {}},
    {"printer update with a quote inside its INF path",
     Edited([](SettingsFile& f) {
         f.Set("Run", "2", "lanpatch.exe driver\"\\zqmerle.inf").Set("UpdateDrivers", "1", "ZQ Merle 5400 Series");
     }),
     {"lanpatch-inf-quoted"},
     "Run",
     "2"},
    {"printer update without drivers to update",
     RunEntry("2", "lanpatch.exe driver\\zqmerle.inf"),
     {"update-drivers-missing"},
     "UpdateDrivers",
     "1"},
    // Texts.
    {"no LangMap", Edited([](SettingsFile& f) { f.RemoveSection("LangMap"); }), {"langmap-missing"}, "LangMap", ""},
    {"LangMap names a missing section",
     Edited([](SettingsFile& f) { f.Set("LangMap", "0x0407", "German"); }),
     {"language-section-missing"},
     "LangMap",
     "0x0407"},
    {"LangMap key in decimal",
     Edited([](SettingsFile& f) { f.Set("LangMap", "1031", "English"); }),
     {"langmap-key-format"},
     "LangMap",
     "1031"},
    {"LangMap key in capitals", Edited([](SettingsFile& f) { f.Set("LangMap", "0x040C", "English"); }), {}},
    {"language without text 5",
     Edited([](SettingsFile& f) { f.RemoveKey("English", "5"); }),
     {"language-text-missing"},
     "English",
     "5"},
    {"language without texts 1 and 8",
     Edited([](SettingsFile& f) { f.RemoveKey("English", "1").RemoveKey("English", "8"); }),
     {"language-text-missing", "language-text-missing"},
     "English",
     "1"},
    // The file's own layout.
    {"second header of a section",
     [] { return Clean().Text() + "[Run]\r\n2=setup\\zqstage.exe\r\n"; },
     {"duplicate-section"},
     "Run",
     ""},
    {"second, empty header",
     [] { return Clean().Text() + "[cpe.magickeywords]\r\n"; },
     {"duplicate-section"},
     "cpe.magickeywords",
     ""},
    {"key written twice",
     [] { return "[Version]\r\nLog=1\r\nLog=511\r\n" + Clean().RemoveSection("Version").Text(); },
     {"duplicate-key"},
     "Version",
     "Log"},
    {"key before the first header", [] { return "Log=511\r\n" + Clean().Text(); }, {"key-outside-section"}, "", "Log"},
    // The mark hides the [Version] header, so its Log line belongs to no section.
    {"UTF-8 byte-order mark",
     [] { return "\xEF\xBB\xBF" + Clean().Text(); },
     {"utf8-bom", "key-outside-section"},
     "",
     ""},
    {"value cut at 499 characters",
     Edited([](SettingsFile& f) { f.Set("English", "3", std::string(500, 'x')); }),
     {"value-too-long"},
     "English",
     "3"},
    {"value of 499 characters", Edited([](SettingsFile& f) { f.Set("English", "3", std::string(499, 'x')); }), {}},
};

TEST(CheckFindings, EachFaultGivesItsFindingsAndNoOthers) {
    for (const FindingRow& row : kRows) {
        SCOPED_TRACE(row.name);
        const std::vector<Finding> findings = CheckSettingsFile(row.text(), InMemoryPackage(kPackageFiles));
        std::vector<std::string> expected = row.codes;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Codes(findings), expected) << FindingsAsText("autorun.inf", findings);
        if (findings.empty() || row.codes.empty()) continue;
        const auto first = std::find_if(findings.begin(), findings.end(),
                                        [&](const Finding& f) { return f.code == row.codes.front(); });
        ASSERT_NE(first, findings.end());
        EXPECT_EQ(first->section, row.section);
        EXPECT_EQ(first->key, row.key);
        EXPECT_FALSE(first->problem.empty());
        EXPECT_FALSE(first->advice.empty());
    }
}

// Arguments after one %sourcepath% end up inside the quoted name, and
// nothing starts; with a second %sourcepath% Windows still starts the first
// program. The finding says which.
TEST(CheckFindings, SourcePathFindingSaysWhetherTheProgramStarts) {
    const struct {
        const char* value;
        bool starts;
    } rows[] = {
        {"%sourcepath%setup\\zqprep.exe /q", false},
        {"%sourcepath%setup\\zqprep.exe %sourcepath%driver\\zqmerle.inf", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        const std::vector<Finding> findings =
            CheckSettingsFile(RunEntry("1", row.value)(), InMemoryPackage(kPackageFiles));
        ASSERT_EQ(findings.size(), 1u) << FindingsAsText("autorun.inf", findings);
        EXPECT_EQ(findings[0].problem.find("cannot start") == std::string::npos, row.starts) << findings[0].problem;
        EXPECT_EQ(findings[0].problem.find("Windows starts the first program") != std::string::npos, row.starts)
            << findings[0].problem;
    }
}

TEST(CheckFindings, FindingsNameTheirLinesInFileOrder) {
    const std::string text =
        "[OS_Support]\r\nos_list=501, 600\r\n\r\n[Run]\r\n1=setup\\zqprep.exe\r\n3=setup\\zqstage.exe\r\n";
    const std::vector<Finding> findings = CheckSettingsFile(text, InMemoryPackage(kPackageFiles));
    std::map<std::string, int> lines;
    for (const Finding& finding : findings) lines[finding.code] = finding.line;
    // Line 0: nothing in the file holds the fault (a missing section).
    const std::map<std::string, int> expected = {
        {"langmap-missing", 0}, {"magic-keywords-missing", 0}, {"os-entry-blank", 2}, {"list-gap", 6}};
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(std::is_sorted(findings.begin(), findings.end(),
                               [](const Finding& a, const Finding& b) { return a.line < b.line; }));
}

}  // namespace
}  // namespace zq::sim
