#include "app/init_instance.h"

#include "app/command_line.h"
#include "checks/driver_detection.h"
#include "checks/os_validation.h"
#include "launch/section_launcher.h"
#include "settings/derived_settings.h"

namespace zq {

namespace {
constexpr std::size_t kModulePathChars = 260;
}  // namespace

WString ExpandLineBreaks(const WString& text) { return ReplaceAll(text, L"\\n", L"\n"); }

WString FolderOf(const WString& path) {
    std::size_t slash = path.rfind(L'\\');
    return slash == WString::npos ? path : path.substr(0, slash);
}

WString BaseNameOf(const WString& path) {
    std::size_t slash = path.rfind(L'\\');
    WString name = slash == WString::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind(L'.');
    return dot == WString::npos ? name : name.substr(0, dot);
}

WString OsListTokens::Next() {
    while (position_ < list_.size() && list_[position_] == L',') ++position_;
    std::size_t end = list_.find(L',', position_);
    if (end == WString::npos) end = list_.size();
    WString token = list_.substr(position_, end - position_);
    position_ = end;
    return token;
}

std::vector<WString> OsListEntries(const WString& list) {
    std::vector<WString> entries;
    OsListTokens tokens(list);
    for (WString entry = tokens.Next(); !entry.empty(); entry = tokens.Next()) entries.push_back(std::move(entry));
    return entries;
}

int ShowMessageBox(LauncherProcess& process, const WString& settingsFilePath, int number) {
    CIniFile settings(process.platform, process.g_logFile, settingsFilePath);
    WString text = ExpandLineBreaks(GetLangString(settings, number));
    if (process.Managed.quiet) {
        // No one may be at the screen (a service in session 0 has none):
        // a box would wait for ever. Its text goes to the log instead.
        process.g_logFile.LogMessage(LOG_HIGH, L"## Message %d : %s", number, text);
        process.Report.messages.push_back(LoggedMessage{number, text});
        return kIdOk;
    }
    return process.platform.ui.ShowMessageBox(kMessageBoxCaption, text);
}

bool InitInstance(LauncherProcess& process) {
    Platform& platform = process.platform;
    CzqmerlesetupApp& app = process.theApp;
    CLogFile& log = process.g_logFile;

    WString modulePath = platform.environment.ModulePath();
    if (modulePath.size() >= kModulePathChars) modulePath.resize(kModulePathChars - 1);
    app.ModuleDirectory = FolderOf(modulePath);
    const WString argumentText = platform.environment.ArgumentText();

    log.LogMessage(LOG_HIGH, L"+++       Starting : %s.exe", BaseNameOf(modulePath));
    log.LogMessage(LOG_HIGH, L"+++        Version : %s", kProgramVersion);
    log.LogMessage(LOG_HIGH, L"+++    Working Dir : %s", app.ModuleDirectory);
    log.LogMessage(LOG_HIGH, L"+++   Command Line : %s", argumentText);
    log.LogMessage(LOG_LOW, L"--> Enter InitInstance()");

    SplitCommandLine(app, argumentText);
    ApplyCommandLine(process);

    if (platform.environment.CreateNamedMutex(kInstanceMutexName) == MutexOutcome::AlreadyExisted) {
        log.LogMessage(LOG_HIGH, L"## Mutex exist: An instance of the same Application is running.");
        process.Report.end = RunEnd::AnotherInstance;
        return false;
    }
    platform.environment.InitCommonControls();
    if (!platform.environment.CurrentDirectory()) {
        log.LogMessage(LOG_HIGH, L"## GetCurrentDirectory Failed");
        process.Report.end = RunEnd::CurrentDirectoryUnreadable;
        return false;
    }

    WString osList;
    process.g_iniFile.ReadStrValue(L"OS_Support", L"os_list", osList);
    process.CurrentOsEntry.clear();

    OsListTokens tokens(osList);
    for (;;) {
        const WString entry = tokens.Next();
        int spMajor = -1;
        int spMinor = -1;
        ReadSPVersion(process.g_iniFile, entry, spMajor, spMinor);
        process.OsPlatformCode = PlatformCodeOfEntry(entry);
        if (ValidateOS(process, OsNumberOfEntry(entry), spMajor, spMinor)) {
            log.LogMessage(LOG_HIGH, L"Valid OS found. OS: %s", entry);
            log.LogMessage(LOG_HIGH, L"Service Pack Version : %d.%d", spMajor, spMinor);
            process.CurrentOsEntry = entry;
            process.Report.osEntry = entry;
            break;
        }
        if (entry.empty()) {
            log.LogMessage(LOG_HIGH, L"This Operating is not Valid. OS: %s", entry);
            process.Report.end = RunEnd::UnsupportedWindows;
            ShowMessageBox(process, process.SettingsFilePath, 1);
            return false;
        }
    }

    EnumMagicKeywords(process);
    if (!FindInstalledDriver(process)) {
        process.Report.end = RunEnd::DriverNotInstalled;
        ShowMessageBox(process, process.SettingsFilePath, 8);
        return false;
    }
    DropMain(process);
    process.Report.end = RunEnd::Completed;
    return true;
}

}  // namespace zq
