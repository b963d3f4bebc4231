// The simulated machine's answers: environment, mutex, error texts,
// services, registry, spooler, message boxes and the virtual clock.
#include <gtest/gtest.h>

#include "base/text.h"
#include "platform/sim/system_messages.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

TEST(SimEnvironment, DefaultsOfAnEmptyMachineJson) {
    test::TestMachine machine;
    Platform& platform = machine.Load().platform();
    EXPECT_EQ(platform.environment.ModulePath(), L"C:\\Package\\zqmerlesetup.exe");
    EXPECT_EQ(platform.environment.ArgumentText(), L"");
    EXPECT_EQ(platform.environment.CurrentDirectory(), L"C:\\Package");
    EXPECT_EQ(platform.environment.WindowsDirectory(), L"C:\\Windows");
    EXPECT_EQ(platform.environment.SystemDirectory(), L"C:\\Windows\\system32");
    EXPECT_EQ(platform.environment.EnvironmentVariable(L"TEMP"), L"C:\\Temp");
    EXPECT_EQ(platform.environment.EnvironmentVariable(L"temp"), L"C:\\Temp");
    EXPECT_EQ(platform.environment.EnvironmentVariable(L"PATH"), std::nullopt);
    EXPECT_EQ(platform.environment.UserDefaultLangID(), 0x0409);
    LocalTime now = platform.environment.Now();
    EXPECT_EQ(now.year, 2009);
    EXPECT_EQ(now.month, 3);
    EXPECT_EQ(now.day, 7);
    EXPECT_EQ(now.hour, 9);
    EXPECT_EQ(now.minute, 5);
    EXPECT_EQ(now.second, 2);
    EXPECT_EQ(platform.version.MajorVersion(), 5u);
}

TEST(SimEnvironment, ConfiguredValues) {
    test::TestMachine machine;
    machine.config()["program"] = "D:\\Setup\\zqmerlesetup.exe";
    machine.config()["argumentText"] = "-log 511";
    machine.config()["currentDirectory"] = "D:\\";
    machine.config()["windowsDirectory"] = "E:\\WINNT";
    machine.config()["environment"] = {{"Path", "C:\\x"}};
    machine.config()["userLanguage"] = 1036;
    Platform& platform = machine.Load().platform();
    EXPECT_EQ(platform.environment.ArgumentText(), L"-log 511");
    EXPECT_EQ(platform.environment.CurrentDirectory(), L"D:\\");
    EXPECT_EQ(platform.environment.SystemDirectory(), L"E:\\WINNT\\system32");
    EXPECT_EQ(platform.environment.EnvironmentVariable(L"TEMP"), std::nullopt);
    EXPECT_EQ(platform.environment.UserDefaultLangID(), 0x040c);

    test::TestMachine failing;
    failing.config()["currentDirectory"] = nullptr;
    EXPECT_EQ(failing.Load().platform().environment.CurrentDirectory(), std::nullopt);
}

TEST(SimEnvironment, TheClockMovesOnlyBySimulatedTime) {
    test::TestMachine machine;
    machine.config()["localTime"] = "2009-12-31T23:59:59";
    sim::SimMachine& sim = machine.Load();
    sim.platform().environment.Sleep(200);
    EXPECT_EQ(sim.ElapsedMs(), 200);
    sim.platform().environment.Sleep(800);
    LocalTime now = sim.platform().environment.Now();
    EXPECT_EQ(now.year, 2010);
    EXPECT_EQ(now.month, 1);
    EXPECT_EQ(now.day, 1);
    EXPECT_EQ(now.hour, 0);
    EXPECT_EQ(now.second, 0);
}

struct MutexRow {
    const char* name;
    bool otherInstance;
    bool creationFails;
    MutexOutcome outcome;
    ErrorCode lastError;
};

TEST(SimEnvironment, NamedMutex) {
    const MutexRow rows[] = {
        {"alone", false, false, MutexOutcome::Created, 0},
        {"another instance", true, false, MutexOutcome::AlreadyExisted, 183},
        {"creation fails", false, true, MutexOutcome::NoHandle, 5},
    };
    for (const MutexRow& row : rows) {
        SCOPED_TRACE(row.name);
        test::TestMachine machine;
        machine.config()["otherInstanceRunning"] = row.otherInstance;
        machine.config()["mutexCreationFails"] = row.creationFails;
        Platform& platform = machine.Load().platform();
        EXPECT_EQ(platform.environment.CreateNamedMutex(L"ZQMERLESETUP{x}"), row.outcome);
        EXPECT_EQ(platform.environment.LastError(), row.lastError);
    }
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
    for (const auto& [code, text] : rows) {
        SCOPED_TRACE(code);
        EXPECT_EQ(SystemMessageText(code), text);
    }
    EXPECT_EQ(SystemMessageText(2).size(), 44u);
    EXPECT_EQ(SystemMessageText(1060).size(), 63u);
}

