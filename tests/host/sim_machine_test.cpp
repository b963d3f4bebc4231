// The simulated machine's answers: environment, clock, error texts, registry,
// WOW64 as the launcher (32-bit) sees it, and VerifyVersionInfoW. Whole runs
// in both registry views are in the previews' test (the xp64-sp2 machine).
#include <gtest/gtest.h>

#include <tuple>

#include "base/text.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/system_messages.h"
#include "platform/sim/version_check.h"
#include "tests/support/event_fields.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

using nlohmann::json;
using Answers = std::vector<std::optional<WString>>;

// The defaults are what every other test runs on. The clock moves only by
// simulated time.
TEST(SimEnvironment, ConfiguredValuesAndTheClock) {
    test::TestMachine machine;
    machine.config() = json::parse(R"({"program": "D:\\Setup\\zqmerlesetup.exe", "argumentText": "-log 511",
        "currentDirectory": "D:\\", "windowsDirectory": "E:\\WINNT", "environment": {"Path": "C:\\x"},
        "userLanguage": 1036, "localTime": "2009-12-31T23:59:59"})");
    SimMachine& sim = machine.Load();
    IProcessEnvironment& environment = sim.platform().environment;
    // Module, arguments, current folder, system folder, TEMP, PATH, language.
    EXPECT_EQ(
        Answers({environment.ModulePath(), environment.ArgumentText(), environment.CurrentDirectory(),
                 environment.SystemDirectory(), environment.EnvironmentVariable(L"temp"),
                 environment.EnvironmentVariable(L"PATH"), std::to_wstring(environment.UserDefaultLangID())}),
        (Answers{L"D:\\Setup\\zqmerlesetup.exe", L"-log 511", L"D:\\", L"E:\\WINNT\\system32", {}, L"C:\\x", L"1036"}));
    environment.Sleep(1000);
    EXPECT_EQ(sim.ElapsedMs(), 1000);
    const LocalTime now = environment.Now();
    EXPECT_EQ(std::tie(now.year, now.month, now.day, now.hour, now.minute, now.second),
              std::make_tuple(2010, 1, 1, 0, 0, 0));
}

// Windows' English texts, each with its line end; none for an unknown code.
TEST(SimEnvironment, SystemMessagesAreWindowsEnglishWithTheirLineEnd) {
    const std::pair<ErrorCode, const wchar_t*> rows[] = {
        {2, L"The system cannot find the file specified.\r\n"},
        {193, L"%1 is not a valid Win32 application.\r\n"},
        {1801, L"The printer name is invalid.\r\n"},
        {4242, L""},
    };
    for (const auto& [code, text] : rows) EXPECT_EQ(SystemMessageText(code), text) << code;
}

TEST(SimRegistry, QueryOpenAndWrite) {
    const std::string key = "HKLM\\SOFTWARE\\Zelt\\Pictavo";
    test::TestMachine machine;
    machine.config()["registry"][key] = {
        {"InstallFolder", "C:\\Pic\\"}, {"Count", 3}, {"Expand", {{"type", "REG_EXPAND_SZ"}, {"data", "%X%"}}}};
    SimMachine& sim = machine.Load();
    IRegistry& registry = sim.platform().registry;
    auto reading = registry.OpenLocalMachineKey(L"software\\zelt\\PICTAVO", RegistryAccess::Read);
    ASSERT_NE(reading, nullptr);
    // "C:\Pic\" is 7 characters: 16 bytes with the terminating NUL; 15 are too few.
    std::optional<RegistryValue> folder = reading->QueryValue(L"installfolder", 16);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->type, kRegSz);
    EXPECT_EQ(std::string(folder->data.begin(), folder->data.end()), std::string("C\0:\0\\\0P\0i\0c\0\\\0\0\0", 16));
    EXPECT_FALSE(reading->QueryValue(L"InstallFolder", 15));
    const std::optional<RegistryValue> count = reading->QueryValue(L"Count", 4);
    EXPECT_EQ(count->type, kRegDword);
    EXPECT_EQ(count->data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(reading->QueryValue(L"Expand", 100)->type, kRegExpandSz);
    EXPECT_FALSE(reading->QueryValue(L"Missing", 100));
    EXPECT_EQ(reading->SetDword(L"Count", 1), 5u) << "opened for reading";

    // Parents exist; opening never creates.
    EXPECT_NE(registry.OpenLocalMachineKey(L"SOFTWARE", RegistryAccess::Read), nullptr);
    EXPECT_EQ(registry.OpenLocalMachineKey(L"SOFTWARE\\Zel", RegistryAccess::Read), nullptr);
    EXPECT_EQ(registry.OpenLocalMachineKey(L"SOFTWARE\\Other", RegistryAccess::Write), nullptr);
    EXPECT_FALSE(sim.State()["registry"].contains("HKLM\\SOFTWARE\\Other"));

    auto writing =
        registry.OpenLocalMachineKey(L"SOFTWARE\\Zelt\\Pictavo", RegistryAccess::Write, RegistryView::Force64);
    EXPECT_EQ(writing->SetString(L"Id", L"USB\\1"), 0u);
    EXPECT_EQ(writing->SetDword(L"Count", 1), 0u);
    EXPECT_EQ(sim.State()["registry"][key]["Count"], 1);
    const std::vector<json> writes = machine.Events("registryWrite");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_TRUE(test::HasFields(writes[0], {{"key", key}, {"value", "Id"}, {"type", "REG_SZ"}, {"data", "USB\\1"}}));
    EXPECT_TRUE(test::HasFields(writes[1], {{"value", "Count"}, {"type", "REG_DWORD"}, {"data", 1}}));
}

