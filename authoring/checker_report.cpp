#include "authoring/checker_report.h"

#include <fstream>
#include <ostream>
#include <sstream>
#include <system_error>

#include "authoring/argument_check.h"
#include "platform/sim/host_files.h"
#include "platform/sim/machine_drives.h"
#include "platform/sim/wildcard.h"

namespace zq::sim {

namespace fs = std::filesystem;

std::string FindingsAsText(const std::string& fileName, const std::vector<Finding>& findings) {
    std::ostringstream text;
    for (const Finding& finding : findings) {
        text << fileName;
        if (finding.line > 0) text << ":" << finding.line;
        text << ": ";
        if (!finding.section.empty()) text << "[" << finding.section << "] ";
        if (!finding.key.empty()) text << finding.key << ": ";
        text << finding.problem << "\n    advice: " << finding.advice << "\n";
    }
    if (findings.empty()) {
        text << fileName << ": no findings.\n";
    } else {
        text << findings.size() << (findings.size() == 1 ? " finding" : " findings") << " in " << fileName << ".\n";
    }
    return text.str();
}

nlohmann::ordered_json FindingsAsJson(const std::string& fileName, const std::vector<Finding>& findings) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Finding& finding : findings) {
        list.push_back({{"section", finding.section},
                        {"key", finding.key},
                        {"line", finding.line},
                        {"code", finding.code},
                        {"problem", finding.problem},
                        {"advice", finding.advice}});
    }
    return {{"file", fileName}, {"findings", list}};
}

PackageEntryExists HostPackageFolder(const fs::path& root) {
    return [root](const std::vector<WString>& components, bool folder) {
        fs::path current = root;
        for (const WString& component : components) {
            std::error_code error;
            bool found = false;
            for (const fs::directory_entry& entry : fs::directory_iterator(current, error)) {
                if (NamesEqual(WindowsName(entry.path().filename()), component)) {
                    current = entry.path();
                    found = true;
                    break;
                }
            }
            if (!found) return false;
        }
        std::error_code error;
        return folder ? fs::is_directory(current, error) : fs::is_regular_file(current, error);
    };
}

int RunCheck(const fs::path& settingsFile, bool asJson, std::ostream& out, std::ostream& err, unsigned codePage,
             const std::optional<WString>& argumentText) {
    std::error_code error;
    // A FIFO, a device or a folder is refused before anything opens it.
    std::string problem;
    const std::optional<std::string> bytes = ReadRegularHostFile(settingsFile, kSettingsFileMaxBytes, problem);
    if (!bytes) {
        err << "zqmerlesetup-sim: " << settingsFile.string() << ": the settings file cannot be read: " << problem
            << "\n";
        return kCheckCannotRead;
    }
    const fs::path packageRoot = fs::absolute(settingsFile, error).parent_path();
    std::vector<Finding> findings = CheckSettingsFile(*bytes, HostPackageFolder(packageRoot), codePage);
    if (argumentText) {
        const std::vector<Finding> onTheLine = CheckLauncherArguments(*argumentText);
        findings.insert(findings.end(), onTheLine.begin(), onTheLine.end());
    }
    if (asJson) {
        // A file name need not be UTF-8 on the host, nor a section or key
        // name read in another code page: such bytes become U+FFFD.
        out << FindingsAsJson(settingsFile.string(), findings)
                   .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
            << "\n";
    } else {
        out << FindingsAsText(settingsFile.string(), findings);
    }
    return findings.empty() ? kCheckClean : kCheckFoundSomething;
}

}  // namespace zq::sim
