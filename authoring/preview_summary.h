// What one run of a package did on one machine, in a few lines: the
// verdict, the programs started, the printers touched, the registry keys
// read on a 64-bit machine (with the view each read used) and the restart.
// Made from the run's journal and the messages of its log (the log's
// level-1 verdict lines tell an unsupported Windows from a missing driver,
// which the journal shows alike as one message box).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zq::sim {

enum class PreviewVerdict {
    Ran,                 // the programs ran and the finish screen was shown
    UnsupportedWindows,  // no os_list entry matched: message 1
    DriverNotInstalled,  // no magic keyword found: message 8
    Refused,             // ended before the checks (a second instance, no current folder)
};

// How the run ended: the process's exit status and the run's Windows
// Installer code (app/entry.h's ProgramEnd).
struct PreviewExit {
    int status = 0;
    bool managed = false;  // the machine's argumentText holds -quiet, -norestart or -result
    int code = 0;          // the status of a managed run; what one would return, for an interactive run
    std::string outcome;   // the code's one word
};

struct PreviewSummary {
    PreviewVerdict verdict = PreviewVerdict::Refused;
    std::string osEntry;                 // the os_list entry that matched, when one did
    std::optional<std::string> message;  // the message box's text, when one was shown
    std::vector<std::string> programs;   // command lines started, in order; failures say so
    std::vector<std::string> printers;   // "deleted X", "added X on PORT (DRIVER)", failures say so
    std::vector<std::string> services;   // "stopped zqdevsvc", "started zqdevsvc", "ended zqnotify.exe"
    // Each key read on a 64-bit machine, once, where it really is, with its
    // view: "HKLM\SOFTWARE\Wow6432Node\Zelt\Pictavo (32-bit view)", and
    // ", not found" inside the brackets when the key is missing. Empty on a
    // 32-bit machine, which has one view.
    std::vector<std::string> registry;
    bool copyDialogShown = false;
    std::optional<std::string> finishHeadline;  // text 2 on the finish screen
    bool restartRequested = false;
    std::optional<PreviewExit> exit;  // set by the preview, which ran the launcher
};

// `journal` holds the journal's events in order; `logMessages` the log's
// lines without their time stamps (empty when the run wrote no log).
PreviewSummary SummariseRun(const std::vector<nlohmann::json>& journal, const std::vector<std::string>& logMessages);

// The summary as a few indented lines under a heading; with the exit, a line
// such as "exit:      3010 (pending)".
std::string FormatSummary(const std::string& heading, const PreviewSummary& summary);

}  // namespace zq::sim
