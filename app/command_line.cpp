#include "app/command_line.h"

#include "settings/derived_settings.h"

namespace zq {

namespace {

// The last "-" that starts a switch: at the start of the text or after
// white space, outside double quotes. npos when there is none.
std::size_t FindLastSwitchStart(WStringView text) {
    std::size_t found = WStringView::npos;
    bool insideQuotes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'"') insideQuotes = !insideQuotes;
        else if (text[i] == L'-' && !insideQuotes && (i == 0 || IsCWhiteSpace(text[i - 1]))) found = i;
    }
    return found;
}

}  // namespace

SwitchPairs SplitSwitches(WStringView argumentText) {
    SwitchPairs pairs;
    WString remaining = ToLowerAscii(argumentText);
    while (pairs.count < kMaxSwitches) {
        remaining = TrimEndThenStart(remaining);
        std::size_t dash = FindLastSwitchStart(remaining);
        if (dash == WStringView::npos) break;
        WString token = remaining.substr(dash);
        remaining.resize(dash);
        std::size_t blank = token.find(L' ');
        if (blank != WString::npos) {
            pairs.names[pairs.count] = TrimEndThenStart(WStringView(token).substr(0, blank));
            pairs.values[pairs.count] = TrimEndThenStart(WStringView(token).substr(blank));
        } else {
            pairs.names[pairs.count] = TrimEndThenStart(token);
            pairs.values[pairs.count].clear();
        }
        ++pairs.count;
    }
    return pairs;
}

void SplitCommandLine(CzqmerlesetupApp& app, WStringView argumentText) {
    SwitchPairs pairs = SplitSwitches(argumentText);
    app.SwitchNames = pairs.names;
    app.SwitchValues = pairs.values;
    app.SwitchCount = pairs.count;
}

ManagedSwitches FindManagedSwitches(const SwitchPairs& pairs) {
    ManagedSwitches found;
    // Entry 0 is the last switch of the line; a later entry overwrites, so
    // the first "-result" written wins, as "-f" does.
    for (int i = 0; i < pairs.count; ++i) {
        const WString& name = pairs.names[i];
        if (name == kQuietSwitch) found.quiet = true;
        if (name == kNoRestartSwitch) found.noRestart = true;
        if (name == kResultSwitch) {
            WString path = ReplaceAll(pairs.values[i], L"\"", L"");
            if (!path.empty()) found.resultPath = path;
        }
    }
    return found;
}

void setIniFile(LauncherProcess& process, const WString& path) {
    CLogFile& log = process.g_logFile;
    log.LogMessage(LOG_LOW, L"--> Enter setIniFile()");
    process.g_iniFile.SetPath(path);
    log.LogMessage(LOG_MEDIUM, L"Set Inf Filename as %s", path);
    log.LogMessage(LOG_LOW, L"<-- Exit setIniFile()");
}

bool ApplyCommandLine(LauncherProcess& process) {
    try {
        CzqmerlesetupApp& app = process.theApp;
        bool fileGiven = false;
        bool levelGiven = false;
        // Later entries overwrite earlier ones, and entry 0 is the last
        // switch of the line: the first "-f" and "-log" written win.
        for (int i = 0; i < app.SwitchCount; ++i) {
            const WString& name = app.SwitchNames[i];
            const WString& value = app.SwitchValues[i];
            if (name == kSettingsFileSwitch && !value.empty()) {
                process.SettingsFilePath = ReplaceAll(value, L"\"", L"");
                fileGiven = true;
            }
            if (name == kLogLevelSwitch && !value.empty()) {
                process.RequestedLogLevel = WToI(value);
                levelGiven = true;
            }
        }
        SwitchPairs pairs;
        pairs.names = app.SwitchNames;
        pairs.values = app.SwitchValues;
        pairs.count = app.SwitchCount;
        process.Managed = FindManagedSwitches(pairs);
        if (!fileGiven) process.SettingsFilePath = app.ModuleDirectory + L"\\autorun.inf";

        setIniFile(process, process.SettingsFilePath);
        process.g_logFile.LogAlways(L"%s", process.g_iniFile.Path());

        if (!levelGiven) process.RequestedLogLevel = GetLogLevel(process.g_iniFile);
        process.g_logFile.SetLevel(process.RequestedLogLevel);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace zq
