#include "settings/derived_settings.h"

namespace zq {

namespace {

int ReadServicePackPart(CIniFile& g_iniFile, const WString& entrySection, const WString& key, const wchar_t* name) {
    CLogFile& log = g_iniFile.log();
    WString value;
    int number = 0;
    if (g_iniFile.ReadStrValue(entrySection, key, value) || g_iniFile.ReadStrValue(L"OS_Support", key, value)) {
        number = WToI(value);
    } else {
        log.LogMessage(LOG_MEDIUM, L"Service Pack %s Version information not found. Set to Default \"0\"", name);
    }
    log.LogMessage(LOG_MEDIUM, L"Service Pack %s Version is %d", name, number);
    return number;
}

}  // namespace

void ReadSPVersion(CIniFile& g_iniFile, const WString& entry, int& major, int& minor) {
    CLogFile& log = g_iniFile.log();
    log.LogMessage(LOG_LOW, L"--> Enter ReadSPVersion()");
    const WString section = OverrideSectionName(L"OS_Support", entry);
    major = ReadServicePackPart(g_iniFile, section, L"ServicePack_MajorVersion", L"Major");
    minor = ReadServicePackPart(g_iniFile, section, L"ServicePack_MinorVersion", L"Minor");
    log.LogMessage(LOG_LOW, L"<-- Exit ReadSPVersion()");
}

int GetLogLevel(CIniFile& g_iniFile) {
    CLogFile& log = g_iniFile.log();
    log.LogMessage(LOG_LOW, L"--> Enter GetLogLevel()");
    WString value;
    if (!g_iniFile.ReadStrValue(L"Version", L"Log", value)) {
        log.LogMessage(LOG_HIGH, L"Log Level returned FALSE... Using DEFAULT Log Level as HIGH.");
        log.LogMessage(LOG_LOW, L"<-- Exit GetLogLevel()");
        return LOG_HIGH;
    }
    int level = WToI(value);
    log.LogMessage(LOG_MEDIUM, L"Log Level is %d", level);
    log.LogMessage(LOG_LOW, L"<-- Exit GetLogLevel()");
    return level;
}

WString LanguageKey(std::uint16_t languageId) { return Format(L"0x%04x", languageId); }

WString GetLangString(CIniFile& settings, int id) {
    WString languageSection;
    WString text;
    const WString key = LanguageKey(settings.platform().environment.UserDefaultLangID());
    if (settings.ReadStrValue(L"LangMap", key, languageSection) &&
        settings.ReadStrValue(languageSection, Format(L"%d", id), text))
        return text;
    return L"";
}

}  // namespace zq
