#include "authoring/argument_check.h"

#include <set>

#include "app/command_line.h"

namespace zq::sim {

namespace {

const char kSection[] = "command line";

const std::set<WString> kKnownSwitches = {kSettingsFileSwitch, kLogLevelSwitch, kQuietSwitch, kNoRestartSwitch,
                                          kResultSwitch};
const std::set<WString> kSwitchesWithValue = {kSettingsFileSwitch, kLogLevelSwitch, kResultSwitch};

// A drive letter, a colon and a backslash, or \\server\share.
bool IsAbsolutePath(WStringView path) {
    const auto isLetter = [](wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); };
    const bool drive = path.size() >= 3 && isLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
    return drive || (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\');
}

// Words that begin with "/" at the start of the text or after white space,
// outside double quotes: the switches of Windows Installer, Inno Setup and
// NSIS, which the launcher does not read.
std::vector<WString> SlashWords(WStringView text) {
    std::vector<WString> words;
    bool insideQuotes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'"') insideQuotes = !insideQuotes;
        if (text[i] != L'/' || insideQuotes || (i > 0 && !IsCWhiteSpace(text[i - 1]))) continue;
        std::size_t end = i;
        while (end < text.size() && !IsCWhiteSpace(text[end])) ++end;
        words.emplace_back(text.substr(i, end - i));
    }
    return words;
}

}  // namespace

std::vector<Finding> CheckLauncherArguments(WStringView argumentText) {
    std::vector<Finding> findings;
    auto add = [&](WStringView key, std::string code, std::string problem, std::string advice) {
        findings.push_back({kSection, Utf16ToUtf8(key), 0, std::move(code), std::move(problem), std::move(advice)});
    };
    const SwitchPairs pairs = SplitSwitches(argumentText);
    // In the order of the line: entry 0 is its last switch.
    for (int i = pairs.count - 1; i >= 0; --i) {
        const WString& name = pairs.names[i];
        const std::string shown = Utf16ToUtf8(name);
        if (kKnownSwitches.count(name) == 0) {
            add(name, "switch-unknown",
                "\"" + shown + "\" is no switch of the launcher: it is split off and has no effect.",
                "Use -f, -log, -quiet, -norestart or -result; for a deployment engine, "
                "-quiet -norestart -result PATH.");
        } else if (kSwitchesWithValue.count(name) != 0 && ReplaceAll(pairs.values[i], L"\"", L"").empty()) {
            const char* example = name == kLogLevelSwitch       ? " 511."
                                  : name == kSettingsFileSwitch ? " autorun.inf."
                                                                : " C:\\ProgramData\\Zq\\result.json.";
            add(name, "switch-value-missing", "\"" + shown + "\" has no value: the launcher ignores it.",
                "Write the value after the switch and a blank, such as " + shown + example);
        }
    }
    for (const WString& word : SlashWords(argumentText)) {
        add(word, "switch-slash",
            "\"" + Utf16ToUtf8(word) +
                "\" begins with \"/\": the launcher reads only switches that begin with \"-\", "
                "so it is ignored.",
            "Write the launcher's own switches: -quiet for /quiet, /qn, /S or /VERYSILENT, and -norestart for "
            "/norestart.");
    }
    const ManagedSwitches managed = FindManagedSwitches(pairs);
    if (managed.resultPath && !IsAbsolutePath(*managed.resultPath)) {
        add(kResultSwitch, "result-path-relative",
            "The result file \"" + Utf16ToUtf8(*managed.resultPath) +
                "\" is a relative path: it lands in the "
                "launcher's current folder, which the deployment engine chooses.",
            "Give a full path, such as -result \"C:\\ProgramData\\Zq\\result.json\".");
    }
    if (managed.quiet && !managed.noRestart) {
        add(kQuietSwitch, "quiet-restarts",
            "\"-quiet\" without \"-norestart\" restarts the computer at the end of every completed run, as Windows "
            "Installer's quiet mode does, and ends with 1641; Configuration Manager and PDQ Deploy report such a "
            "deployment as failed unless they are told to expect the restart.",
            "Give -quiet -norestart and let the engine restart the computer (the run ends with 3010).");
    }
    return findings;
}

}  // namespace zq::sim
