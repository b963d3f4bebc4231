#include "settings/ini_file.h"

namespace zq {

namespace {
constexpr std::size_t kCurrentFolderBuffer = 260;
}  // namespace

WString ResolveSourcePath(const WString& value, const WString& currentFolder) {
    if (!Contains(value, kSourcePath)) return value;
    return ReplaceAll(value, kSourcePath, L"\"" + currentFolder + L"\\") + L"\"";
}

CIniFile::CIniFile(Platform& platform, CLogFile& log, WString path)
    : platform_(platform), log_(log), path_(std::move(path)) {}

bool CIniFile::ReadStrValue(const WString& section, const WString& key, WString& value) {
    log_.LogMessage(LOG_LOW, L"--> Enter ReadStrValue()");
    log_.LogMessage(LOG_LOW, L"%s", path_);
    value = platform_.profile.GetString(section, key, kReadFailed, kSettingsValueBuffer, path_);
    if (Contains(value, kSourcePath)) {
        // A current folder that does not fit the 260-character buffer leaves
        // it unfilled: the placeholder then stands for an empty folder.
        WString current = platform_.environment.CurrentDirectory().value_or(L"");
        if (current.size() >= kCurrentFolderBuffer) current.clear();
        value = ResolveSourcePath(value, current);
    }
    log_.LogMessage(LOG_LOW, L"Read Section:[%s] Key=%s Value=%s", section, key, value);
    if (value == kReadFailed) {
        log_.LogMessage(LOG_LOW, L"## ReadStrValue() Failed");
        log_.LogMessage(LOG_LOW, L"<-- Exit ReadStrValue() with FALSE");
        return false;
    }
    log_.LogMessage(LOG_LOW, L"<-- Exit ReadStrValue() with TRUE");
    return true;
}

int CIniFile::GetNoOfKeys(const WString& section) {
    log_.LogMessage(LOG_LOW, L"--> Enter GetNoOfKeys()");
    int k = 1;
    WString value;
    while (ReadStrValue(section, Format(L"%d", k), value)) ++k;
    int count = k - 1;
    log_.LogMessage(LOG_LOW, L"Number of keys in [%s] : %d", section, count);
    log_.LogMessage(LOG_LOW, L"<-- Exit GetNoOfKeys()");
    return count;
}

WString OverrideSectionName(const WString& section, const WString& osEntry) { return section + L"." + osEntry; }

void GetKeyValues(CIniFile& g_iniFile, const WString& currentOsEntry, const WString& section,
                  std::vector<WString>& values, int count) {
    CLogFile& log = g_iniFile.log();
    log.LogMessage(LOG_LOW, L"--> Enter GetKeyValues()");
    values.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (int k = 1; k <= count; ++k) {
        const WString key = Format(L"%d", k);
        const WString override = OverrideSectionName(section, currentOsEntry);
        WString value;
        if (g_iniFile.ReadStrValue(override, key, value)) {
            log.LogMessage(LOG_LOW, L"Read Section:[%s] Key=%d Value=%s", override, k, value);
        } else if (g_iniFile.ReadStrValue(section, key, value)) {
            log.LogMessage(LOG_LOW, L"Read Section:[%s] Key=%s Value=%s", section, key, value);
        } else {
            log.LogMessage(LOG_LOW, L"GetKeyValues() failed to read Section %s , Key %s", section, key);
        }
        values[k - 1] = value;
    }
    log.LogMessage(LOG_LOW, L"<-- Exit GetKeyValues()");
}

}  // namespace zq
