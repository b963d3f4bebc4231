// The launcher's switches: "-f" names the settings file, "-log" sets the
// log level; "-quiet", "-norestart" and "-result PATH" make the run a
// managed one (run/run_report.h). All are optional; anything else is split
// and ignored.
#pragma once

#include <array>

#include "run/application.h"

namespace zq {

// The switches, as the lowered argument text spells them.
inline constexpr wchar_t kSettingsFileSwitch[] = L"-f";
inline constexpr wchar_t kLogLevelSwitch[] = L"-log";
inline constexpr wchar_t kQuietSwitch[] = L"-quiet";
inline constexpr wchar_t kNoRestartSwitch[] = L"-norestart";
inline constexpr wchar_t kResultSwitch[] = L"-result";

struct SwitchPairs {
    std::array<WString, kMaxSwitches> names;
    std::array<WString, kMaxSwitches> values;
    int count = 0;
};

// Splits the argument text into switch/value pairs, from the end of the
// text towards its start (entry 0 is the last switch), in lower case. A
// "-" starts a switch only at the start of the text or after white space,
// and never inside double quotes: "-f c:\drv-pack\a.inf" is one pair.
SwitchPairs SplitSwitches(WStringView argumentText);

void SplitCommandLine(CzqmerlesetupApp& app, WStringView argumentText);

// "-quiet", "-norestart" and "-result" among the pairs, as "-f" and "-log"
// are found: exact lower-case names, the first "-result" with a value wins
// and loses its double quotes; a "-result" without a value is ignored.
ManagedSwitches FindManagedSwitches(const SwitchPairs& pairs);

// Applies "-f" and "-log" (the first of each on the line wins), hands the
// settings file to the settings object and fixes the log level; notes the
// managed run's switches.
bool ApplyCommandLine(LauncherProcess& process);

void setIniFile(LauncherProcess& process, const WString& path);

}  // namespace zq
