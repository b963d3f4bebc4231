// The plug-in end to end on Windows XP, where alone it does its work: XP
// x64 / Server 2003 (5.2, winxp64) and a 32-bit XP (5.1). The imaging
// software installed (registered in the 32-bit registry view), its tray
// application and the device service "zqdevsvc" running, a package whose
// settings file lists the driver to update. RunUpdateDriver is called as
// the runner calls it, so no dialog is involved. The service takes 2 s to
// stop: the plug-in's start follows its stop at once where no printer
// matches, and only a wait for the stop keeps that start from being refused
// (1056) and the service from staying stopped.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <memory>

#include "plugin/update_driver_plugin.h"
#include "tests/wine/support/wine_test_support.h"

namespace zq::test {
namespace {

using Log = std::vector<std::string>;
const WString kDriverName = L"ZQ Merle 5400 Series";
const WString kPrinterName = L"ZQ Test Printer";
const std::string kInfText = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n";

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

// Through the spooler layer of the platform, tested on its own.
std::vector<WString> LocalPrinterNames() {
    std::vector<WString> names;
    for (const PrinterRecord& printer :
         win32::Win32Spooler().EnumLocalPrinters().value_or(std::vector<PrinterRecord>{}))
        names.push_back(printer.name);
    return names;
}

bool AddTestPrinter(const WString& printerName, const WString& driverName) {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    if (!::GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory,
                                      &needed))
        return false;
    WriteFileBytes(WString(directory) + L"\\zqtest.ppd", kDummyPpd);

    std::wstring name = driverName, driverFile = L"wineps.drv", dataFile = L"zqtest.ppd";
    DRIVER_INFO_3W driver{};
    driver.cVersion = 3;
    driver.pName = name.data();
    driver.pDriverPath = driverFile.data();
    driver.pDataFile = dataFile.data();
    driver.pConfigFile = driverFile.data();
    if (!::AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE*>(&driver))) return false;

    std::wstring printer = printerName, port = L"FILE:", processor = L"winprint", datatype = L"RAW";
    PRINTER_INFO_2W info{};
    info.pPrinterName = printer.data();
    info.pPortName = port.data();
    info.pDriverName = name.data();
    info.pPrintProcessor = processor.data();
    info.pDatatype = datatype.data();
    return ScopedPrinter(::AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info))).IsValid();
}

void RemovePrinterIfPresent(const WString& printerName) {
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!::OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), &handle, &defaults)) return;
    ScopedPrinter printer(handle);
    ::DeletePrinter(printer.Get());
}

// --- The run ---------------------------------------------------------------------

class PluginOnWindowsXp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LOBYTE(LOWORD(::GetVersion())), 5) << "this prefix reports Windows XP";
        ASSERT_TRUE(tray_.IsStarted());
        ASSERT_EQ(RunningProcessIds(kTrayExeName), std::vector<DWORD>{tray_.Pid()}) << "no other zqnotify.exe runs";
        ASSERT_TRUE(LocalPrinterNames().empty()) << "a fresh prefix has no printer";
        ASSERT_TRUE(service_.IsInstalled());
        ASSERT_TRUE(service_.StartAndWaitUntilRunning());
        servicePid_ = service_.ProcessId();
        ASSERT_TRUE(::CreateDirectoryW((packageFolder_ + L"\\drivers").c_str(), nullptr));
    }

    void TearDown() override {
        RemovePrinterIfPresent(kPrinterName);
        ::DeletePrinterDriverW(nullptr, nullptr, const_cast<wchar_t*>(kDriverName.c_str()));
        for (DWORD pid : RunningProcessIds(kTrayExeName))  // the tray application the plug-in started again
            if (pid != tray_.Pid()) EndProcessById(pid);
    }

    // C:\zqtest\xp-<test>-<part>, lower case like a command line the runner
    // hands over.
    static WString Name(const WString& part) {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return Lower(L"xp-" + WString(test.begin(), test.end()) + L"-" + part);
    }

    // The entry "lanpatch.exe <inf path>" as the runner hands it over, in
    // lower case throughout; the whole log, and what every run leaves: the
    // old tray application ended and a new one running, the service
    // stopped and running again (a new process).
    Log RunPlugin(CUpdateDriverPlugin& context) {
        EXPECT_EQ(RunUpdateDriver(launcher_.process(), context, L"lanpatch.exe  " + inf_ + L" "), 1);
        EXPECT_EQ(tray_.WaitForExit(), 0u) << "the running tray application was terminated";
        const std::vector<DWORD> trays = RunningProcessIds(kTrayExeName);
        EXPECT_EQ(trays.size(), 1u) << "the tray application was started again";
        EXPECT_TRUE(std::find(trays.begin(), trays.end(), tray_.Pid()) == trays.end());
        EXPECT_EQ(service_.WaitForState(SERVICE_RUNNING), static_cast<DWORD>(SERVICE_RUNNING));
        EXPECT_NE(service_.ProcessId(), servicePid_) << "the service was stopped and started again";
        const Log log = launcher_.LogMessages();
        const Log start = {">> Stating UpdateDriver Plug-in", "** InstallFolder : " + Narrow(software_.InstallFolder()),
                           "Process Killed Successfully : zqnotify.exe", "** zqdevsvc Service stopped successfully"};
        EXPECT_EQ(Log(log.begin(), log.begin() + std::min(log.size(), start.size())), start);
        return Log(std::find(log.begin(), log.end(), "** Enumerating Printers and Faxes folder"), log.end());
    }

    Log ExpectedEnd() const {
        return {"** Starting Trayapp", "** Process : " + Narrow(software_.TrayPath()) + " return with 1",
                "<< End of UpdateDriver Plug-in"};
    }

    InstalledImagingSoftware software_{Name(L"pictavo")};
    InstalledDevService service_{2000};
    DWORD servicePid_ = 0;
    StartedProgram tray_{Quoted(software_.TrayPath())};
    WString settingsPath_ = WriteSettingsFile(Name(L"package"), {kDriverName});
    WString packageFolder_ = settingsPath_.substr(0, settingsPath_.rfind(L'\\'));
    WString inf_ = Lower(packageFolder_ + L"\\drivers\\zqmerle.inf");
    LauncherUnderTest launcher_{Name(L"log")};

    // A run that finds no printer to work on: the finding, then the end.
    void ExpectNoPrinterWork(const std::string& finding) {
        CUpdateDriverPlugin context(settingsPath_);
        Log expected = {"** Enumerating Printers and Faxes folder", finding};
        for (const std::string& line : ExpectedEnd()) expected.push_back(line);
        EXPECT_EQ(RunPlugin(context), expected);
        EXPECT_EQ(context.installFolder, software_.InstallFolder());
        EXPECT_EQ(context.driverNames, std::vector<WString>{kDriverName});
        EXPECT_EQ(context.driverCount, 1);
    }
};

