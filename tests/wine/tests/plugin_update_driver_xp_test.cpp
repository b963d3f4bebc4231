// The plug-in end to end on Windows XP, where alone it does its work: XP
// x64 / Server 2003 (5.2, winxp64) and a 32-bit XP (5.1). The imaging
// software installed (registered in the 32-bit registry view), its tray
// application and the device service "zqdevsvc" running, a package whose
// settings file lists the driver to update. RunUpdateDriver is called as
// the runner calls it, so no dialog is involved. The service takes 2 s to
// stop, as the real one does. (What the plug-in does where no printer
// matches, or no INF is there, is the host tests' affair.)
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <algorithm>

#include "plugin/update_driver_plugin.h"
#include "tests/wine/support/wine_test_support.h"

namespace zq::test {
namespace {

const WString kDriverName = L"ZQ Merle 5400 Series";
const WString kPrinterName = L"ZQ Test Printer";
const std::string kInfText = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n";

// --- A printer of the prefix ---------------------------------------------------

// Through the spooler layer of the platform.
std::vector<WString> LocalPrinterNames() {
    std::vector<WString> names;
    for (const PrinterRecord& printer :
         win32::Win32Spooler().EnumLocalPrinters().value_or(std::vector<PrinterRecord>{}))
        names.push_back(printer.name);
    return names;
}

// Wine's fresh prefix has ports but no printer driver; a driver on Wine's
// PostScript driver with a dummy PPD (support/zqtest.ppd) is enough for a
// printer, added through the spooler layer. 0, or the error.
ErrorCode AddTestPrinter() {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    const WString ppd = kSourceDir + L"\\tests\\wine\\support\\zqtest.ppd";
    std::wstring name = kDriverName, driverFile = L"wineps.drv", dataFile = L"zqtest.ppd";
    DRIVER_INFO_3W driver{};
    driver.cVersion = 3;
    driver.pName = name.data();
    driver.pDriverPath = driverFile.data();
    driver.pDataFile = dataFile.data();
    driver.pConfigFile = driverFile.data();
    if (!::GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory,
                                      &needed) ||
        !::CopyFileW(ppd.c_str(), (WString(directory) + L"\\zqtest.ppd").c_str(), FALSE) ||
        !::AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE*>(&driver)))
        return ::GetLastError();
    return win32::Win32Spooler().Add(PrinterRecord{kPrinterName, L"FILE:", kDriverName, L"winprint", L"RAW"});
}

// --- The run ---------------------------------------------------------------------

// A printer of the XP driver: the plug-in deletes it, hands it to printui
// with the package's INF, and whatever Wine's printui makes of /if, the
// printer is there at the end with its identifier (re-created, or put back
// from its record). Every run leaves the old tray application ended and a
// new one running, the service stopped and running again (a new process).
// The prefix is this test's alone: what the run leaves goes with it, but
// for the tray application the plug-in started, which would keep the test's
// output open.
TEST(PluginOnWindowsXp, MatchingPrinterIsHandedToPrintUiAndNeverLost) {
    struct EndTrays {
        ~EndTrays() {
            for (DWORD pid : RunningProcessIds(kTrayExeName)) {
                win32::ScopedHandle tray(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
                if (tray && ::TerminateProcess(tray.Get(), 0)) ::WaitForSingleObject(tray.Get(), kPatienceMs);
            }
        }
    } endTrays;
    ASSERT_EQ(LOBYTE(LOWORD(::GetVersion())), 5) << "this prefix reports Windows XP";
    // The imaging software: its tray application in <folder>\Pictavo\Bin,
    // the folder named in the 32-bit view (Wow6432Node on 64-bit Windows),
    // where the launcher's default-view open finds it; the other view names
    // a folder that is not it.
    const WString software = FreshTestFolder(L"xp-pictavo") + L"\\",
                  trayPath = software + L"Pictavo\\Bin\\zqnotify.exe";
    ASSERT_TRUE(::CreateDirectoryW((software + L"Pictavo").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((software + L"Pictavo\\Bin").c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(kTrayProgram.c_str(), trayPath.c_str(), FALSE)) << ::GetLastError();
    WriteLocalMachineString(L"SOFTWARE\\Zelt\\Pictavo", L"InstallFolder", software, 0);
    if (IsSixtyFourBitWindows())
        WriteLocalMachineString(L"SOFTWARE\\Zelt\\Pictavo", L"InstallFolder", L"C:\\zqtest\\not-this-view\\",
                                OtherRegistryView());
    InstalledDevService service(2000);
    ASSERT_TRUE(service.IsInstalled());
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    const DWORD servicePid = service.ProcessId();
    StartedProgram tray(Quoted(trayPath));
    ASSERT_EQ(RunningProcessIds(kTrayExeName), std::vector<DWORD>{tray.Pid()}) << "no other zqnotify.exe runs";
    // The package: autorun.inf listing the driver in [UpdateDrivers], and its INF.
    const WString folder = FreshTestFolder(L"xp-package"), settings = folder + L"\\autorun.inf",
                  inf = folder + L"\\drivers\\zqmerle.inf";
    WriteFileBytes(settings, "[Version]\r\nLog=511\r\n\r\n[UpdateDrivers]\r\n1=" + Utf16ToUtf8(kDriverName) + "\r\n");
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\drivers").c_str(), nullptr));
    WriteFileBytes(inf, kInfText);
    LauncherUnderTest launcher(L"xp-log");
    const WString deviceId = L"USBPRINT\\ZQMERLE5400\\7&2F1C3A&0&USB001";
    ASSERT_EQ(AddTestPrinter(), 0u);
    ASSERT_EQ(LocalPrinterNames(), std::vector<WString>{kPrinterName});
    // The printer's driver data as the spooler keeps it (64-bit view).
    WriteLocalMachineString(PrinterDriverDataKey(kPrinterName), L"SoftwareCUEContextID", deviceId, KEY_WOW64_64KEY);

    // The entry as the runner hands it over, in lower case throughout.
    CUpdateDriverPlugin context(settings);
    EXPECT_EQ(RunUpdateDriver(launcher.process(), context, L"lanpatch.exe  " + ToLowerAscii(inf) + L" "), 1);
    EXPECT_EQ(tray.WaitForExit(), 0u) << "the running tray application was terminated";
    EXPECT_EQ(RunningProcessIds(kTrayExeName).size(), 1u) << "the tray application was started again";
    EXPECT_EQ(service.WaitForState(SERVICE_RUNNING), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_NE(service.ProcessId(), servicePid) << "the service was stopped and started again";
    const std::vector<std::string> log = launcher.LogMessages();
    const std::string added = "!! Printer Added  : rundll32 printui.dll,PrintUIEntry /if /b \"ZQ Test Printer\" /f \"" +
                              Utf16ToUtf8(ToLowerAscii(inf)) +
                              "\" /r \"FILE:\" /m \"ZQ Merle 5400 Series\" returns with ";
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(added, 0) == 0; }))
        << "printui was run with the printer's port, driver and the package's INF, and waited for";
    EXPECT_EQ(LocalPrinterNames(), std::vector<WString>{kPrinterName});

    // Read through the registry layer of the platform, in the 64-bit view.
    auto key = win32::Win32Registry().OpenLocalMachineKey(PrinterDriverDataKey(kPrinterName), RegistryAccess::Read,
                                                          RegistryView::Force64);
    ASSERT_NE(key, nullptr);
    const std::optional<RegistryValue> id = key->QueryValue(L"SoftwareCUEContextID", 600);
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(WString(reinterpret_cast<const wchar_t*>(id->data.data())), deviceId);
}

}  // namespace
}  // namespace zq::test
