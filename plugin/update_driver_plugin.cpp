#include "plugin/update_driver_plugin.h"

#include "base/text.h"
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

WString UnquotedInfPath(const WString& infPath) {
    if (infPath.size() >= 2 && infPath.front() == L'"' && infPath.back() == L'"')
        return infPath.substr(1, infPath.size() - 2);
    return infPath;
}

bool HoldsDoubleQuote(const PrinterRecord& printer, const WString& infFile) {
    for (const WString* text : {&printer.name, &printer.port, &printer.driver, &infFile})
        if (Contains(*text, L"\"")) return true;
    return false;
}

namespace {

// Whether the spooler lists a printer of that name again, with one of the
// package's drivers: what the set-up tool must have left behind. A failed
// enumeration proves nothing, so it counts as no.
bool IsRecreated(LauncherProcess& process, const CUpdateDriverPlugin& context, const WString& printerName) {
    std::optional<std::vector<PrinterRecord>> printers = process.platform.spooler.EnumLocalPrinters();
    if (!printers) return false;
    for (const PrinterRecord& printer : *printers)
        if (EqualsIgnoringAsciiCase(printer.name, printerName) && IsUpdateDriver(context, printer.driver)) return true;
    return false;
}

// Adds the deleted printer again from its kept record, with its old driver
// (deleting a printer leaves the driver installed), and gives it back its
// identifier.
PrinterOutcome RestorePrinter(LauncherProcess& process, const PrinterRecord& printer,
                              const std::optional<WString>& deviceInstanceId) {
    CLogFile& log = process.g_logFile;
    if (process.platform.spooler.Add(printer) != 0) {
        log.LogMessage(LOG_MEDIUM, L"## Printer restore failed : %s", printer.name);
        return PrinterOutcome::RestoreFailed;
    }
    // Through the spooler, which makes the printer's driver-data key when
    // the new printer has none yet.
    if (deviceInstanceId && !deviceInstanceId->empty()) {
        PrinterOpen restored = process.platform.spooler.Open(printer.name);
        // The printer itself is back; the identifier is carried over when
        // the spooler takes it, as the re-created printer's is.
        if (restored.printer) (void)restored.printer->SetDataText(L"SoftwareCUEContextID", *deviceInstanceId);
    }
    log.LogMessage(LOG_MEDIUM, L"!! Printer restored : %s", printer.name);
    return PrinterOutcome::Restored;
}

// One qualifying printer: its identifier noted, the printer deleted,
// installed again by the set-up tool and given its identifier back. Nothing
// here may lose it: a printer that cannot be deleted is left as it is, and
// one that the set-up tool did not bring back is put back from its record.
PrinterOutcome RecreatePrinter(LauncherProcess& process, const CUpdateDriverPlugin& context,
                               const PrinterRecord& printer, const WString& infFile) {
    CLogFile& log = process.g_logFile;
    if (HoldsDoubleQuote(printer, infFile)) {
        log.LogMessage(LOG_MEDIUM, L"## Printer skipped (double quote) : %s", printer.name);
        return PrinterOutcome::Skipped;
    }
    const std::optional<WString> id = GetDeviceInstanceID(process, printer.name);
    if (RemovePrinter(process, printer.name) != 0) {
        log.LogMessage(LOG_MEDIUM, L"## Printer kept : %s", printer.name);
        return PrinterOutcome::Kept;
    }
    try {
        AddPrinterWithPrintUI(process, printer, infFile);
        if (IsRecreated(process, context, printer.name)) {
            SetDeviceInstanceID(process, printer.name, id);
            return PrinterOutcome::Recreated;
        }
        log.LogMessage(LOG_MEDIUM, L"## Printer not re-created : %s", printer.name);
    } catch (...) {
        // The printer is deleted: whatever went wrong, put it back before
        // the pass ends.
        try {
            // The last chance to put it back: nothing is left to report to.
            if (!IsRecreated(process, context, printer.name)) (void)process.platform.spooler.Add(printer);
        } catch (...) {}
        throw;
    }
    return RestorePrinter(process, printer, id);
}

}  // namespace

int RecreatePrinters(LauncherProcess& process, CUpdateDriverPlugin& context, const WString& infPath) {
    CLogFile& log = process.g_logFile;
    try {
        log.LogMessage(LOG_MEDIUM, L"** Enumerating Printers and Faxes folder");
        std::optional<std::vector<PrinterRecord>> printers = process.platform.spooler.EnumLocalPrinters();
        if (!printers) return 0;
        // printui's command line quotes the path itself.
        const WString infFile = UnquotedInfPath(infPath);
        // A printer deleted here is re-created from the INF file: without
        // that file the user would simply lose it.
        if (!process.platform.files.IsExistingFile(infFile)) {
            log.LogMessage(LOG_MEDIUM, L"## INF file not found : %s", infFile);
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
            found = true;
            const PrinterOutcome outcome = RecreatePrinter(process, context, printer, infFile);
            process.PrinterResults.push_back(PrinterResult{printer.name, printer.port, printer.driver, outcome});
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

std::optional<WString> GetDeviceInstanceID(LauncherProcess& process, const WString& printerName) {
    auto key = process.platform.registry.OpenLocalMachineKey(PrinterDriverDataKey(printerName), RegistryAccess::Read,
                                                             RegistryView::Force64);
    if (!key) return WString();
    // Read at its full length: a long identifier is carried over whole.
    RegistryRead read = key->ReadWholeValue(L"SoftwareCUEContextID");
    key.reset();
    std::optional<WString> id;
    if (read.error == kErrorFileNotFound) {
        id = WString();
    } else if (read.error == 0 && (read.value.type == kRegSz || read.value.type == kRegExpandSz)) {
        WString text = Utf16LeBytesToString(read.value.data.data(), read.value.data.size());
        id = text.substr(0, text.find(L'\0'));
    }
    if (!id) {
        // Written back as an empty string it would be lost for good.
        process.g_logFile.LogMessage(LOG_MEDIUM, L"## DeviceInstanceID not readable : %s", printerName);
        return std::nullopt;
    }
    process.g_logFile.LogMessage(LOG_MEDIUM, L"DeviceInstanceID : %s", *id);
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
    // The tool's own exit code once it has ended; the wait's error otherwise.
    ErrorCode result = started.process ? started.process->WaitForEnd() : kErrorInvalidHandle;
    if (result == 0) {
        std::uint32_t exitCode = 0;
        const ErrorCode error = started.process->ExitCode(exitCode);
        result = error != 0 ? error : exitCode;
    }
    started.process.reset();
    process.g_logFile.LogMessage(LOG_MEDIUM, L"!! Printer Added  : %s returns with %d", commandLine, result);
    return 1;
}

int SetDeviceInstanceID(LauncherProcess& process, const WString& printerName,
                        const std::optional<WString>& deviceInstanceId) {
    auto key = process.platform.registry.OpenLocalMachineKey(PrinterDriverDataKey(printerName), RegistryAccess::Write,
                                                             RegistryView::Force64);
    if (!key) return 0;
    // The writes are not checked: the log line below says what was meant,
    // whatever the registry made of it.
    if (deviceInstanceId) (void)key->SetString(L"SoftwareCUEContextID", *deviceInstanceId);
    (void)key->SetDword(L"AiODDPnPWorked", 1);
    key.reset();
    if (deviceInstanceId)
        process.g_logFile.LogMessage(LOG_MEDIUM, L"Updating new printer with DeviceInstanceID : %s", *deviceInstanceId);
    return 0;
}

}  // namespace zq
