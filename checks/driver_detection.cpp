#include "checks/driver_detection.h"

#include <algorithm>

namespace zq {

namespace {
const wchar_t kMagicKeywordsSection[] = L"CPE.MagicKeywords";
}  // namespace

int FindFirstKeyword(const std::uint8_t* bytes, std::size_t size, const std::vector<WString>& keywords) {
    std::size_t units = size / 2;
    for (std::size_t i = 0; i < units; ++i) {
        if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0) {
            units = i;
            break;
        }
    }
    for (std::size_t k = 0; k < keywords.size(); ++k) {
        const WString& keyword = keywords[k];
        if (keyword.empty()) return static_cast<int>(k);
        if (keyword.size() > units) continue;
        const std::uint16_t first = static_cast<std::uint16_t>(keyword[0]);
        for (std::size_t at = 0; at + keyword.size() <= units; ++at) {
            if ((bytes[2 * at] | (bytes[2 * at + 1] << 8)) != first) continue;
            std::size_t matched = 1;
            while (matched < keyword.size() &&
                   (bytes[2 * (at + matched)] | (bytes[2 * (at + matched) + 1] << 8)) ==
                       static_cast<std::uint16_t>(keyword[matched]))
                ++matched;
            if (matched == keyword.size()) return static_cast<int>(k);
        }
    }
    return -1;
}

bool EnumMagicKeywords(LauncherProcess& process) {
    CzqmerlesetupApp& app = process.theApp;
    CLogFile& log = process.g_logFile;
    app.MagicKeywordCount = 0;
    const int count = process.g_iniFile.GetNoOfKeys(kMagicKeywordsSection);
    app.MagicKeywordCount = count;
    app.MagicKeywords.assign(static_cast<std::size_t>(count), WString());
    log.LogMessage(LOG_MEDIUM, L"========Enumerating Magic Keywords========");
    for (int i = 1; i <= count; ++i) {
        process.g_iniFile.ReadStrValue(kMagicKeywordsSection, Format(L"%d", i), app.MagicKeywords[i - 1]);
        // The keyword itself is the whole line: a "%" in it is no directive.
        log.LogMessage(LOG_MEDIUM, L"%s", app.MagicKeywords[i - 1]);
    }
    log.LogMessage(LOG_MEDIUM, L"==========================================");
    return true;
}

bool FindInstalledDriver(LauncherProcess& process) {
    const WString infFolder = process.platform.environment.WindowsDirectory() + L"\\inf\\";
    const std::vector<WString> entries = process.platform.files.ListMatching(infFolder + L"oem*.inf");
    if (entries.empty()) return false;
    for (const WString& name : entries)
        if (SearchInfFile(process, infFolder + name)) return true;
    process.g_logFile.LogMessage(LOG_MEDIUM, L"Drivers not found");
    return false;
}

bool SearchInfFile(LauncherProcess& process, const WString& path) {
    // Opened without sharing: a file that another process holds open does
    // not match. One file is in memory at a time.
    std::vector<std::uint8_t> content;
    if (!process.platform.files.ReadWholeFileUnshared(path, content)) return false;
    CLogFile& log = process.g_logFile;
    log.LogMessage(LOG_MEDIUM, L"** Searching %s", path);
    const std::vector<WString>& keywords = process.theApp.MagicKeywords;
    int found = FindFirstKeyword(content.data(), content.size(), keywords);
    if (found < 0) return false;
    log.LogMessage(LOG_MEDIUM, L"** Magic key word %s found in %s", keywords[found], path);
    return true;
}

}  // namespace zq
