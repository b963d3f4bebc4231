// Settings files for tests: a package's autorun.inf built section by
// section, starting from one that a 32-bit Windows 5.1 machine with the
// example driver accepts.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zq::test {

class SettingsFile {
public:
    // Log 511, os_list 501, keyword "ZQ Merle 5400", no Run section,
    // English texts 1 to 8 under LangMap 0x0409.
    static SettingsFile Basic();

    SettingsFile& Set(const std::string& section, const std::string& key, const std::string& value);
    SettingsFile& RemoveKey(const std::string& section, const std::string& key);
    SettingsFile& RemoveSection(const std::string& section);
    // The file's text, sections in the order they were first set, CR LF.
    std::string Text() const;

private:
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections_;
};

}  // namespace zq::test
