// The printer-driver update plug-in: carried out in the launcher's own
// process for a program entry that names "lanpatch.exe". It stops the
// imaging software's tray application and device service, re-creates every
// matching non-USB printer with the package's driver while keeping its
// device instance identifier, and starts the tray application and the
// service again.
#pragma once

#include <optional>
#include <vector>

#include "run/application.h"

namespace zq {

inline constexpr wchar_t kPluginMarker[] = L"lanpatch.exe";
inline constexpr wchar_t kTrayApplication[] = L"zqnotify.exe";
inline constexpr wchar_t kDeviceService[] = L"zqdevsvc";

// The plug-in context, made by the runner for one call.
struct CUpdateDriverPlugin {
    explicit CUpdateDriverPlugin(WString path) : settingsFilePath(std::move(path)) {}

    WString settingsFilePath;
    WString installFolder;
    std::vector<WString> driverNames;
    int driverCount = 0;
};

// The INF path of a (lower-cased) plug-in command line: every "lanpatch.exe"
// removed, white space trimmed at the end and then the start.
WString InfPathOfCommandLine(const WString& commandLine);
// Whether a folder is absolute: a drive letter, a colon and a backslash
// ("C:\..."), or a UNC path ("\\server\share...").
bool IsAbsoluteFolder(const WString& folder);
// The tray application: install folder + "Pictavo\Bin\zqnotify.exe", with a
// backslash added after a folder that lacks one; nullopt when the folder is
// missing (empty) or not absolute, and the tray application is not started.
std::optional<WString> TrayApplicationPath(const WString& installFolder);

// 1 when the fix ran (Windows of major version 5), 0 when refused.
int RunUpdateDriver(LauncherProcess& process, CUpdateDriverPlugin& context, const WString& commandLine);
int GetInstallFolder(LauncherProcess& process, CUpdateDriverPlugin& context);
int StartTrayApp(LauncherProcess& process, CUpdateDriverPlugin& context);

// Printer re-creation.
int ReadUpdateDrivers(LauncherProcess& process, CUpdateDriverPlugin& context);
// 0 when the printers cannot be enumerated, else 1. Each printer taken up
// is added to process.PrinterResults with its outcome.
int RecreatePrinters(LauncherProcess& process, CUpdateDriverPlugin& context, const WString& infPath);
bool IsUpdateDriver(const CUpdateDriverPlugin& context, const WString& driverName);
// The old printer's device instance identifier: empty when its driver data
// or the value is missing; nullopt when the value is there but is no string
// (it is then not carried over at all).
std::optional<WString> GetDeviceInstanceID(LauncherProcess& process, const WString& printerName);
int RemovePrinter(LauncherProcess& process, const WString& printerName);
int AddPrinterWithPrintUI(LauncherProcess& process, const PrinterRecord& printer, const WString& infPath);
// Writes the identifier (unless it is nullopt) and the re-created marker.
int SetDeviceInstanceID(LauncherProcess& process, const WString& printerName,
                        const std::optional<WString>& deviceInstanceId);

// The INF path as a file name: the double quotes around it (as
// "%sourcepath%" puts them) removed; quotes inside it stay.
WString UnquotedInfPath(const WString& infPath);
// Whether a printer cannot be handed to the set-up tool safely: a double
// quote in its name, port or driver, or in the (unquoted) INF path, would
// end an argument early and let the rest of the text act as switches.
bool HoldsDoubleQuote(const PrinterRecord& printer, const WString& infFile);
// The printer set-up tool's command line for one printer.
WString PrintUiCommandLine(const PrinterRecord& printer, const WString& infPath);
// The registry key of a printer's driver data, below HKEY_LOCAL_MACHINE.
WString PrinterDriverDataKey(const WString& printerName);

}  // namespace zq
