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

}  // namespace zq::test
