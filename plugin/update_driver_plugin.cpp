#include "plugin/update_driver_plugin.h"

#include "launch/section_launcher.h"
#include "plugin/process_control.h"

namespace zq {

namespace {

const wchar_t kImagingSoftwareKey[] = L"SOFTWARE\\Zelt\\Pictavo";
// A string value read into a buffer of 260 characters.
constexpr std::size_t kPathValueBytes = 260 * sizeof(std::uint16_t);

// A string value of an open key, terminated within a 260-character buffer;
// any registry type is taken as text.
std::optional<WString> ReadPathValue(IRegistryKey& key, const WString& name) {
    std::optional<RegistryValue> value = key.QueryValue(name, kPathValueBytes);
    if (!value) return std::nullopt;
    return RegistryStringWithin(value->data, kPathValueBytes);
}

}  // namespace

WString InfPathOfCommandLine(const WString& commandLine) {
    return TrimEndThenStart(ReplaceAll(commandLine, kPluginMarker, L""));
}

namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// "\\server\share", with more after it or not: both names present.
bool IsUncPath(const WString& path) {
    if (path.size() < 2 || path[0] != L'\\' || path[1] != L'\\') return false;
    const std::size_t shareAt = path.find(L'\\', 2);
    if (shareAt == WString::npos || shareAt == 2) return false;
    return shareAt + 1 < path.size() && path[shareAt + 1] != L'\\';
}

}  // namespace