TEST_F(PluginOnWindowsXp, MissingInfFileLeavesThePrintersAlone) {
    ExpectNoPrinterWork("## INF file not found : " + Narrow(inf_));
}

TEST_F(PluginOnWindowsXp, NoPrinterMatchesInAFreshPrefix) {
    WriteFileBytes(inf_, kInfText);
    ExpectNoPrinterWork("No matching printer found");
}

TEST_F(PluginOnWindowsXp, MatchingPrinterIsHandedToPrintUiAndNeverLost) {
    const WString deviceId = L"USBPRINT\\ZQMERLE5400\\7&2F1C3A&0&USB001";
    ASSERT_TRUE(AddTestPrinter(kPrinterName, kDriverName)) << "error " << ::GetLastError();
    ASSERT_EQ(LocalPrinterNames(), std::vector<WString>{kPrinterName});
    // The printer's driver data as the spooler keeps it (64-bit view).
    WriteLocalMachineString(PrinterDriverDataKey(kPrinterName), L"SoftwareCUEContextID", deviceId, KEY_WOW64_64KEY);
    WriteFileBytes(inf_, kInfText);
    CUpdateDriverPlugin context(settingsPath_);

    Log tail = RunPlugin(context);
    const Log printerWork = {
        "** Enumerating Printers and Faxes folder", "Port : FILE:",
        "ZQ Test Printer is a Network Printer",     "DeviceInstanceID : " + Narrow(deviceId),
        "!! Deleting Printer  : ZQ Test Printer",   "!! Printer deleted   : ZQ Test Printer",
    };
    ASSERT_GE(tail.size(), printerWork.size() + 1 + ExpectedEnd().size());
    EXPECT_EQ(Log(tail.begin(), tail.begin() + printerWork.size()), printerWork);
    // What Wine's printui makes of /if is its own affair: only that it was
    // run with these arguments and waited for is the plug-in's.
    const std::string added = "!! Printer Added  : rundll32 printui.dll,PrintUIEntry /if /b \"ZQ Test Printer\" /f \"" +
                              Narrow(inf_) + "\" /r \"FILE:\" /m \"ZQ Merle 5400 Series\" returns with ";
    EXPECT_EQ(tail[printerWork.size()].substr(0, added.size()), added) << tail[printerWork.size()];
    // Whatever Wine's printui did, the printer is there again: re-created
    // with the identifier and the marker, or put back from its record with
    // its identifier alone.
    Log rest(tail.begin() + printerWork.size() + 1, tail.end());
    const bool recreated = rest.front().rfind("Updating new printer with DeviceInstanceID : ", 0) == 0;
    Log expectedRest =
        recreated ? Log{"Updating new printer with DeviceInstanceID : " + Narrow(deviceId)}
                  : Log{"## Printer not re-created : ZQ Test Printer", "!! Printer restored : ZQ Test Printer"};
    for (const std::string& line : ExpectedEnd()) expectedRest.push_back(line);
    EXPECT_EQ(rest, expectedRest);
    EXPECT_EQ(LocalPrinterNames(), std::vector<WString>{kPrinterName});

    // Read through the registry layer of the platform, tested on its own.
    auto key = win32::Win32Registry().OpenLocalMachineKey(PrinterDriverDataKey(kPrinterName), RegistryAccess::Read,
                                                          RegistryView::Force64);
    ASSERT_NE(key, nullptr);
    const std::optional<RegistryValue> id = key->QueryValue(L"SoftwareCUEContextID", 600);
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(WString(reinterpret_cast<const wchar_t*>(id->data.data())), deviceId);
    EXPECT_EQ(key->QueryValue(L"AiODDPnPWorked", 4).has_value(), recreated);
}

}  // namespace
}  // namespace zq::test
