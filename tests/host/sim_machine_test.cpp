// The simulated machine's answers: environment, virtual clock, mutex, error
// texts, services, registry and spooler.
#include <gtest/gtest.h>

#include <cstdio>

#include "base/text.h"
#include "platform/sim/system_messages.h"
#include "tests/support/event_fields.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

using nlohmann::json;
using Answers = std::vector<std::optional<WString>>;

TEST(SimEnvironment, DefaultsAndConfiguredValues) {
    const struct {
        json config;
        Answers expected;  // module, arguments, current folder, system folder, TEMP, PATH, language
    } rows[] = {
        {json::object(),
         {L"C:\\Package\\zqmerlesetup.exe", L"", L"C:\\Package", L"C:\\Windows\\system32", L"C:\\Temp", {}, L"1033"}},
        {{{"program", "D:\\Setup\\zqmerlesetup.exe"},
          {"argumentText", "-log 511"},
          {"currentDirectory", "D:\\"},
          {"windowsDirectory", "E:\\WINNT"},
          {"environment", {{"Path", "C:\\x"}}},
          {"userLanguage", 1036}},
         {L"D:\\Setup\\zqmerlesetup.exe", L"-log 511", L"D:\\", L"E:\\WINNT\\system32", {}, L"C:\\x", L"1036"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.config.dump());
        test::TestMachine machine;
        machine.config() = row.config;
        IProcessEnvironment& environment = machine.Load().platform().environment;
        EXPECT_EQ(Answers({environment.ModulePath(), environment.ArgumentText(), environment.CurrentDirectory(),
                           environment.SystemDirectory(), environment.EnvironmentVariable(L"temp"),
                           environment.EnvironmentVariable(L"PATH"), std::to_wstring(environment.UserDefaultLangID())}),
                  row.expected);
    }
}

TEST(SimEnvironment, TheClockMovesOnlyBySimulatedTime) {
    test::TestMachine machine;
    machine.config()["localTime"] = "2009-12-31T23:59:59";
    SimMachine& sim = machine.Load();
    sim.platform().environment.Sleep(200);
    EXPECT_EQ(sim.ElapsedMs(), 200);
    sim.platform().environment.Sleep(800);
    const LocalTime now = sim.platform().environment.Now();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    EXPECT_STREQ(text, "2010-01-01 00:00:00");
}

TEST(SimEnvironment, SystemMessagesAreWindowsEnglishWithTheirLineEnd) {
    const std::pair<ErrorCode, const wchar_t*> rows[] = {
        {2, L"The system cannot find the file specified.\r\n"},
        {5, L"Access is denied.\r\n"},
        {193, L"%1 is not a valid Win32 application.\r\n"},
        {1056, L"An instance of the service is already running.\r\n"},
        {1060, L"The specified service does not exist as an installed service.\r\n"},
        {1062, L"The service has not been started.\r\n"},
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

}  // namespace
}  // namespace zq::sim
