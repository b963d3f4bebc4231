// How CreateProcessW finds the program of a command line when no separate
// application name is given, apart from the file system.
//
// A quoted first token is the program. An unquoted first token is tried at
// each blank from left to right, so "C:\Program Files\My App\tool.exe arg"
// tries C:\Program.exe, then C:\Program Files\My.exe, then ...\tool.exe: the
// first existing file runs. ".exe" is added to a name without extension
// (a trailing '.' means "no extension, add nothing").
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace zq::sim {

inline constexpr ErrorCode kErrorInvalidParameter = 87;

struct ModuleCandidate {
    WString name;             // the program name as written, before ".exe" is added
    std::size_t argumentsAt;  // where the rest of the command line begins
};

// The names to try, in order; empty for an empty command line (error 87).
std::vector<ModuleCandidate> ModuleCandidates(std::wstring_view commandLine);

// ".exe" appended when the last name has no extension; nothing when it ends in '.'.
WString WithDefaultExtension(std::wstring_view name);

// A name without any folder part ("setup.exe"), searched along the system's
// search order; anything else is a path.
bool IsBareName(std::wstring_view name);

// Arguments split at blanks and tabs; double quotes group and are removed.
std::vector<WString> SplitArguments(std::wstring_view text);

// rundll32's "printui.dll,PrintUIEntry" call. Switches are matched without
// regard to case; a switch's value is the next argument.
struct PrintUiCall {
    bool installFromInf = false;    // "/if"
    std::optional<WString> name;    // "/b"
    std::optional<WString> inf;     // "/f"
    std::optional<WString> port;    // "/r"
    std::optional<WString> driver;  // "/m"
};
// nullopt when the arguments do not call PrintUIEntry.
std::optional<PrintUiCall> ParsePrintUiCall(std::wstring_view rundll32Arguments);

}  // namespace zq::sim
