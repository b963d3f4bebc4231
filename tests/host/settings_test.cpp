// Reading the settings file: values with "%sourcepath%", numbered lists,
// per-entry overrides, and the derived values.
#include "settings/derived_settings.h"

#include <gtest/gtest.h>

#include "run/application.h"
#include "tests/support/scenario.h"

namespace zq {
namespace {

using test::Contains;
using test::SettingsFile;
using test::TestMachine;

// A machine with the settings file, and a process at log level 511 whose
// settings object reads it.
class SettingsBench {
public:
    explicit SettingsBench(const SettingsFile& settings, const std::string& currentDirectory = "C:\\Package",
                           int userLanguage = 0x0409) {
        machine_.MakeFolder("C:\\Temp");
        machine_.MakeFolder(currentDirectory);
        machine_.config()["currentDirectory"] = currentDirectory;
        machine_.config()["userLanguage"] = userLanguage;
        machine_.WriteFile(test::kSettingsPath, settings.Text());
        process_ = std::make_unique<LauncherProcess>(machine_.Load().platform());
        process_->g_logFile.SetLevel(LOG_LOW);
        process_->g_iniFile.SetPath(Utf8ToUtf16(test::kSettingsPath));
    }
    CIniFile& ini() { return process_->g_iniFile; }
    LauncherProcess& process() { return *process_; }
    std::vector<std::string> Log() { return machine_.LogMessages(); }

private:
    TestMachine machine_;
    std::unique_ptr<LauncherProcess> process_;
};

TEST(SourcePath, Substitution) {
    struct Case {
        const wchar_t *value, *folder, *expected;
    } cases[] = {
        {L"%sourcepath%setup\\setup.exe", L"D:\\pkg", L"\"D:\\pkg\\setup\\setup.exe\""},
        {L"%sourcepath%a.exe %sourcepath%b.exe", L"D:\\pkg", L"\"D:\\pkg\\a.exe \"D:\\pkg\\b.exe\""},
        {L"%sourcepath%x.exe", L"D:\\", L"\"D:\\\\x.exe\""},
        {L"%SOURCEPATH%\\x.exe", L"D:\\pkg", L"%SOURCEPATH%\\x.exe"},
        {L"100% %windir%", L"D:\\pkg", L"100% %windir%"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveSourcePath(c.value, c.folder), c.expected) << Utf16ToUtf8(c.value);
}

TEST(Settings, ReadStrValueLogsTheReadAndResolvesTheCurrentFolder) {
    SettingsBench bench(SettingsFile::Basic().Set("Run", "1", "%sourcepath%setup\\zqprep.exe"), "D:\\");
    WString value;
    EXPECT_TRUE(bench.ini().ReadStrValue(L"Run", L"1", value));
    EXPECT_EQ(value, L"\"D:\\\\setup\\zqprep.exe\"");
    EXPECT_EQ(bench.Log(), (std::vector<std::string>{"--> Enter ReadStrValue()", test::kSettingsPath,
                                                     "Read Section:[Run] Key=1 Value=\"D:\\\\setup\\zqprep.exe\"",
                                                     "<-- Exit ReadStrValue() with TRUE"}));
}

TEST(Settings, MissingKeyAndTheLiteralFailureTextCountAsFailed) {
    SettingsBench bench(SettingsFile::Basic().Set("Run", "1", "<READ_FAILED>").Set("Run", "2", ""));
    WString value;
    EXPECT_FALSE(bench.ini().ReadStrValue(L"Run", L"1", value));
    EXPECT_EQ(value, L"<READ_FAILED>");
    EXPECT_TRUE(bench.ini().ReadStrValue(L"Run", L"2", value));
    EXPECT_EQ(value, L"");
    EXPECT_FALSE(bench.ini().ReadStrValue(L"Nowhere", L"1", value));
    EXPECT_TRUE(Contains(bench.Log(), "## ReadStrValue() Failed"));
    EXPECT_TRUE(Contains(bench.Log(), "<-- Exit ReadStrValue() with FALSE"));
}

TEST(Settings, LongValuesAreCutTo499Characters) {
    SettingsBench bench(SettingsFile::Basic().Set("Run", "1", std::string(600, 'x')));
    WString value;
    EXPECT_TRUE(bench.ini().ReadStrValue(L"Run", L"1", value));
    EXPECT_EQ(value, WString(499, L'x'));
}

TEST(Settings, NumberedListsEndAtTheFirstGap) {
    SettingsBench bench(SettingsFile::Basic().Set("Run", "1", "a").Set("Run", "2", "b").Set("Run", "4", "d"));
    EXPECT_EQ(bench.ini().GetNoOfKeys(L"Run"), 2);
    std::vector<std::string> log = bench.Log();
    EXPECT_EQ(test::LinesStartingWith(log, "--> Enter ReadStrValue()").size(), 3u);
    EXPECT_TRUE(Contains(log, "Number of keys in [Run] : 2"));
    EXPECT_EQ(bench.ini().GetNoOfKeys(L"Empty"), 0);
}

TEST(Settings, OverrideSectionReplacesButNeverAdds) {
    SettingsBench bench(SettingsFile::Basic()
                            .Set("Run", "1", "base1")
                            .Set("Run", "2", "base2")
                            .Set("Run", "3", "base3")
                            .Set("Run.501", "2", "over2")
                            .Set("Run.501", "4", "over4"));
    const int count = bench.ini().GetNoOfKeys(L"Run");
    std::vector<WString> values;
    GetKeyValues(bench.ini(), L"501", L"Run", values, count);
    EXPECT_EQ(values, (std::vector<WString>{L"base1", L"over2", L"base3"}));
    std::vector<std::string> log = bench.Log();
    EXPECT_TRUE(Contains(log, "Read Section:[Run.501] Key=2 Value=over2"));
    EXPECT_TRUE(Contains(log, "Read Section:[Run] Key=3 Value=base3"));
}

TEST(Settings, BeforeValidationTheOverrideSectionIsALoneDot) {
    SettingsBench bench(SettingsFile::Basic().Set("Run", "1", "base1").Set("Run.", "1", "dotted"));
    std::vector<WString> values;
    GetKeyValues(bench.ini(), L"", L"Run", values, 2);
    EXPECT_EQ(values, (std::vector<WString>{L"dotted", L"<READ_FAILED>"}));
    EXPECT_TRUE(Contains(bench.Log(), "GetKeyValues() failed to read Section Run , Key 2"));
}

TEST(Settings, CountZeroLogsOnlyEnterAndExit) {
    SettingsBench bench(SettingsFile::Basic());
    std::vector<WString> values;
    GetKeyValues(bench.ini(), L"501", L"Run", values, 0);
    EXPECT_EQ(bench.Log(), (std::vector<std::string>{"--> Enter GetKeyValues()", "<-- Exit GetKeyValues()"}));
    EXPECT_TRUE(values.empty());
}

struct ServicePackCase {
    const char* why;
    std::vector<std::array<std::string, 3>> keys;  // section, key, value
    int major, minor;
    int notFoundLines;
};

TEST(Settings, ServicePackMinimum) {
    const ServicePackCase cases[] = {
        {"common major only", {{"OS_Support", "ServicePack_MajorVersion", "2"}}, 2, 0, 1},
        {"entry section wins per key",
         {{"OS_Support", "ServicePack_MajorVersion", "2"},
          {"OS_Support.600", "ServicePack_MajorVersion", "3"},
          {"OS_Support", "ServicePack_MinorVersion", "1"}},
         3,
         1,
         0},
        {"1a reads as 1, empty as 0",
         {{"OS_Support.600", "ServicePack_MajorVersion", "1a"}, {"OS_Support.600", "ServicePack_MinorVersion", ""}},
         1,
         0,
         0},
        {"neither section", {}, 0, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        SettingsFile settings = SettingsFile::Basic();
        for (const auto& [section, key, value] : c.keys) settings.Set(section, key, value);
        SettingsBench bench(settings);
        int major = -1, minor = -1;
        ReadSPVersion(bench.ini(), L"600", major, minor);
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
        std::vector<std::string> log = bench.Log();
        EXPECT_EQ(test::LinesStartingWith(log, "Service Pack Major Version information not found").size() +
                      test::LinesStartingWith(log, "Service Pack Minor Version information not found").size(),
                  static_cast<std::size_t>(c.notFoundLines));
        EXPECT_TRUE(Contains(log, "Service Pack Major Version is " + std::to_string(c.major)));
        EXPECT_TRUE(Contains(log, "Service Pack Minor Version is " + std::to_string(c.minor)));
        if (c.notFoundLines == 2) {
            EXPECT_TRUE(Contains(log, "Service Pack Minor Version information not found. Set to Default \"0\""));
        }
    }
}

TEST(Settings, LogLevelFromTheVersionSection) {
    SettingsBench bench(SettingsFile::Basic().Set("Version", "Log", "abc"));
    EXPECT_EQ(GetLogLevel(bench.ini()), 0);
    EXPECT_TRUE(Contains(bench.Log(), "Log Level is 0"));
}

struct LanguageCase {
    const char* why;
    int userLanguage;
    std::vector<std::array<std::string, 3>> keys;
    int id;
    std::string expected;
};

TEST(Settings, LanguageTexts) {
    const LanguageCase cases[] = {
        {"English", 0x0409, {}, 8, test::EnglishText(8)},
        {"German user, only English mapped", 0x0407, {}, 1, ""},
        {"French key is lower-case hex",
         0x040c,
         {{"LangMap", "0x040c", "French"}, {"French", "7", "Titre"}},
         7,
         "Titre"},
        {"keys in the file match without regard to case",
         0x040c,
         {{"LangMap", "0x040C", "French"}, {"French", "7", "Titre"}},
         7,
         "Titre"},
        {"text number missing", 0x0409, {}, 9, ""},
        {"map names a missing section", 0x0407, {{"LangMap", "0x0407", "Deutsch"}}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        SettingsFile settings = SettingsFile::Basic();
        for (const auto& [section, key, value] : c.keys) settings.Set(section, key, value);
        SettingsBench bench(settings, "C:\\Package", c.userLanguage);
        CIniFile own(bench.process().platform, bench.process().g_logFile, Utf8ToUtf16(test::kSettingsPath));
        EXPECT_EQ(Utf16ToUtf8(GetLangString(own, c.id)), c.expected);
    }
}

}  // namespace
}  // namespace zq
