// A simulated machine set up for a run of the launcher: the package's
// settings file at C:\Package\autorun.inf, the temporary folder C:\Temp,
// and the example driver installed (C:\Windows\inf\oem1.inf in UTF-16LE
// holding "ZQ Merle 5400"); and the checks that the tests share.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "run/application.h"
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
// Whether the lines of `run` stand in the log one right after the other.
testing::AssertionResult HasRun(const std::vector<std::string>& log, const std::vector<std::string>& run);
// The log without the level-511 trace: function entries and exits, the
// settings file's reads, and the empty lines after system texts.
std::vector<std::string> WithoutTrace(const std::vector<std::string>& log);
// One field of each journal event: a string as it is, any other value as JSON text.
std::vector<std::string> Values(const std::vector<nlohmann::json>& events, const std::string& field);
// A launcher process of the machine (loaded now, with C:\Temp) that logs at level 511.
std::unique_ptr<LauncherProcess> ProcessOn(TestMachine& machine);

}  // namespace zq::test
