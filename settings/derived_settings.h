// Values derived from the settings file: the service-pack minimum of an
// os_list entry, the requested log level, texts in the user's language.
#pragma once

#include "settings/ini_file.h"

namespace zq {

// "OS_Support." + entry, then "OS_Support", each key on its own; 0 when
// neither section names it.
void ReadSPVersion(CIniFile& g_iniFile, const WString& entry, int& major, int& minor);

// [Version] Log, or 1 when missing. Not range-checked here.
int GetLogLevel(CIniFile& g_iniFile);

// "0x%04x" of the user's language, in lower case.
WString LanguageKey(std::uint16_t languageId);

// Text number id in the user's language through [LangMap]; "" when either
// lookup fails. No fallback to another language.
WString GetLangString(CIniFile& settings, int id);

}  // namespace zq
