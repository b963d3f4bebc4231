// The plug-in end to end on Windows XP, where alone it does its work: in a
// prefix of its own set to XP x64 / Server 2003 (5.2, winxp64) and, for
// the 32-bit build, to a 32-bit XP (5.1). The imaging software installed
// (registered in the 32-bit registry view), its tray application and the
// device service "zqdevsvc" running, a package whose settings file lists
// the driver to update. RunUpdateDriver is called as the runner calls it,
// so no dialog is involved.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cwctype>
#include <memory>

#include "plugin/update_driver_plugin.h"
#include "tests/wine/plugin_test_support.h"

namespace zq::test {
namespace {

const WString kDriverName = L"ZQ Merle 5400 Series";
const WString kPrinterName = L"ZQ Test Printer";

WString LowerCase(WString text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The messages from the first one equal to `first` to the end; empty when
// there is none.
std::vector<std::string> MessagesFrom(const std::vector<std::string>& messages, const std::string& first) {
    auto at = std::find(messages.begin(), messages.end(), first);
    return {at, messages.end()};
}

// --- A printer of the prefix ---------------------------------------------------
//
// Wine's fresh prefix has ports but no printer driver; a driver on Wine's
// PostScript driver with a dummy PPD is enough for AddPrinterW.

const char kDummyPpd[] =
    "*PPD-Adobe: \"4.3\"\r\n"
    "*FormatVersion: \"4.3\"\r\n"
    "*FileVersion: \"1.0\"\r\n"
    "*LanguageVersion: English\r\n"
    "*Manufacturer: \"ZQ\"\r\n"
    "*ModelName: \"ZQ Merle 5400 Series\"\r\n"
    "*NickName: \"ZQ Merle 5400 Series\"\r\n"
    "*ShortNickName: \"ZQ Merle 5400 Series\"\r\n"
    "*PCFileName: \"ZQTEST.PPD\"\r\n"
    "*PSVersion: \"(3010.000) 0\"\r\n"
    "*DefaultPageSize: A4\r\n"
    "*PageSize A4: \"<</PageSize[595 842]>>setpagedevice\"\r\n"
    "*DefaultImageableArea: A4\r\n"
    "*ImageableArea A4: \"0 0 595 842\"\r\n"
    "*DefaultPaperDimension: A4\r\n"
    "*PaperDimension A4: \"595 842\"\r\n";

struct PrinterHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return nullptr; }
    static void Close(Value value) { ::ClosePrinter(value); }
};
using ScopedPrinter = win32::Scoped<PrinterHandleTraits>;

std::vector<WString> LocalPrinterNames() {
    DWORD needed = 0, returned = 0;
    ::EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    std::vector<WString> names;
    if (needed == 0) return names;
    if (!::EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned)) {
        ADD_FAILURE() << "EnumPrintersW failed, error " << ::GetLastError();
        return names;
    }
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) names.emplace_back(printers[i].pPrinterName);
    return names;
}

bool AddTestPrinter(const WString& printerName, const WString& driverName) {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    if (!::GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory,
                                      &needed)) {
        ADD_FAILURE() << "GetPrinterDriverDirectoryW failed, error " << ::GetLastError();
        return false;
    }
    WriteFileBytes(WString(directory) + L"\\zqtest.ppd", kDummyPpd);

    std::wstring name = driverName, driverFile = L"wineps.drv", dataFile = L"zqtest.ppd";
    DRIVER_INFO_3W driver{};
    driver.cVersion = 3;
    driver.pName = name.data();
    driver.pDriverPath = driverFile.data();
    driver.pDataFile = dataFile.data();
    driver.pConfigFile = driverFile.data();
    if (!::AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE*>(&driver))) {
        ADD_FAILURE() << "AddPrinterDriverW failed, error " << ::GetLastError();
        return false;
    }

    std::wstring printer = printerName, port = L"FILE:", processor = L"winprint", datatype = L"RAW";
    PRINTER_INFO_2W info{};
    info.pPrinterName = printer.data();
    info.pPortName = port.data();
    info.pDriverName = name.data();
    info.pPrintProcessor = processor.data();
    info.pDatatype = datatype.data();
    ScopedPrinter added(::AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    if (!added) ADD_FAILURE() << "AddPrinterW failed, error " << ::GetLastError();
    return added.IsValid();
}

void RemovePrinterIfPresent(const WString& printerName) {
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!::OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), &handle, &defaults)) return;
    ScopedPrinter printer(handle);
    ::DeletePrinter(printer.Get());
}

// The printer's driver data as the spooler keeps it (64-bit view), created
// when missing.
bool WriteDeviceInstanceId(const WString& printerName, const WString& id) {
    const WString path = PrinterDriverDataKey(printerName);
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
    win32::ScopedRegistryKey owner(key);
    const DWORD bytes = static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, L"SoftwareCUEContextID", 0, REG_SZ, reinterpret_cast<const BYTE*>(id.c_str()),
                            bytes) == ERROR_SUCCESS;
}

