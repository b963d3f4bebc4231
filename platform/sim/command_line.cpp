#include "platform/sim/command_line.h"

#include "platform/sim/wildcard.h"

namespace zq::sim {

namespace {
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
}  // namespace

std::vector<ModuleCandidate> ModuleCandidates(std::wstring_view commandLine) {
    std::vector<ModuleCandidate> candidates;
    std::size_t start = 0;
    while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
    if (start == commandLine.size()) return candidates;

    if (commandLine[start] == L'"') {
        std::size_t close = commandLine.find(L'"', start + 1);
        if (close == std::wstring_view::npos) {
            candidates.push_back({WString(commandLine.substr(start + 1)), commandLine.size()});
        } else {
            candidates.push_back({WString(commandLine.substr(start + 1, close - start - 1)), close + 1});
        }
        return candidates;
    }
    for (std::size_t i = start; i < commandLine.size(); ++i) {
        if (IsBlank(commandLine[i]) && !IsBlank(commandLine[i - 1])) {
            candidates.push_back({WString(commandLine.substr(start, i - start)), i});
        }
    }
    if (!IsBlank(commandLine.back())) {
        candidates.push_back({WString(commandLine.substr(start)), commandLine.size()});
    }
    return candidates;
}

WString WithDefaultExtension(std::wstring_view name) {
    std::size_t lastSeparator = name.find_last_of(L"\\/:");
    std::wstring_view last = lastSeparator == std::wstring_view::npos ? name : name.substr(lastSeparator + 1);
    if (last.find(L'.') != std::wstring_view::npos) return WString(name);
    return WString(name) + L".exe";
}

bool IsBareName(std::wstring_view name) { return name.find_first_of(L"\\/:") == std::wstring_view::npos; }

std::vector<WString> SplitArguments(std::wstring_view text) {
    std::vector<WString> arguments;
    WString current;
    bool inQuotes = false, inArgument = false;
    for (wchar_t c : text) {
        if (c == L'"') {
            inQuotes = !inQuotes;
            inArgument = true;
        } else if (IsBlank(c) && !inQuotes) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current.push_back(c);
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

std::optional<PrintUiCall> ParsePrintUiCall(std::wstring_view rundll32Arguments) {
    std::vector<WString> arguments = SplitArguments(rundll32Arguments);
    if (arguments.empty() || !NamesEqual(arguments[0], L"printui.dll,PrintUIEntry")) return std::nullopt;
    PrintUiCall call;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const WString& argument = arguments[i];
        std::optional<WString>* target = nullptr;
        if (NamesEqual(argument, L"/if")) {
            call.installFromInf = true;
        } else if (NamesEqual(argument, L"/b")) {
            target = &call.name;
        } else if (NamesEqual(argument, L"/f")) {
            target = &call.inf;
        } else if (NamesEqual(argument, L"/r")) {
            target = &call.port;
        } else if (NamesEqual(argument, L"/m")) {
            target = &call.driver;
        }
        if (target && i + 1 < arguments.size()) *target = arguments[++i];
    }
    return call;
}

}  // namespace zq::sim
