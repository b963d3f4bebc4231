// Reading the settings file: values with "%sourcepath%", numbered lists,
// per-entry overrides, and the derived values.
#include "settings/derived_settings.h"

#include <gtest/gtest.h>

#include "tests/support/scenario.h"

namespace zq {
namespace {

using test::Contains;
using test::SettingsFile;
using Lines = std::vector<std::string>;
using Keys = std::vector<std::array<std::string, 3>>;  // section, key, value

// A machine with the settings file, and a process at log level 511 whose
// settings object reads it.
struct SettingsBench {
    explicit SettingsBench(SettingsFile settings, const Keys& keys = {}, const std::string& folder = "C:\\Package",
                           int userLanguage = 0x0409) {
        for (const auto& [section, key, value] : keys) settings.Set(section, key, value);
        machine.MakeFolder(folder);
        machine.config()["currentDirectory"] = folder;
        machine.config()["userLanguage"] = userLanguage;
        machine.WriteFile(test::kSettingsPath, settings.Text());
        process = test::ProcessOn(machine);
        process->g_iniFile.SetPath(Utf8ToUtf16(test::kSettingsPath));
    }
    CIniFile& ini() { return process->g_iniFile; }
    Lines Log() { return machine.LogMessages(); }

    test::TestMachine machine;
    std::unique_ptr<LauncherProcess> process;
};

// Every occurrence, each with its opening quote only; the name is matched
// in lower case only.
TEST(SourcePath, Substitution) {
    EXPECT_EQ(ResolveSourcePath(L"%sourcepath%a.exe %sourcepath%b.exe", L"D:\\pkg"),
              L"\"D:\\pkg\\a.exe \"D:\\pkg\\b.exe\"");
    EXPECT_EQ(ResolveSourcePath(L"%SOURCEPATH%\\x.exe", L"D:\\pkg"), L"%SOURCEPATH%\\x.exe");
}

TEST(Settings, ReadStrValue) {
    SettingsBench bench(SettingsFile::Basic(),
                        {{"Run", "1", "%sourcepath%setup\\zqprep.exe"},
                         {"Run", "2", "<READ_FAILED>"},
                         {"Run", "3", ""},
                         {"Run", "4", std::string(600, 'x')}},
                        "D:\\");
    WString value;
    EXPECT_TRUE(bench.ini().ReadStrValue(L"Run", L"1", value));
    EXPECT_EQ(value, L"\"D:\\\\setup\\zqprep.exe\"") << "the current folder";
    // A missing key and the literal failure text count as failed. (The
    // lines logged: the run scenarios' logs.)
    EXPECT_FALSE(bench.ini().ReadStrValue(L"Run", L"2", value));
    EXPECT_EQ(value, L"<READ_FAILED>");
    EXPECT_TRUE(bench.ini().ReadStrValue(L"Run", L"3", value));
    EXPECT_EQ(value, L"");
    EXPECT_FALSE(bench.ini().ReadStrValue(L"Nowhere", L"1", value));
    EXPECT_TRUE(bench.ini().ReadStrValue(L"Run", L"4", value));
    EXPECT_EQ(value, WString(499, L'x')) << "cut to 499 characters";
}

TEST(Settings, NumberedListsAndTheirOverrides) {
    SettingsBench bench(SettingsFile::Basic(), {{"Run", "1", "base1"},
                                                {"Run", "2", "base2"},
                                                {"Run", "3", "base3"},
                                                {"Run", "5", "base5"},
                                                {"Run.501", "2", "over2"},
                                                {"Run.501", "4", "over4"},
                                                {"Run.", "1", "dotted"}});
    // A list ends at its first gap; an override section replaces but never adds.
    EXPECT_EQ(bench.ini().GetNoOfKeys(L"Run"), 3);
    EXPECT_EQ(test::LinesStartingWith(bench.Log(), "--> Enter ReadStrValue()").size(), 4u);
    EXPECT_EQ(bench.ini().GetNoOfKeys(L"Empty"), 0);
    std::vector<WString> values;
    GetKeyValues(bench.ini(), L"501", L"Run", values, 3);
    EXPECT_EQ(values, (std::vector<WString>{L"base1", L"over2", L"base3"}));
    // Before validation the override section is a lone dot.
    values.clear();
    GetKeyValues(bench.ini(), L"", L"Run", values, 4);
    EXPECT_EQ(values, (std::vector<WString>{L"dotted", L"base2", L"base3", L"<READ_FAILED>"}));
    EXPECT_TRUE(Contains(bench.Log(), "GetKeyValues() failed to read Section Run , Key 4"));
}

// The entry's section wins per key; "1a" reads as 1, an empty value as 0;
// a key in neither section is said and taken as 0.
TEST(Settings, ServicePackMinimum) {
    const std::string major = "ServicePack_MajorVersion", minor = "ServicePack_MinorVersion";
    struct Case {
        Keys keys;
        int major, minor;
    } cases[] = {
        {{{"OS_Support", major, "2"}, {"OS_Support.600", major, "3"}, {"OS_Support", minor, "1"}}, 3, 1},
        {{{"OS_Support.600", major, "1a"}, {"OS_Support.600", minor, ""}}, 1, 0},
        {{}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys.size());
        SettingsBench bench(SettingsFile::Basic(), c.keys);
        int major = -1, minor = -1;
        ReadSPVersion(bench.ini(), L"600", major, minor);
        EXPECT_EQ(std::pair(major, minor), std::pair(c.major, c.minor));
        const Lines log = bench.Log();
        for (const auto& [part, value] : {std::pair{std::string("Major"), c.major}, {"Minor", c.minor}}) {
            const std::string head = "Service Pack " + part + " Version ";
            EXPECT_EQ(Contains(log, head + "information not found. Set to Default \"0\""), c.keys.empty());
            EXPECT_TRUE(Contains(log, head + "is " + std::to_string(value)));
        }
    }
}

// Text 7 for the user's language: none without a map entry or with one
// that names a missing section; the file's keys match without regard to
// case.
TEST(Settings, LanguageTexts) {
    struct Case {
        int userLanguage;
        Keys keys;
        std::string expected;
    } cases[] = {
        {0x0407, {}, ""},
        {0x0407, {{"LangMap", "0x0407", "Deutsch"}}, ""},
        {0x040c, {{"LangMap", "0x040C", "French"}, {"French", "7", "Titre"}}, "Titre"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys.size());
        SettingsBench bench(SettingsFile::Basic(), c.keys, "C:\\Package", c.userLanguage);
        CIniFile own(bench.process->platform, bench.process->g_logFile, Utf8ToUtf16(test::kSettingsPath));
        EXPECT_EQ(Utf16ToUtf8(GetLangString(own, 7)), c.expected);
    }
}

}  // namespace
}  // namespace zq
