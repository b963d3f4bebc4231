// The application object and the process-wide state of one run.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "log/log_file.h"
#include "platform/platform.h"
#include "run/printer_outcome.h"
#include "run/run_report.h"
#include "settings/ini_file.h"
#include "ui/copy_dialog.h"
#include "ui/finish_screen.h"

namespace zq {

// Logged at start and written to a managed run's result file.
inline constexpr wchar_t kProgramVersion[] = L"1.0.0.1";

inline constexpr int kMaxSwitches = 30;
inline constexpr int kPlatform32 = 10032;  // OsPlatformCode of an entry for 32-bit systems
inline constexpr int kPlatform64 = 10064;  // ... of an entry ending in "_64"

class CzqmerlesetupApp {
public:
    CzqmerlesetupApp(Platform& platform, CLogFile& log) : copyDialog(platform, log), finishScreen(platform, log) {}

    CCopyDlg copyDialog;
    CFinishScreen finishScreen;
    std::array<WString, kMaxSwitches> SwitchNames;
    std::array<WString, kMaxSwitches> SwitchValues;
    int SwitchCount = 0;
    WString ModuleDirectory;      // the program's folder, without a trailing backslash
    WString ProductUninstallKey;  // never set: see RefreshUninstallDataFile
    std::vector<WString> MagicKeywords;
    int MagicKeywordCount = 0;
};

// Everything that the program's static initialisation constructs, in that
// order, on the machine it runs on. The Win32 entry point makes one for the
// process; a test makes one per simulated machine.
class LauncherProcess {
public:
    explicit LauncherProcess(Platform& platform);

    Platform& platform;
    CzqmerlesetupApp theApp;
    CIniFile g_iniFile;
    CLogFile g_logFile;  // picks this run's log-file name at construction
    WString CurrentOsEntry;
    WString SettingsFilePath;
    int RequestedLogLevel = 0;
    int OsPlatformCode = 0;
    IsWow64ProcessFn fnIsWow64Process;  // looked up once, after the objects above
    // Every printer that the update plug-in took up in this run, in order.
    std::vector<PrinterResult> PrinterResults;
    // "-quiet", "-norestart", "-result": set once by the command line.
    ManagedSwitches Managed;
    // What the run did, for a managed run's exit code and result file.
    RunReport Report;
    // Whether the result file was written; unset until it has been tried.
    std::optional<bool> ResultFileWritten;
};

}  // namespace zq