TEST(Wow64, RegistryKeyInView) {
    const RegistryView kDefault = RegistryView::Default, k64 = RegistryView::Force64;
    const WString pictavo = L"SOFTWARE\\Zelt\\Pictavo", pictavo32 = L"SOFTWARE\\Wow6432Node\\Zelt\\Pictavo";
    EXPECT_EQ(RegistryKeyInView(pictavo, kDefault, true), pictavo32);
    EXPECT_EQ(RegistryKeyInView(L"software\\zelt", kDefault, true), L"software\\Wow6432Node\\zelt");
    EXPECT_EQ(RegistryKeyInView(L"SOFTWARE", kDefault, true), L"SOFTWARE\\Wow6432Node");
    EXPECT_EQ(RegistryKeyInView(pictavo32, kDefault, true), pictavo32);
    EXPECT_EQ(RegistryKeyInView(L"SOFTWAREX\\Zelt", kDefault, true), L"SOFTWAREX\\Zelt");
    for (bool is64Bit : {true, false}) {
        SCOPED_TRACE(is64Bit);
        EXPECT_EQ(RegistryKeyInView(pictavo, k64, is64Bit), pictavo);
        EXPECT_EQ(RegistryKeyInView(L"SYSTEM\\CurrentControlSet", kDefault, is64Bit), L"SYSTEM\\CurrentControlSet");
        EXPECT_EQ(RegistryKeyInView(L"SYSTEM\\CurrentControlSet", k64, is64Bit), L"SYSTEM\\CurrentControlSet");
    }
    EXPECT_EQ(RegistryKeyInView(pictavo, kDefault, false), pictavo);
}

TEST(Wow64, TheSystemFolderOfA32BitProcess) {
    // Windows, the file named, found: the file lies in SysWOW64 only; "exempt" files in system32 only.
    const std::tuple<int, int, int, const wchar_t*, bool> rows[] = {
        {5, 1, 32, L"C:\\Windows\\system32\\only32.dll", false},
        {5, 2, 64, L"C:\\Windows\\System32\\only32.dll", true},
        {5, 2, 64, L"C:\\Windows\\inf\\..\\system32\\only32.dll", true},
        {5, 2, 64, L"C:\\Windows\\SysWOW64\\only32.dll", true},
        {5, 2, 64, L"C:\\Windows\\system32\\drivers\\etc\\hosts", true},             // exempt
        {6, 0, 64, L"C:\\Windows\\system32\\spool\\drivers\\x64\\3\\zq.dll", true},  // exempt
        {5, 2, 64, L"C:\\Windows\\system32\\drivers\\zq.sys", false},
        {6, 0, 64, L"C:\\Windows\\system32\\DriverStore\\x.inf", false},  // redirected on Vista
        {6, 1, 64, L"C:\\Windows\\system32\\DriverStore\\x.inf", true},   // exempt from Windows 7 on
    };
    for (const auto& [major, minor, bits, named, found] : rows) {
        SCOPED_TRACE(Utf16ToUtf8(named) + " on " + std::to_string(major) + "." + std::to_string(minor));
        test::TestMachine machine;
        machine.config()["os"] = {{"major", major}, {"minor", minor}, {"bits", bits}};
        machine.WriteFile("C:\\Windows\\SysWOW64\\only32.dll", "x86");
        for (const char* file :
             {"drivers\\etc\\hosts", "spool\\drivers\\x64\\3\\zq.dll", "drivers\\zq.sys", "DriverStore\\x.inf"})
            machine.WriteFile(std::string("C:\\Windows\\system32\\") + file, "x64");
        Platform& platform = machine.Load().platform();
        EXPECT_EQ(platform.files.IsExistingFile(named), found);
        EXPECT_EQ(platform.environment.SystemDirectory(), L"C:\\Windows\\system32");
        // The printer set-up tool is the 32-bit one too.
        ASSERT_NE(platform.processes.Start(L"rundll32 printui.dll,PrintUIEntry /?").process, nullptr);
        EXPECT_EQ(machine.Events("processStart").at(0)["program"],
                  bits == 64 ? "C:\\Windows\\SysWOW64\\rundll32.exe" : "C:\\Windows\\system32\\rundll32.exe");
    }
}

// VerifyVersionInfoW's service-pack pairs are checked by the launcher's
// ValidateOS table; here what it does not reach.
TEST(SimVersion, MajorMinorMustEqualAndAFailureSetsError1150) {
    EXPECT_FALSE(VersionMatches({6, 1, 1, 0}, {6, 0, 0, 0}));
    test::TestMachine machine;
    machine.config()["os"] = {{"major", 5}, {"minor", 2}, {"servicePackMajor", 2}, {"bits", 64}};
    Platform& platform = machine.Load().platform();
    EXPECT_TRUE(platform.version.VerifyVersion({5, 2, 1, 9}));
    EXPECT_EQ(platform.environment.LastError(), 0u);
    EXPECT_FALSE(platform.version.VerifyVersion({5, 2, 2, 1}));
    EXPECT_EQ(platform.environment.LastError(), 1150u);
}

}  // namespace
}  // namespace zq::sim
