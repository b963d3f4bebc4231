#include "tests/support/scenario.h"

#include <algorithm>

#include "base/text.h"

namespace zq::test {

StandardMachine::StandardMachine(const SettingsFile& settings, bool driverInstalled) {
    MakeFolder("C:\\Temp");
    WriteSettings(settings);
    MakeFolder("C:\\Windows\\inf");
    if (driverInstalled)
        WriteUtf16LeFile("C:\\Windows\\inf\\oem1.inf",
                         L"[Version]\r\nSignature=\"$Windows NT$\"\r\n[Strings]\r\nModel=\"" +
                             WidenAscii(kDriverKeyword) + L" Series\"\r\n",
                         true);
}

void StandardMachine::WriteSettings(const SettingsFile& settings) { WriteFile(kSettingsPath, settings.Text()); }

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::string> LinesFrom(const std::vector<std::string>& lines, const std::string& first) {
    auto start = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(first, 0) == 0; });
    return std::vector<std::string>(start, lines.end());
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
}

testing::AssertionResult HasRun(const std::vector<std::string>& log, const std::vector<std::string>& run) {
    if (std::search(log.begin(), log.end(), run.begin(), run.end()) != log.end()) return testing::AssertionSuccess();
    testing::AssertionResult failure = testing::AssertionFailure() << "these lines in a row:\n";
    for (const std::string& line : run) failure << "  " << line << "\n";
    failure << "are not in the log:\n";
    for (const std::string& line : log) failure << "  " << line << "\n";
    return failure;
}

std::vector<std::string> WithoutTrace(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const std::string& line : log)
        if (!line.empty() && line.rfind("--> ", 0) != 0 && line.rfind("<-- E", 0) != 0 &&
            line.rfind("Read Section", 0) != 0 && line != kSettingsPath && line.rfind("Number of keys", 0) != 0 &&
            line.rfind("## ReadStr", 0) != 0)
            out.push_back(line);
    return out;
}

std::vector<std::string> Values(const std::vector<nlohmann::json>& events, const std::string& field) {
    std::vector<std::string> out;
    for (const nlohmann::json& event : events) {
        const nlohmann::json& value = event[field];
        out.push_back(value.is_string() ? value.get<std::string>() : value.dump());
    }
    return out;
}

std::unique_ptr<LauncherProcess> ProcessOn(TestMachine& machine) {
    machine.MakeFolder("C:\\Temp");
    auto process = std::make_unique<LauncherProcess>(machine.Load().platform());
    process->g_logFile.SetLevel(LOG_LOW);
    return process;
}

}  // namespace zq::test
