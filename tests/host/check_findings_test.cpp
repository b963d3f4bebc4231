// The package checker on small settings files: each row has one fault (or
// none) and names the findings it must give, no more and no fewer; bytes
// that the author's code page leaves undefined are found on their line.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <tuple>

#include "base/text.h"
#include "authoring/checker_report.h"
#include "authoring/package_checker.h"
#include "tests/support/settings_file.h"

namespace zq::sim {
namespace {

// The package folder: its files, as lower-case paths below the root.
bool PackageHas(const std::vector<WString>& components, bool folder) {
    static const std::set<std::string> kFiles = {"autorun.inf",        "setup.exe",          "setup\\zqprep.exe",
                                                 "setup\\zqstage.exe", "setup\\my tool.exe", "driver\\zqmerle.inf"};
    std::string path;
    for (const WString& component : components)
        path += (path.empty() ? "" : "\\") + Utf16ToUtf8(ToLowerAscii(component));
    if (!folder) return kFiles.count(path) > 0;
    return std::any_of(kFiles.begin(), kFiles.end(),
                       [&](const std::string& f) { return f.rfind(path + "\\", 0) == 0; });
}

// A file with nothing to find (one 32-bit system, a program that the
// package has, the keyword and the English texts) after edits:
// "Section|key=value" sets a value, "-Section|key" removes a key, "-Section"
// a section; "<text" and ">text" put text before and after the file.
std::string Edited(const std::vector<std::string>& edits) {
    test::SettingsFile file = test::SettingsFile::Basic().Set("Run", "1", "setup\\zqprep.exe");
    std::string before, after;
    for (const std::string& edit : edits) {
        const std::size_t bar = edit.find('|'), equals = edit.find('=', bar);
        if (edit[0] == '<') {
            before += edit.substr(1);
        } else if (edit[0] == '>') {
            after += edit.substr(1);
        } else if (edit[0] == '-') {
            if (bar == std::string::npos) file.RemoveSection(edit.substr(1));
            else file.RemoveKey(edit.substr(1, bar - 1), edit.substr(bar + 1));
        } else {
            file.Set(edit.substr(0, bar), edit.substr(bar + 1, equals - bar - 1), edit.substr(equals + 1));
        }
    }
    return before + file.Text() + after;
}

struct FindingRow {
    const char* name;
    std::vector<std::string> edits;
    // Every finding's code, then "@section|key" of the first code's finding
    // when that is not the first edit's.
    std::string expected;
    std::vector<std::string> says = {};  // texts of that finding's problem ("!text": a text it must not hold)
};

const std::string kX64 = "OS_Support|os_list=501,600_64", kPrep64 = "Run.x64|1=setup\\zqprep.exe";
const std::string kUpdate = "UpdateDrivers|1=ZQ Merle 5400 Series";

// What the launcher's own reading decides (os_list entries, override
// sections, the printer update's INF, "zqstage") is set against the launcher
// in checker_agreement_test; the report's lines and order in check_program_test.
const FindingRow kRows[] = {
    {"clean", {}, ""},
    // Supported systems.
    {"entry without three digits", {"OS_Support|os_list=501,XP"}, "os-entry-not-digits"},
    {"windows 10 as 1000", {"OS_Support|os_list=501,1000"}, "os-entry-suffix"},
    {"602 admits windows 8.1 to 11", {"OS_Support|os_list=501,602,602_64", kPrep64}, ""},
    // Values are read with the launcher's rules: blanks and one pair of quotes go.
    {"quoted, padded os_list", {"<[OS_Support]\r\n  os_list =  \"501,600\"  \r\n", "-OS_Support"}, ""},
    {"no os_list", {"-OS_Support"}, "os-list-missing @OS_Support|os_list"},
    {"service pack that is no number", {"OS_Support|ServicePack_MajorVersion=SP2"}, "not-a-number"},
    {"misspelt service-pack key", {"OS_Support|ServicePack_Major=2"}, "unknown-key"},
    {"log level between levels", {"Version|Log=200"}, "log-level"},
    // Numbered lists.
    {"gap in Run", {"Run|3=setup\\zqstage.exe"}, "list-gap"},
    {"leading zero in Run", {"Run|02=setup\\zqstage.exe"}, "list-key-not-number"},
    {"gap in UpdateDrivers", {kUpdate, "UpdateDrivers|3=X"}, "list-gap @UpdateDrivers|3"},
    {"empty keyword", {"CPE.MagicKeywords|2="}, "magic-keyword-empty"},
    {"no keywords", {"-CPE.MagicKeywords"}, "magic-keywords-missing @CPE.MagicKeywords|1"},
    // Sections of programs; overrides for an entry os_list does not name.
    {"64-bit entry without Run.x64", {kX64}, "run-x64-missing @Run.x64|"},
    {"SP section, no entry", {"OS_Support.600|ServicePack_MajorVersion=1"}, "override-unknown-entry @OS_Support.600|"},
    {"override that would add an entry", {"Run.501|2=setup\\zqstage.exe"}, "override-adds-entry"},
    {"override value is checked as a command line", {"Run.501|1=setup\\gone.exe"}, "program-missing"},
    // Command lines. Arguments after one %sourcepath% end up inside the
    // quoted name, and nothing starts; with a second one Windows still
    // starts the first program.
    {"%sourcepath% with arguments",
     {"Run|1=%sourcepath%setup\\zqprep.exe /q"},
     "sourcepath-arguments",
     {"cannot start", "!Windows starts the first program"}},
    {"two %sourcepath% in one value",
     {"Run|1=%sourcepath%setup\\zqprep.exe %sourcepath%driver\\zqmerle.inf"},
     "sourcepath-arguments",
     {"!cannot start", "Windows starts the first program"}},
    {"%sourcepath% before a path with a blank", {"Run|1=%sourcepath%setup\\my tool.exe"}, ""},
    {"%sourcepath% in capitals", {"Run|1=%SOURCEPATH%setup\\zqprep.exe"}, "program-missing sourcepath-case"},
    {"relative program with arguments", {"Run|1=setup\\zqprep.exe /q"}, ""},
    {"program without its .exe", {"Run|1=setup\\zqprep"}, ""},
    {"quoted program with a blank", {"Run|1=\"setup\\my tool.exe\" /q"}, ""},
    {"program the package lacks", {"Run|1=setup\\zqprel.exe /q"}, "program-missing"},
    {"unquoted, with a blank, missing", {"Run|1=setup\\my tools.exe"}, "program-missing program-path-unquoted-blank"},
    // Programs that Windows may find elsewhere than the author meant.
    {"unquoted program with a blank", {"Run|1=setup\\my tool.exe /q"}, "program-path-unquoted-blank"},
    {"quoted path with blanks, outside", {"Run|1=\"C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe\" /s"}, ""},
    {"arguments with blanks after a program without any", {"Run|1=setup\\zqprep.exe /log C:\\my logs\\x.log"}, ""},
    {"bare name whose argument names a program", {"Run|1=cmd /c setup\\zqprep.exe"}, "program-bare-name"},
    {"bare name with a blank", {"Run|1=my tool.exe"}, "program-bare-name program-path-unquoted-blank"},
    {"a path from the current folder is no bare name", {"Run|1=.\\setup\\zqprep.exe"}, ""},
    {"a Run.x64 entry with a bare name", {"Run.x64|1=zqprep.exe", kX64}, "program-bare-name"},
    {"empty command line", {"Run|1="}, "run-entry-empty"},
    {"the printer update is no program, its INF found in any case",
     {"Run|2=LANPATCH.EXE Driver\\ZQMERLE.INF", "Run|3=Lanpatch.exe setup\\..\\driver\\zqmerle.inf", kUpdate},
     ""},
    // Texts.
    {"no LangMap", {"-LangMap"}, "langmap-missing @LangMap|"},
    {"LangMap names a missing section", {"LangMap|0x0407=German"}, "language-section-missing"},
    {"LangMap key in decimal", {"LangMap|1031=English"}, "langmap-key-format"},
    {"LangMap key in capitals", {"LangMap|0x040C=English"}, ""},
    {"language without texts 1 and 8", {"-English|1", "-English|8"}, "language-text-missing language-text-missing"},
    // The file's own layout.
    {"second header of a section", {">[Run]\r\n2=setup\\zqstage.exe\r\n"}, "duplicate-section @Run|"},
    {"key written twice", {"<[Version]\r\nLog=1\r\nLog=511\r\n", "-Version"}, "duplicate-key @Version|Log"},
    {"key before the first header", {"<Log=511\r\n"}, "key-outside-section @|Log"},
    // The mark hides the [Version] header, so its Log line belongs to no section.
    {"UTF-8 byte-order mark", {"<\xEF\xBB\xBF"}, "utf8-bom key-outside-section @|"},
    {"value cut at 499 characters", {"English|3=" + std::string(500, 'x')}, "value-too-long"},
    {"value of 499 characters", {"English|3=" + std::string(499, 'x')}, ""},
};

TEST(CheckFindings, EachFaultGivesItsFindingsAndNoOthers) {
    for (const FindingRow& row : kRows) {
        SCOPED_TRACE(row.name);
        const std::vector<Finding> findings = CheckSettingsFile(Edited(row.edits), PackageHas);
        std::istringstream words(row.expected);
        std::vector<std::string> codes, found;
        const std::string edit = row.edits.empty() ? "" : row.edits[0];
        std::string word, place = "@" + edit.substr(edit[0] == '-', edit.find('=') - (edit[0] == '-'));
        while (words >> word) (word[0] == '@' ? place : codes.emplace_back()) = word;
        for (const Finding& finding : findings) found.push_back(finding.code);
        std::vector<std::string> expected = codes;
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected) << FindingsAsText("autorun.inf", findings);
        if (codes.empty()) continue;
        const auto first =
            std::find_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.code == codes[0]; });
        ASSERT_NE(first, findings.end());
        EXPECT_EQ("@" + first->section + "|" + first->key, place);
        EXPECT_FALSE(first->problem.empty() || first->advice.empty());
        for (const std::string& text : row.says) {
            const bool absent = text[0] == '!';
            EXPECT_EQ(first->problem.find(text.substr(absent ? 1 : 0)) == std::string::npos, absent) << first->problem;
        }
    }
}