struct ServiceRow {
    const char* name;
    const char* state;  // nullptr: not installed
    bool stop;
    ErrorCode error;
    const char* stateAfter;
};

TEST(SimServices, StopAndStartAnswers) {
    const ServiceRow rows[] = {
        {"stop a running service", "running", true, 0, "stopped"},
        {"stop a stopped service", "stopped", true, 1062, "stopped"},
        {"start a stopped service", "stopped", false, 0, "running"},
        {"start a running service", "running", false, 1056, "running"},
    };
    for (const ServiceRow& row : rows) {
        SCOPED_TRACE(row.name);
        test::TestMachine machine;
        machine.config()["services"] = {{"zqdevsvc", {{"state", row.state}}}};
        sim::SimMachine& sim = machine.Load();
        ServiceManagerOpen manager = sim.platform().services.OpenManager();
        ASSERT_NE(manager.manager, nullptr);
        ServiceOpen service = manager.manager->OpenService(L"ZQDevSvc");
        ASSERT_NE(service.service, nullptr);
        EXPECT_EQ(row.stop ? service.service->Stop() : service.service->Start(), row.error);
        EXPECT_EQ(sim.State()["services"]["zqdevsvc"]["state"], row.stateAfter);
        nlohmann::json event = machine.Events("serviceControl").at(0);
        EXPECT_EQ(event["service"], "ZQDevSvc");
        EXPECT_EQ(event["action"], row.stop ? "stop" : "start");
        EXPECT_EQ(event["error"], row.error);
    }
}

TEST(SimServices, MissingServiceAndClosedManager) {
    test::TestMachine machine;
    Platform& platform = machine.Load().platform();
    ServiceOpen service = platform.services.OpenManager().manager->OpenService(L"zqdevsvc");
    EXPECT_EQ(service.service, nullptr);
    EXPECT_EQ(service.error, 1060u);

    test::TestMachine closed;
    closed.config()["scmOpenFails"] = true;
    ServiceManagerOpen manager = closed.Load().platform().services.OpenManager();
    EXPECT_EQ(manager.manager, nullptr);
    EXPECT_EQ(manager.error, 5u);
}

TEST(SimServices, AStopTakesTheServicesStopSeconds) {
    test::TestMachine machine;
    machine.config()["services"] = {{"zqdevsvc", {{"state", "running"}, {"stopSeconds", 2}}}};
    sim::SimMachine& sim = machine.Load();
    std::unique_ptr<IService> service = sim.platform().services.OpenManager().manager->OpenService(L"zqdevsvc").service;
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service->CurrentState(), kServiceRunning);
    EXPECT_EQ(service->Stop(), 0u);
    EXPECT_EQ(service->CurrentState(), kServiceStopPending);
    EXPECT_EQ(service->Start(), 1056u) << "the old instance is still there";
    EXPECT_EQ(service->Stop(), 1061u);
    sim.AdvanceClock(1500);
    EXPECT_EQ(service->CurrentState(), kServiceStopPending);
    // Written with the time it has left; read back, it goes on stopping.
    EXPECT_EQ(sim.State()["services"]["zqdevsvc"],
              (nlohmann::ordered_json{{"state", "stopping"}, {"stopSeconds", 0.5}}));
    sim.AdvanceClock(500);
    EXPECT_EQ(service->CurrentState(), kServiceStopped);
    EXPECT_EQ(sim.State()["services"]["zqdevsvc"], (nlohmann::ordered_json{{"state", "stopped"}, {"stopSeconds", 2}}));
    EXPECT_EQ(service->Start(), 0u);
    EXPECT_EQ(service->CurrentState(), kServiceRunning);
    std::vector<std::string> errors;
    for (const nlohmann::json& event : machine.Events("serviceControl")) errors.push_back(event["error"].dump());
    EXPECT_EQ(errors, (std::vector<std::string>{"0", "1056", "1061", "0"}));
}

