// A simulated machine set up for a run of the launcher: the package's
// settings file at C:\Package\autorun.inf, the temporary folder C:\Temp,
// and the example driver installed (C:\Windows\inf\oem1.inf in UTF-16LE
// holding "ZQ Merle 5400").
#pragma once

#include <string>
#include <vector>

#include "tests/support/settings_file.h"
#include "tests/support/test_machine.h"

namespace zq::test {

inline constexpr char kSettingsPath[] = "C:\\Package\\autorun.inf";
inline constexpr char kDriverKeyword[] = "ZQ Merle 5400";

class StandardMachine : public TestMachine {
public:
    explicit StandardMachine(const SettingsFile& settings, bool driverInstalled = true);
    void WriteSettings(const SettingsFile& settings);
};

// Whether a log (as LogMessages gives it) holds the line exactly.
bool Contains(const std::vector<std::string>& lines, const std::string& line);
// The lines from the first that starts with `first` (inclusive), or none.
std::vector<std::string> LinesFrom(const std::vector<std::string>& lines, const std::string& first);
// The lines that start with a prefix.
std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix);

}  // namespace zq::test
