// zqmerlesetup-sim --check SETTINGS_FILE [--format json] [--code-page N]
// [--args TEXT]:
// the package checker's findings for a person or for a build pipeline.
// --code-page names the ANSI code page of the Windows the package is for
// (default 1252; ansi_code_page.h lists the others).
//
// Text:   autorun.inf:14: [OS_Support] os_list: Entry " 600" begins with a blank: …
//             advice: Write the list without blanks after the commas, …
// JSON:   {"file": "...", "findings": [{"section": "OS_Support", "key": "os_list",
//          "line": 14, "code": "os-entry-blank", "problem": "...", "advice": "..."}]}
//
// Exit status: 0 without findings, 1 with findings, 2 when the settings
// file cannot be read: missing, larger than 64 MiB, or not a regular file
// (a FIFO, a device, a folder: refused without being opened). In JSON,
// bytes that are not UTF-8 (a host file name in another encoding) are
// replaced by U+FFFD.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <iosfwd>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "authoring/package_checker.h"

namespace zq::sim {

inline constexpr int kCheckClean = 0;
inline constexpr int kCheckFoundSomething = 1;
inline constexpr int kCheckCannotRead = 2;
// Far beyond any settings file; a larger one is not read.
inline constexpr std::uint64_t kSettingsFileMaxBytes = std::uint64_t{64} << 20;

std::string FindingsAsText(const std::string& fileName, const std::vector<Finding>& findings);
nlohmann::ordered_json FindingsAsJson(const std::string& fileName, const std::vector<Finding>& findings);

// Files and folders below a host folder, names matched without regard to
// case as on Windows.
PackageEntryExists HostPackageFolder(const std::filesystem::path& root);

// Reads the settings file, checks it against the package folder around it
// and prints the findings; returns the exit status. With `argumentText`
// (--args), the launcher command line that the package will be given is
// checked too (argument_check.h), its findings after the file's.
int RunCheck(const std::filesystem::path& settingsFile, bool asJson, std::ostream& out, std::ostream& err,
             unsigned codePage = 1252, const std::optional<WString>& argumentText = std::nullopt);

}  // namespace zq::sim