// --- The run ---------------------------------------------------------------------

class PluginOnWindowsXp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LOBYTE(LOWORD(::GetVersion())), 5) << "this prefix reports Windows XP";
        ASSERT_TRUE(RunningProcessIds(kTrayExeName).empty()) << "no zqnotify.exe runs before the test";

        software_ = std::make_unique<InstalledImagingSoftware>(Name(L"pictavo"));
        service_ = std::make_unique<InstalledDevService>();
        ASSERT_TRUE(service_->IsInstalled());
        ASSERT_TRUE(service_->StartAndWaitUntilRunning());
        servicePid_ = service_->ProcessId();
        tray_ = std::make_unique<StartedProgram>(software_->TrayPath());
        ASSERT_TRUE(tray_->IsStarted());

        settingsPath_ = WriteSettingsFile(Name(L"package"), {kDriverName});
        packageFolder_ = settingsPath_.substr(0, settingsPath_.rfind(L'\\'));
        launcher_ = std::make_unique<LauncherUnderTest>(Name(L"log"));
    }

    void TearDown() override {
        RemovePrinterIfPresent(kPrinterName);
        ::DeletePrinterDriverW(nullptr, nullptr, const_cast<wchar_t*>(kDriverName.c_str()));
        // The tray application that the plug-in started again.
        for (DWORD pid : RunningProcessIds(kTrayExeName))
            if (!tray_ || pid != tray_->Pid()) EndProcessById(pid);
    }

    // C:\zqtest\xp-<test>-<part>, lower case like a command line the runner
    // hands over.
    static WString Name(const WString& part) {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return LowerCase(L"xp-" + WString(test.begin(), test.end()) + L"-" + part);
    }

    // The entry "lanpatch.exe <inf path>" as the runner hands it over: in
    // lower case throughout.
    int RunPlugin(CUpdateDriverPlugin& context, const WString& infPath) {
        return RunUpdateDriver(launcher_->process(), context, LowerCase(L"lanpatch.exe  " + infPath + L" "));
    }

    // What every run leaves: the old tray application ended and a new one
    // running; the service stopped and running again (a new process).
    void ExpectTrayAndServiceRestarted() {
        EXPECT_TRUE(tray_->WaitForEnd()) << "the running tray application was terminated";
        const std::vector<DWORD> trays = RunningProcessIds(kTrayExeName);
        EXPECT_EQ(trays.size(), 1u) << "the tray application was started again";
        EXPECT_TRUE(std::find(trays.begin(), trays.end(), tray_->Pid()) == trays.end());
        EXPECT_EQ(service_->WaitForState(SERVICE_RUNNING), static_cast<DWORD>(SERVICE_RUNNING));
        EXPECT_NE(service_->ProcessId(), servicePid_) << "the service was stopped and started again";
    }

    std::vector<std::string> ExpectedStart() const {
        return {">> Stating UpdateDriver Plug-in", "** InstallFolder : " + Narrow(software_->InstallFolder()),
                "Process Killed Successfully : zqnotify.exe", "** zqdevsvc Service stopped successfully"};
    }

    std::vector<std::string> ExpectedEnd() const {
        return {"** Starting Trayapp", "** Process : " + Narrow(software_->TrayPath()) + " return with 1",
                "<< End of UpdateDriver Plug-in"};
    }

    std::unique_ptr<InstalledImagingSoftware> software_;
    std::unique_ptr<InstalledDevService> service_;
    std::unique_ptr<StartedProgram> tray_;
    DWORD servicePid_ = 0;
    WString settingsPath_;
    WString packageFolder_;
    std::unique_ptr<LauncherUnderTest> launcher_;
};

TEST_F(PluginOnWindowsXp, MissingInfFileLeavesThePrintersAlone) {
    ASSERT_TRUE(LocalPrinterNames().empty()) << "a fresh prefix has no printer";
    const WString inf = LowerCase(packageFolder_ + L"\\drivers\\zqmerle.inf");  // never written
    CUpdateDriverPlugin context(settingsPath_);

    EXPECT_EQ(RunPlugin(context, inf), 1);

    const std::vector<std::string> log = launcher_->LogMessages();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 4), ExpectedStart());
    std::vector<std::string> tail = {"** Enumerating Printers and Faxes folder",
                                     "## INF file not found : " + Narrow(inf)};
    for (const std::string& line : ExpectedEnd()) tail.push_back(line);
    EXPECT_EQ(MessagesFrom(log, tail.front()), tail);

    EXPECT_EQ(context.installFolder, software_->InstallFolder());
    EXPECT_EQ(context.driverNames, std::vector<WString>{kDriverName});
    EXPECT_EQ(context.driverCount, 1);
    ExpectTrayAndServiceRestarted();
}

