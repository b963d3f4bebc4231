// The package checker: what a settings file (autorun.inf) asks of the
// launcher that the launcher will not do as the author meant, found without
// running it. Values are read with the same profile rules as the launcher
// (ReadProfileString), so the checker sees what the launcher sees; what it
// makes of them (the os_list entries, their OS numbers and word sizes, the
// Run section and its overrides, the program markers, the lowered command
// line and the printer update's INF path) comes from the launcher's own
// functions, never from a copy of their rules.
//
// The package folder is the folder of the settings file: "%sourcepath%" and
// relative paths in command lines stand for it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/text.h"

namespace zq::sim {

struct Finding {
    std::string section;  // as the file spells it; "" for the file as a whole
    std::string key;      // "" for the section as a whole
    int line = 0;         // 1-based; 0 when no line holds the fault
    std::string code;     // stable name of the problem, such as "os-entry-blank"
    std::string problem;  // what the launcher will do, in one sentence
    std::string advice;   // what to write instead
};

// Whether a path below the package folder (components as written, ".."
// already resolved) names an existing file (`folder` false) or folder.
using PackageEntryExists = std::function<bool(const std::vector<WString>& components, bool folder)>;

// Every finding in the settings file, in the order of its lines (file-wide
// findings first). `codePage` is the ANSI code page of the Windows the
// author writes for (ansi_code_page.h): a file without a byte-order mark is
// read in it, and a byte it leaves undefined is a finding.
std::vector<Finding> CheckSettingsFile(const std::string& fileBytes, const PackageEntryExists& exists,
                                       unsigned codePage = 1252);

}  // namespace zq::sim
