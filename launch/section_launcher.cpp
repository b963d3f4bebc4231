#include "launch/section_launcher.h"

#include "launch/app_runner.h"
#include "run/result_file.h"

namespace zq {

WString ProgramSectionFor(int platformCode) {
    if (platformCode == kPlatform32) return kProgramSection;
    if (platformCode == kPlatform64) return WString(kProgramSection) + kProgramSection64Suffix;
    return {};
}

bool DropMain(LauncherProcess& process) {
    CLogFile& log = process.g_logFile;
    try {
        log.LogMessage(LOG_LOW, L"--> Enter DropMain()");
        if (process.OsPlatformCode == kPlatform32) {
            log.LogMessage(LOG_LOW, L"Calling RunSectionExe() with Parameter NULL for 32 bit OS");
            RunSectionExe(process, L"");
        } else if (process.OsPlatformCode == kPlatform64) {
            log.LogMessage(LOG_LOW, L"Calling RunSectionExe() with Parameter .x64 for 64 bit OS");
            RunSectionExe(process, kProgramSection64Suffix);
        }
        log.LogMessage(LOG_LOW, L"<-- Exit DropMain()");
        return true;
    } catch (...) {
        process.Report.stepFailed = true;
        log.LogMessage(LOG_LOW, L"## Unknown Exception in DropMain()");
        log.LogMessage(LOG_LOW, L"<-- Exit DropMain()");
        return false;
    }
}

bool RunSectionExe(LauncherProcess& process, const WString& suffix) {
    CLogFile& log = process.g_logFile;
    try {
        log.LogMessage(LOG_LOW, L"--> Enter RunSectionExe(%s)", suffix);
        const WString section = kProgramSection + suffix;
        const int count = process.g_iniFile.GetNoOfKeys(section);
        std::vector<WString> commandLines;
        GetKeyValues(process.g_iniFile, process.CurrentOsEntry, section, commandLines, count);
        // A failed program never stops the sequence.
        for (const WString& commandLine : commandLines) RunApplication(process, commandLine);
        RefreshUninstallDataFile(process);
        ShowFinishScreen(process);
        log.LogMessage(LOG_LOW, L"<-- Exit RunSectionExe()");
        return true;
    } catch (...) {
        process.Report.stepFailed = true;
        log.LogMessage(LOG_LOW, L"## Unknown Exception in RunSectionExe()");
        log.LogMessage(LOG_LOW, L"<-- Exit RunSectionExe()");
        return false;
    }
}

void ShowFinishScreen(LauncherProcess& process) {
    // The run has completed: what is written before a restart says so.
    process.Report.end = RunEnd::Completed;
    process.Report.finishStepReached = true;
    const ManagedSwitches& managed = process.Managed;
    if (managed.quiet) {
        // No screen to ask: the restart follows at once unless "-norestart"
        // forbids it, as Windows Installer's quiet mode restarts by itself.
        if (managed.noRestart) return;
        BeforeRestart(process);
        process.platform.ui.RequestRestart(kRestartFlags, kRestartReason);
        return;
    }
    CFinishScreen& screen = process.theApp.finishScreen;
    screen.settingsFilePath = process.SettingsFilePath;
    screen.noRestart = managed.noRestart;
    screen.beforeRestart = [&process] { BeforeRestart(process); };
    screen.DoModal();
}

std::optional<DataFileCopy> DataFileCopyFor(const WString& uninstallString) {
    WString s = uninstallString;
    std::size_t marker = s.find(kCleanupProgramMarker);
    const WString cleanupFolder = marker == WString::npos ? L"" : s.substr(0, marker);

    std::size_t switchAt = s.find(kDataFileSwitch);
    if (switchAt == WString::npos) return std::nullopt;
    std::size_t blank = s.find(L' ', switchAt);
    const WString switchToken = s.substr(switchAt, blank == WString::npos ? WString::npos : blank - switchAt);
    s = blank == WString::npos ? L"" : s.substr(blank + 1);
    std::size_t nameStart = s.find_first_not_of(L' ');
    WString dataFile;
    if (nameStart != WString::npos) {
        std::size_t nameEnd = s.find(L' ', nameStart);
        dataFile = s.substr(nameStart, nameEnd == WString::npos ? WString::npos : nameEnd - nameStart);
    }
    if (switchToken != kDataFileSwitch) return std::nullopt;
    return DataFileCopy{L"setup\\" + dataFile, cleanupFolder + dataFile};
}

// Brings the data file that the product's clean-up program reads at
// uninstall time up to date with the package's copy. Writes no log line;
// every failure leaves things as they were.
void RefreshUninstallDataFile(LauncherProcess& process) {
    Platform& platform = process.platform;
    auto key = platform.registry.OpenLocalMachineKey(kUninstallKeyPrefix + process.theApp.ProductUninstallKey,
                                                     RegistryAccess::Read);
    if (!key) return;
    std::optional<RegistryValue> value = key->QueryValue(L"UninstallString", kUninstallStringBytes);
    if (!value) return;
    std::optional<WString> text = RegistryStringWithin(value->data, kUninstallStringBytes);
    if (!text) return;
    std::optional<DataFileCopy> copy = DataFileCopyFor(*text);
    if (!copy) return;
    // Relative to the current folder, as the source is. A failed copy leaves
    // the old data file, and says nothing, like every failure here.
    (void)platform.files.CopyFileReplacing(copy->from, copy->to);
}

}  // namespace zq