TEST_F(PluginOnWindowsXp, NoPrinterMatchesInAFreshPrefix) {
    ASSERT_TRUE(LocalPrinterNames().empty()) << "a fresh prefix has no printer";
    ASSERT_TRUE(::CreateDirectoryW((packageFolder_ + L"\\drivers").c_str(), nullptr));
    const WString inf = LowerCase(packageFolder_ + L"\\drivers\\zqmerle.inf");
    WriteFileBytes(inf, "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n");
    CUpdateDriverPlugin context(settingsPath_);

    EXPECT_EQ(RunPlugin(context, inf), 1);

    const std::vector<std::string> log = launcher_->LogMessages();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 4), ExpectedStart());
    std::vector<std::string> tail = {"** Enumerating Printers and Faxes folder", "No matching printer found"};
    for (const std::string& line : ExpectedEnd()) tail.push_back(line);
    EXPECT_EQ(MessagesFrom(log, tail.front()), tail);
    ExpectTrayAndServiceRestarted();
}

TEST_F(PluginOnWindowsXp, MatchingPrinterIsHandedToPrintUiAndNeverLost) {
    const WString& printer = kPrinterName;
    const WString deviceId = L"USBPRINT\\ZQMERLE5400\\7&2F1C3A&0&USB001";
    ASSERT_TRUE(AddTestPrinter(printer, kDriverName));
    ASSERT_EQ(LocalPrinterNames(), std::vector<WString>{printer});
    ASSERT_TRUE(WriteDeviceInstanceId(printer, deviceId));
    ASSERT_TRUE(::CreateDirectoryW((packageFolder_ + L"\\drivers").c_str(), nullptr));
    const WString inf = LowerCase(packageFolder_ + L"\\drivers\\zqmerle.inf");
    WriteFileBytes(inf, "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n");
    CUpdateDriverPlugin context(settingsPath_);

    EXPECT_EQ(RunPlugin(context, inf), 1);

    const std::vector<std::string> log = launcher_->LogMessages();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 4), ExpectedStart());
    std::vector<std::string> tail = MessagesFrom(log, "** Enumerating Printers and Faxes folder");
    const std::vector<std::string> printerWork = {
        "** Enumerating Printers and Faxes folder", "Port : FILE:",
        "ZQ Test Printer is a Network Printer",     "DeviceInstanceID : " + Narrow(deviceId),
        "!! Deleting Printer  : ZQ Test Printer",   "!! Printer deleted   : ZQ Test Printer",
    };
    ASSERT_GE(tail.size(), printerWork.size() + 1 + ExpectedEnd().size());
    EXPECT_EQ(std::vector<std::string>(tail.begin(), tail.begin() + printerWork.size()), printerWork);

    // What Wine's printui makes of /if is its own affair: only that it was
    // run with these arguments and waited for is the plug-in's.
    const std::string added = "!! Printer Added  : rundll32 printui.dll,PrintUIEntry /if /b \"ZQ Test Printer\" /f \"" +
                              Narrow(inf) + "\" /r \"FILE:\" /m \"ZQ Merle 5400 Series\" returns with ";
    EXPECT_EQ(tail[printerWork.size()].substr(0, added.size()), added) << tail[printerWork.size()];
    // Whatever Wine's printui did, the printer is there again: re-created
    // with the identifier and the marker, or put back from its record with
    // its identifier alone.
    std::vector<std::string> rest(tail.begin() + printerWork.size() + 1, tail.end());
    ASSERT_FALSE(rest.empty());
    const bool recreated = rest.front().rfind("Updating new printer with DeviceInstanceID : ", 0) == 0;
    if (recreated) {
        EXPECT_EQ(rest.front(), "Updating new printer with DeviceInstanceID : " + Narrow(deviceId));
        rest.erase(rest.begin());
    } else {
        const std::vector<std::string> restored = {"## Printer not re-created : ZQ Test Printer",
                                                   "!! Printer restored : ZQ Test Printer"};
        ASSERT_GE(rest.size(), restored.size());
        EXPECT_EQ(std::vector<std::string>(rest.begin(), rest.begin() + 2), restored);
        rest.erase(rest.begin(), rest.begin() + 2);
    }
    EXPECT_EQ(rest, ExpectedEnd());
    EXPECT_EQ(LocalPrinterNames(), std::vector<WString>{printer});
    HKEY key = nullptr;
    ASSERT_EQ(
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, PrinterDriverDataKey(printer).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key),
        ERROR_SUCCESS);
    win32::ScopedRegistryKey owner(key);
    wchar_t id[300] = {};
    DWORD bytes = sizeof id - sizeof(wchar_t);
    ASSERT_EQ(::RegQueryValueExW(key, L"SoftwareCUEContextID", nullptr, nullptr, reinterpret_cast<BYTE*>(id), &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(WString(id), deviceId);
    DWORD marker = 0;
    bytes = sizeof marker;
    const bool hasMarker = ::RegQueryValueExW(key, L"AiODDPnPWorked", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&marker), &bytes) == ERROR_SUCCESS;
    EXPECT_EQ(hasMarker, recreated);
    ExpectTrayAndServiceRestarted();
}

}  // namespace
}  // namespace zq::test