bool IsAbsoluteFolder(const WString& folder) {
    const bool drive = folder.size() >= 3 && IsAsciiLetter(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
    return drive || IsUncPath(folder);
}

std::optional<WString> TrayApplicationPath(const WString& installFolder) {
    // The launcher runs elevated: a relative folder would be looked up from
    // the current folder, which need not be the imaging software's.
    if (!IsAbsoluteFolder(installFolder)) return std::nullopt;
    WString folder = installFolder;
    if (folder.back() != L'\\') folder += L'\\';
    return folder + L"Pictavo\\Bin\\" + kTrayApplication;
}

int RunUpdateDriver(LauncherProcess& process, CUpdateDriverPlugin& context, const WString& commandLine) {
    CLogFile& log = process.g_logFile;
    const WString infPath = InfPathOfCommandLine(commandLine);
    log.LogMessage(LOG_MEDIUM, L">> Stating UpdateDriver Plug-in");
    // Every Windows of major version 5 passes: 2000, XP and Server 2003.
    if (process.platform.version.MajorVersion() != 5) {
        log.LogMessage(LOG_MEDIUM, L"** OS is not XP. This is a fix for XP network install");
        return 0;
    }
    GetInstallFolder(process, context);
    KillProcess(process, kTrayApplication);
    ChangeServiceState(process, kDeviceService, kServiceStop);
    // The service may use the printers until it has stopped. A service that
    // does not stop in time is logged, and the printers are done all the same.
    WaitUntilServiceStopped(process, kDeviceService);
    ReadUpdateDrivers(process, context);
    RecreatePrinters(process, context, infPath);
    // Started again in every case, whatever the steps before gave.
    StartTrayApp(process, context);
    // A start while the old instance is still stopping fails (1056), and the
    // service would stay stopped.
    WaitWhileServiceStopping(process, kDeviceService);
    ChangeServiceState(process, kDeviceService, kServiceStart);
    log.LogMessage(LOG_MEDIUM, L"<< End of UpdateDriver Plug-in");
    return 1;
}

int GetInstallFolder(LauncherProcess& process, CUpdateDriverPlugin& context) {
    CLogFile& log = process.g_logFile;
    auto key = process.platform.registry.OpenLocalMachineKey(kImagingSoftwareKey, RegistryAccess::Read);
    if (!key) {
        log.LogMessage(LOG_MEDIUM, L"## I didn't get install folder");
        return 0;
    }
    std::optional<WString> folder = ReadPathValue(*key, L"InstallFolder");
    if (!folder) log.LogMessage(LOG_MEDIUM, L"## I didn't get install folder");
    context.installFolder = folder.value_or(L"");
    key.reset();
    log.LogMessage(LOG_MEDIUM, L"** InstallFolder : %s", context.installFolder);
    return 0;
}

int StartTrayApp(LauncherProcess& process, CUpdateDriverPlugin& context) {
    const std::optional<WString> path = TrayApplicationPath(context.installFolder);
    if (!path) {
        process.g_logFile.LogMessage(LOG_MEDIUM, L"## Tray application not started : %s", context.installFolder);
        return 0;
    }
    process.g_logFile.LogMessage(LOG_MEDIUM, L"** Starting Trayapp");
    // The launcher runs elevated: the tray application is started by its
    // path alone, so an install folder with blanks cannot make an unquoted
    // search run C:\Program.exe.
    return RunProcess(process, *path, 0, *path);
}

int ReadUpdateDrivers(LauncherProcess& process, CUpdateDriverPlugin& context) {
    CIniFile settings(process.platform, process.g_logFile, context.settingsFilePath);
    const int count = settings.GetNoOfKeys(L"UpdateDrivers");
    context.driverCount = count;
    context.driverNames.assign(static_cast<std::size_t>(count), WString());
    for (int i = 1; i <= count; ++i)
        settings.ReadStrValue(L"UpdateDrivers", Format(L"%d", i), context.driverNames[i - 1]);
    return 1;
}

bool IsUpdateDriver(const CUpdateDriverPlugin& context, const WString& driverName) {
    for (const WString& name : context.driverNames)
        if (EqualsIgnoringAsciiCase(name, driverName)) return true;
    return false;
}

int RecreatePrinters(LauncherProcess& process, CUpdateDriverPlugin& context, const WString& infPath) {
    CLogFile& log = process.g_logFile;
    try {
        log.LogMessage(LOG_MEDIUM, L"** Enumerating Printers and Faxes folder");
        std::optional<std::vector<PrinterRecord>> printers = process.platform.spooler.EnumLocalPrinters();
        if (!printers) return 0;
        // A printer deleted here is re-created from the INF file: without
        // that file the user would simply lose it.
        if (!process.platform.files.IsExistingFile(ReplaceAll(infPath, L"\"", L""))) {
            log.LogMessage(LOG_MEDIUM, L"## INF file not found : %s", infPath);
            return 1;
        }
        bool found = false;
        for (const PrinterRecord& printer : *printers) {
            const WString port = ToUpperAscii(printer.port);
            log.LogMessage(LOG_MEDIUM, L"Port : %s", port);
            if (Contains(port, L"USB")) {
                log.LogMessage(LOG_MEDIUM, L" %s is a USB Printer", printer.name);
                continue;
            }
            if (!IsUpdateDriver(context, printer.driver)) continue;
            log.LogMessage(LOG_MEDIUM, L"%s is a Network Printer", printer.name);
            const WString id = GetDeviceInstanceID(process, printer.name);
            // Each step runs even when the one before failed.
            RemovePrinter(process, printer.name);
            AddPrinterWithPrintUI(process, printer, infPath);
            SetDeviceInstanceID(process, printer.name, id);
            found = true;
        }
        if (!found) log.LogMessage(LOG_MEDIUM, L"No matching printer found");
        return 1;
    } catch (...) {
        return 0;
    }
}

WString PrinterDriverDataKey(const WString& printerName) {
    return L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + printerName + L"\\PrinterDriverData";
}

WString GetDeviceInstanceID(LauncherProcess& process, const WString& printerName) {
    auto key = process.platform.registry.OpenLocalMachineKey(PrinterDriverDataKey(printerName), RegistryAccess::Read,
                                                             RegistryView::Force64);
    if (!key) return L"";
    WString id = ReadPathValue(*key, L"SoftwareCUEContextID").value_or(L"");
    key.reset();
    process.g_logFile.LogMessage(LOG_MEDIUM, L"DeviceInstanceID : %s", id);
    return id;
}

int RemovePrinter(LauncherProcess& process, const WString& printerName) {
    CLogFile& log = process.g_logFile;
    auto systemText = [&process](ErrorCode code) {
        return ReplaceAll(process.platform.environment.SystemMessage(code), L"\r\n", L" ");
    };
    log.LogMessage(LOG_LOW, L"!! Deleting Printer  : %s", printerName);
    PrinterOpen opened = process.platform.spooler.Open(printerName);
    if (!opened.printer) {
        log.LogMessage(LOG_MEDIUM, L"OpenPrinter Failed : %s", systemText(opened.error));
        return 1;
    }
    if (ErrorCode error = opened.printer->Delete(); error != 0) {
        log.LogMessage(LOG_MEDIUM, L"!! DeletePrinter Failed : %s", systemText(error));
        return 1;
    }
    opened.printer.reset();
    log.LogMessage(LOG_MEDIUM, L"!! Printer deleted   : %s", printerName);
    return 0;
}

WString PrintUiCommandLine(const PrinterRecord& printer, const WString& infPath) {
    return Format(L"rundll32 printui.dll,PrintUIEntry /if /b \"%s\" /f \"%s\" /r \"%s\" /m \"%s\"", printer.name,
                  infPath, printer.port, printer.driver);
}

int AddPrinterWithPrintUI(LauncherProcess& process, const PrinterRecord& printer, const WString& infPath) {
    const WString commandLine = PrintUiCommandLine(printer, infPath);
    // The set-up tool is taken from the system folder by its full path, never
    // found by a search that begins in the launcher's (writable) folder.
    const WString rundll32 = process.platform.environment.SystemDirectory() + L"\\rundll32.exe";
    ProcessStart started = process.platform.processes.Start(commandLine, rundll32);
    ErrorCode waited = started.process ? started.process->WaitForEnd() : kErrorInvalidHandle;
    started.process.reset();
    process.g_logFile.LogMessage(LOG_MEDIUM, L"!! Printer Added  : %s returns with %d", commandLine, waited);
    return 1;
}

int SetDeviceInstanceID(LauncherProcess& process, const WString& printerName, const WString& deviceInstanceId) {
    auto key = process.platform.registry.OpenLocalMachineKey(PrinterDriverDataKey(printerName), RegistryAccess::Write,
                                                             RegistryView::Force64);
    if (!key) return 0;
    key->SetString(L"SoftwareCUEContextID", deviceInstanceId);
    key->SetDword(L"AiODDPnPWorked", 1);
    key.reset();
    process.g_logFile.LogMessage(LOG_MEDIUM, L"Updating new printer with DeviceInstanceID : %s", deviceInstanceId);
    return 0;
}

}  // namespace zq