// A settings file without a byte-order mark is read in the author's code
// page: a byte that the page leaves undefined is a finding on its line (the
// default 1252 against 1251: check_program_test).
TEST(CheckFindings, ReadInTheAuthorsCodePage) {
    const auto text2 = [](const std::string& text) { return Edited({"English|2=" + text}); };  // line 15
    // Why, the file's bytes, the code page and the line of the finding (0: none).
    const std::tuple<const char*, std::string, unsigned, int> rows[] = {
        {"Cyrillic in 1251", text2("\xC4\xF0\xE0\xE9\xE2\xE5\xF0"), 1251, 0},
        {"a lead byte without its second byte", text2("\x93\xFA\x96"), 932, 15},
        {"line ends of every kind count", "[A]\rx=1\n[B]\r\ny=\x81\r\n", 1252, 4},
        {"UTF-16LE with its mark is never ANSI",
         std::string("\xFF\xFE", 2) + StringToUtf16LeBytes(L"[English]\r\n2=\u8100\u9800\r\n"), 1251, 0},
    };
    for (const auto& [why, bytes, codePage, line] : rows) {
        SCOPED_TRACE(why);
        std::vector<Finding> found;
        for (const Finding& finding : CheckSettingsFile(bytes, PackageHas, codePage))
            if (finding.code == "not-in-code-page") found.push_back(finding);
        ASSERT_EQ(found.size(), line == 0 ? 0u : 1u);
        if (line == 0) continue;
        EXPECT_EQ(found[0].line, line);
        EXPECT_EQ(found[0].section + found[0].key, "");
        EXPECT_NE(found[0].problem.find("code page " + std::to_string(codePage)), std::string::npos);
    }
    // Names and values are read in the code page too.
    const std::vector<Finding> named = CheckSettingsFile(Edited({"LangMap|0x0419=\xD0\xF3\xF1"}), PackageHas, 1251);
    ASSERT_EQ(named.size(), 1u);
    EXPECT_NE(named[0].problem.find("\u0420\u0443\u0441"), std::string::npos) << named[0].problem;
}

}  // namespace
}  // namespace zq::sim