TEST(SimRegistry, QueryValueWithBufferSemantics) {
    test::TestMachine machine;
    machine.config()["registry"] = {
        {"HKLM\\SOFTWARE\\Zelt\\Pictavo",
         {{"InstallFolder", "C:\\Pic\\"}, {"Count", 3}, {"Expand", {{"type", "REG_EXPAND_SZ"}, {"data", "%X%"}}}}}};
    Platform& platform = machine.Load().platform();
    auto key = platform.registry.OpenLocalMachineKey(L"software\\zelt\\PICTAVO", RegistryAccess::Read);
    ASSERT_NE(key, nullptr);

    // "C:\Pic\" is 7 characters: 16 bytes with the terminating NUL.
    std::optional<RegistryValue> folder = key->QueryValue(L"installfolder", 16);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->type, kRegSz);
    EXPECT_EQ(folder->data.size(), 16u);
    EXPECT_EQ(Utf16LeBytesToString(folder->data.data(), 14), L"C:\\Pic\\");
    EXPECT_EQ(folder->data[14], 0);
    EXPECT_FALSE(key->QueryValue(L"InstallFolder", 15));  // too big for the buffer

    std::optional<RegistryValue> count = key->QueryValue(L"Count", 4);
    ASSERT_TRUE(count);
    EXPECT_EQ(count->type, kRegDword);
    EXPECT_EQ(count->data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(key->QueryValue(L"Expand", 100)->type, kRegExpandSz);
    EXPECT_FALSE(key->QueryValue(L"Missing", 100));
}

TEST(SimRegistry, OpenNeverCreatesAndParentsExist) {
    test::TestMachine machine;
    machine.config()["registry"] = {{"HKLM\\SOFTWARE\\Zelt\\Pictavo", nlohmann::json::object()}};
    sim::SimMachine& sim = machine.Load();
    Platform& platform = sim.platform();
    EXPECT_NE(platform.registry.OpenLocalMachineKey(L"SOFTWARE\\Zelt", RegistryAccess::Read), nullptr);
    EXPECT_NE(platform.registry.OpenLocalMachineKey(L"SOFTWARE", RegistryAccess::Read), nullptr);
    EXPECT_EQ(platform.registry.OpenLocalMachineKey(L"SOFTWARE\\Other", RegistryAccess::Write), nullptr);
    EXPECT_EQ(platform.registry.OpenLocalMachineKey(L"SOFTWARE\\Zel", RegistryAccess::Read), nullptr);
    EXPECT_FALSE(sim.State()["registry"].contains("HKLM\\SOFTWARE\\Other"));
}

TEST(SimRegistry, WritesAreJournalledAndNeedWriteAccess) {
    test::TestMachine machine;
    const std::string keyPath = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1\\PrinterDriverData";
    machine.config()["registry"] = {{keyPath, nlohmann::json::object()}};
    sim::SimMachine& sim = machine.Load();
    const WString subKey = Utf8ToUtf16(keyPath.substr(5));
    auto reading = sim.platform().registry.OpenLocalMachineKey(subKey, RegistryAccess::Read, RegistryView::Force64);
    EXPECT_EQ(reading->SetDword(L"AiODDPnPWorked", 1), 5u);
    auto writing = sim.platform().registry.OpenLocalMachineKey(subKey, RegistryAccess::Write, RegistryView::Force64);
    EXPECT_EQ(writing->SetString(L"SoftwareCUEContextID", L"USB\\1"), 0u);
    EXPECT_EQ(writing->SetDword(L"AiODDPnPWorked", 1), 0u);
    EXPECT_EQ(sim.State()["registry"][keyPath]["SoftwareCUEContextID"], "USB\\1");
    EXPECT_EQ(sim.State()["registry"][keyPath]["AiODDPnPWorked"], 1);
    std::vector<nlohmann::json> writes = machine.Events("registryWrite");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0]["key"], keyPath);
    EXPECT_EQ(writes[0]["value"], "SoftwareCUEContextID");
    EXPECT_EQ(writes[0]["type"], "REG_SZ");
    EXPECT_EQ(writes[0]["data"], "USB\\1");
    EXPECT_EQ(writes[1]["type"], "REG_DWORD");
    EXPECT_EQ(writes[1]["data"], 1);
}

