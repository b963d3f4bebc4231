#include "tests/support/settings_file.h"

#include <algorithm>

namespace zq::test {

SettingsFile SettingsFile::Basic() {
    SettingsFile file;
    file.Set("Version", "Log", "511");
    file.Set("OS_Support", "os_list", "501");
    file.Set("CPE.MagicKeywords", "1", "ZQ Merle 5400");
    file.Set("LangMap", "0x0409", "English");
    int number = 0;
    for (const char* text :
         {"This package does not support this version of Windows.", "Congratulations",
          "The printer driver has been refreshed.", "I will restart my computer later", "Click Finish to exit",
          "Finish", "ZQ Merle Driver Refresh", "The ZQ Merle printer driver is not installed."})
        file.Set("English", std::to_string(++number), text);
    return file;
}

SettingsFile& SettingsFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    auto found = std::find_if(sections_.begin(), sections_.end(), [&](auto& s) { return s.first == section; });
    if (found == sections_.end()) found = sections_.insert(sections_.end(), {section, {}});
    auto& keys = found->second;
    auto entry = std::find_if(keys.begin(), keys.end(), [&](auto& k) { return k.first == key; });
    if (entry == keys.end()) keys.emplace_back(key, value);
    else entry->second = value;
    return *this;
}

SettingsFile& SettingsFile::RemoveKey(const std::string& section, const std::string& key) {
    for (auto& s : sections_)
        if (s.first == section)
            s.second.erase(std::remove_if(s.second.begin(), s.second.end(), [&](auto& k) { return k.first == key; }),
                           s.second.end());
    return *this;
}

SettingsFile& SettingsFile::RemoveSection(const std::string& section) {
    sections_.erase(std::remove_if(sections_.begin(), sections_.end(), [&](auto& s) { return s.first == section; }),
                    sections_.end());
    return *this;
}

std::string SettingsFile::Text() const {
    std::string text;
    for (const auto& [section, keys] : sections_) {
        text += "[" + section + "]\r\n";
        for (const auto& [key, value] : keys) text += key + "=" + value + "\r\n";
        text += "\r\n";
    }
    return text;
}

}  // namespace zq::test
