// The checker's look at a launcher command line (zqmerlesetup-sim --check
// SETTINGS_FILE --args TEXT): what an administrator means to give a
// deployment engine, split with the launcher's own rules, and what of it
// the launcher will not do as meant. Findings name the section
// "command line" and the switch as the key.
#pragma once

#include <vector>

#include "authoring/package_checker.h"

namespace zq::sim {

std::vector<Finding> CheckLauncherArguments(WStringView argumentText);

}  // namespace zq::sim