TEST(SimSpooler, EnumerateOpenAndDelete) {
    test::TestMachine machine;
    machine.config()["printers"] = {
        {{"name", "Office"}, {"port", "IP_10.0.0.5"}, {"driver", "ZQ Merle 5400 Series"}},
        {{"name", "Desk"}, {"port", "USB001"}, {"driver", "ZQ Merle 5400 Series"}, {"deleteFails", true}},
        {{"name", "Hall"}, {"port", "LPT1:"}, {"driver", "Other"}, {"openFails", true}}};
    const std::string printers = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
    machine.config()["registry"] = {{printers + "Office\\PrinterDriverData", {{"SoftwareCUEContextID", "a"}}},
                                    {printers + "Office Two", nlohmann::json::object()},
                                    {printers + "Desk\\PrinterDriverData", {{"SoftwareCUEContextID", "b"}}}};
    sim::SimMachine& sim = machine.Load();
    ISpooler& spooler = sim.platform().spooler;

    std::vector<PrinterRecord> records = *spooler.EnumLocalPrinters();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].port, L"USB001");

    EXPECT_EQ(spooler.Open(L"Nowhere").error, 1801u);
    EXPECT_EQ(spooler.Open(L"Hall").printer, nullptr);
    EXPECT_NE(spooler.Open(L"Hall").error, 0u);
    EXPECT_NE(spooler.Open(L"Desk").printer->Delete(), 0u);
    EXPECT_EQ(spooler.Open(L"OFFICE").printer->Delete(), 0u);

    records = *spooler.EnumLocalPrinters();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, L"Desk");
    nlohmann::json registry = sim.State()["registry"];
    EXPECT_FALSE(registry.contains(printers + "Office\\PrinterDriverData"));
    EXPECT_TRUE(registry.contains(printers + "Office Two"));
    EXPECT_TRUE(registry.contains(printers + "Desk\\PrinterDriverData"));
    std::vector<nlohmann::json> deleted = machine.Events("printerDeleted");
    ASSERT_EQ(deleted.size(), 2u);
    EXPECT_EQ(deleted[0]["name"], "Desk");
    EXPECT_EQ(deleted[0]["ok"], false);
    EXPECT_EQ(deleted[1]["ok"], true);

    test::TestMachine failing;
    failing.config()["enumPrintersFails"] = true;
    EXPECT_FALSE(failing.Load().platform().spooler.EnumLocalPrinters().has_value());
}

TEST(SimUserInterface, MessageBoxesAreJournalledAndAnsweredOk) {
    test::TestMachine machine;
    Platform& platform = machine.Load().platform();
    EXPECT_EQ(platform.ui.ShowMessageBox(L"ZQ Merle Refresh Installer", L"Line one\nline two"), 1);
    nlohmann::json box = machine.Events("messageBox").at(0);
    EXPECT_EQ(box["caption"], "ZQ Merle Refresh Installer");
    EXPECT_EQ(box["text"], "Line one\nline two");
    EXPECT_EQ(box["t"], 0);
}

TEST(SimThreads, ThreadsRunAndLocksExclude) {
    test::TestMachine machine;
    Platform& platform = machine.Load().platform();
    std::unique_ptr<ILock> lock = platform.threads.MakeLock();
    int counter = 0;
    std::vector<std::unique_ptr<IThread>> threads;
    for (int i = 0; i < 4; ++i) {
        threads.push_back(platform.threads.Start([&] {
            for (int j = 0; j < 1000; ++j) {
                LockGuard guard(*lock);
                ++counter;
            }
        }));
    }
    for (auto& thread : threads) thread->Join();
    EXPECT_EQ(counter, 4000);
}

}  // namespace
}  // namespace zq::sim

namespace zq::test {
namespace {

TEST(SimTestMachine, RunJournalsStartAndExitAroundTheLauncher) {
    TestMachine machine;
    machine.MakeFolder("C:\\Temp");
    machine.config()["argumentText"] = "-log 1";
    machine.Run("-log 127");
    std::vector<nlohmann::json> journal = machine.Journal();
    ASSERT_GE(journal.size(), 2u);
    EXPECT_EQ(journal.front()["event"], "start");
    EXPECT_EQ(journal.front()["program"], "C:\\Package\\zqmerlesetup.exe");
    EXPECT_EQ(journal.front()["argumentText"], "-log 127");
    EXPECT_EQ(journal.back()["event"], "exit");
    EXPECT_EQ(journal.back()["status"], 0);
    // The log lines come back without their time stamps and line ends.
    ASSERT_FALSE(machine.LogMessages().empty());
    EXPECT_EQ(machine.LogMessages()[0], "+++       Starting : zqmerlesetup.exe");
    EXPECT_EQ(machine.Log().rfind("[03/07/2009 09:05:02]+++", 0), 0u);
}

}  // namespace
}  // namespace zq::test
