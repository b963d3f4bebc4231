#include "authoring/preview_summary.h"

#include <algorithm>
#include <sstream>

namespace zq::sim {

namespace {

const char kValidOs[] = "Valid OS found. OS: ";
const char kInvalidOs[] = "This Operating is not Valid. OS: ";

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::string Text(const nlohmann::json& event, const char* field) {
    const auto found = event.find(field);
    return found != event.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool IsTrue(const nlohmann::json& event, const char* field) {
    const auto found = event.find(field);
    return found != event.end() && found->is_boolean() && found->get<bool>();
}

std::string Number(const nlohmann::json& event, const char* field) {
    const auto found = event.find(field);
    return found != event.end() && found->is_number() ? found->dump() : "?";
}

// The printer set-up tool that the printer update starts for each printer:
// its effect shows as "printerAdded", so it is no program of the package.
bool IsPrinterSetUpTool(const nlohmann::json& event) {
    return Text(event, "commandLine").find("printui.dll,PrintUIEntry") != std::string::npos;
}

std::string Failed(const nlohmann::json& event) { return IsTrue(event, "ok") ? "" : " (failed)"; }

// A message box's line breaks, indented under the label.
std::string Indented(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\n             ") : std::string(1, c);
    return out;
}

}  // namespace

PreviewSummary SummariseRun(const std::vector<nlohmann::json>& journal, const std::vector<std::string>& logMessages) {
    PreviewSummary summary;
    bool validOs = false, invalidOs = false, ran = false;
    for (const std::string& line : logMessages) {
        if (StartsWith(line, kValidOs)) {
            validOs = true;
            summary.osEntry = line.substr(sizeof kValidOs - 1);
        }
        if (StartsWith(line, kInvalidOs)) invalidOs = true;
    }
    for (const nlohmann::json& event : journal) {
        const std::string name = Text(event, "event");
        if (name == "messageBox") {
            summary.message = Text(event, "text");
        } else if (name == "processStart" && !IsPrinterSetUpTool(event)) {
            ran = true;
            std::string line = Text(event, "commandLine");
            if (!IsTrue(event, "started")) line += " (not started: error " + Number(event, "error") + ")";
            summary.programs.push_back(line);
        } else if (name == "printerDeleted") {
            summary.printers.push_back("deleted " + Text(event, "name") + Failed(event));
        } else if (name == "printerAdded") {
            summary.printers.push_back("added " + Text(event, "name") + " on " + Text(event, "port") + " (" +
                                       Text(event, "driver") + ")" + Failed(event));
        } else if (name == "printerRestored") {
            summary.printers.push_back("restored " + Text(event, "name") + " on " + Text(event, "port") + " (" +
                                       Text(event, "driver") + ")" + Failed(event));
        } else if (name == "serviceControl") {
            const std::string error = Number(event, "error");
            summary.services.push_back((Text(event, "action") == "stop" ? "stopped " : "started ") +
                                       Text(event, "service") + (error == "0" ? "" : " (error " + error + ")"));
        } else if (name == "processTerminated") {
            summary.services.push_back("ended " + Text(event, "name") + Failed(event));
        } else if (name == "registryRead" && !Text(event, "view").empty()) {
            const std::string line = Text(event, "key") + " (" + Text(event, "view") + " view" +
                                     (IsTrue(event, "found") ? "" : ", not found") + ")";
            if (std::find(summary.registry.begin(), summary.registry.end(), line) == summary.registry.end()) {
                summary.registry.push_back(line);
            }
        } else if (name == "copyDialogShown") {
            summary.copyDialogShown = true;
        } else if (name == "finishScreenShown") {
            ran = true;
            summary.finishHeadline = Text(event, "headline");
        } else if (name == "restartRequested") {
            summary.restartRequested = true;
        }
    }
    if (invalidOs) {
        summary.verdict = PreviewVerdict::UnsupportedWindows;
    } else if (ran) {
        summary.verdict = PreviewVerdict::Ran;
    } else if (validOs && summary.message) {
        summary.verdict = PreviewVerdict::DriverNotInstalled;
    } else {
        summary.verdict = PreviewVerdict::Refused;
    }
    return summary;
}

std::string FormatSummary(const std::string& heading, const PreviewSummary& summary) {
    std::ostringstream out;
    auto list = [&](const char* label, const std::vector<std::string>& items, const char* none) {
        out << "  " << label;
        if (items.empty()) out << none << "\n";
        for (std::size_t i = 0; i < items.size(); ++i) {
            out << (i == 0 ? "" : "             ") << items[i] << "\n";
        }
    };
    out << heading << "\n";
    switch (summary.verdict) {
        case PreviewVerdict::Ran: out << "  verdict:   ran (os_list entry " << summary.osEntry << ")\n"; break;
        case PreviewVerdict::UnsupportedWindows:
            out << "  verdict:   refused: unsupported Windows\n  message 1: \""
                << Indented(summary.message.value_or("")) << "\"\n";
            break;
        case PreviewVerdict::DriverNotInstalled:
            out << "  verdict:   refused: driver not installed (os_list entry " << summary.osEntry
                << ")\n  message 8: \"" << Indented(summary.message.value_or("")) << "\"\n";
            break;
        case PreviewVerdict::Refused: out << "  verdict:   refused before the checks (see the log)\n"; break;
    }
    if (summary.exit) {
        const PreviewExit& exit = *summary.exit;
        out << "  exit:      " << exit.status;
        if (exit.managed) {
            out << " (" << exit.outcome << ")\n";
        } else {
            out << " (interactive run; as a managed run: " << exit.code << ", " << exit.outcome << ")\n";
        }
    }
    if (summary.verdict != PreviewVerdict::Ran) return out.str();
    list("programs:  ", summary.programs, "none");
    list("printers:  ", summary.printers, "none touched");
    if (!summary.services.empty()) list("services:  ", summary.services, "");
    if (!summary.registry.empty()) list("registry:  ", summary.registry, "");
    if (summary.finishHeadline) {
        out << "  screens:   " << (summary.copyDialogShown ? "copy dialog, " : "") << "finish screen \""
            << *summary.finishHeadline << "\"\n";
    } else {
        // A "-quiet" run shows no window.
        out << "  screens:   " << (summary.copyDialogShown ? "copy dialog" : "none") << "\n";
    }
    out << "  restart:   " << (summary.restartRequested ? "requested" : "not requested") << "\n";
    return out.str();
}

}  // namespace zq::sim
