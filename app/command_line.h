// The launcher's two switches: "-f" names the settings file, "-log" sets
// the log level. Both are optional; anything else is split and ignored.
#pragma once

#include <array>

#include "app/application.h"

namespace zq {

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

// Applies "-f" and "-log" (the first of each on the line wins), hands the
// settings file to the settings object and fixes the log level.
bool ApplyCommandLine(LauncherProcess& process);

void setIniFile(LauncherProcess& process, const WString& path);

}  // namespace zq
