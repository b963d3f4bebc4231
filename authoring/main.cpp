// zqmerlesetup-sim: runs the launcher on a simulated Windows machine.
//
//   zqmerlesetup-sim [--journal FILE] [--state-out FILE] [--args TEXT] [MACHINE_DIR]
//   zqmerlesetup-sim --check SETTINGS_FILE [--format json] [--code-page N] [--args TEXT]
//   zqmerlesetup-sim --preview PACKAGE_DIR [MACHINES_DIR]
//
// Without MACHINE_DIR the example package runs on the built-in default
// machine, in a fresh temporary folder; the program says where, and prints
// the log file and the journal. Exit status: 0 after a run, 2 when the
// simulation cannot start.
//
// --check reports what a package's settings file asks that the launcher
// will not do as meant (checker_report.h), and with --args what of a
// launcher command line (such as "-quiet -norestart -result PATH") it will
// not do as meant: exit 0 when clean, 1 with findings, 2 when the file
// cannot be read. --preview runs a package on
// each machine of MACHINES_DIR (default: the examples' machines) and prints
// a summary per machine (package_preview.h).
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/sim/ansi_code_page.h"
#include "authoring/checker_report.h"
#include "platform/sim/default_machine.h"
#include "platform/sim/host_files.h"
#include "authoring/package_preview.h"
#include "app/sim/run_launcher.h"
#include "platform/sim/sim_machine.h"

namespace {

namespace fs = std::filesystem;
constexpr int kCannotStart = 2;

struct Options {
    std::optional<fs::path> journal;
    std::optional<fs::path> stateOut;
    std::optional<std::string> args;
    std::optional<fs::path> machineDir;
};

const char kUsage[] =
    "usage: zqmerlesetup-sim [--journal FILE] [--state-out FILE] [--args TEXT] [MACHINE_DIR]\n"
    "       zqmerlesetup-sim --check SETTINGS_FILE [--format json] [--code-page N] [--args TEXT]\n"
    "       zqmerlesetup-sim --preview PACKAGE_DIR [MACHINES_DIR]";

// The number of a supported ANSI code page, or nothing.
std::optional<unsigned> ParseCodePage(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const auto number = static_cast<unsigned>(std::stoul(text));
    if (!zq::sim::IsSupportedAnsiCodePage(number)) return std::nullopt;
    return number;
}

// --check SETTINGS_FILE [--format json|text] [--code-page N] [--args TEXT],
// in any order after --check.
int CheckCommand(const std::vector<std::string>& arguments) {
    std::optional<std::string> file;
    std::optional<zq::WString> argumentText;
    bool asJson = false;
    unsigned codePage = zq::sim::kDefaultAnsiCodePage;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--format" && i + 1 < arguments.size() &&
            (arguments[i + 1] == "json" || arguments[i + 1] == "text")) {
            asJson = arguments[++i] == "json";
        } else if (arguments[i] == "--code-page") {
            std::optional<unsigned> page = i + 1 < arguments.size() ? ParseCodePage(arguments[i + 1]) : std::nullopt;
            if (!page) {
                std::cerr << "zqmerlesetup-sim: --code-page needs one of " << zq::sim::SupportedAnsiCodePages() << "\n"
                          << kUsage << "\n";
                return kCannotStart;
            }
            codePage = *page;
            ++i;
        } else if (arguments[i] == "--args") {
            if (i + 1 >= arguments.size()) {
                std::cerr << "zqmerlesetup-sim: --args needs the launcher's argument text\n" << kUsage << "\n";
                return kCannotStart;
            }
            argumentText = zq::Utf8ToUtf16(arguments[++i]);
        } else if (!file && arguments[i].rfind("--", 0) != 0) {
            file = arguments[i];
        } else {
            std::cerr << "zqmerlesetup-sim: unexpected argument " << arguments[i] << "\n" << kUsage << "\n";
            return kCannotStart;
        }
    }
    if (!file) {
        std::cerr << "zqmerlesetup-sim: --check needs a settings file\n" << kUsage << "\n";
        return kCannotStart;
    }
    return zq::sim::RunCheck(*file, asJson, std::cout, std::cerr, codePage, argumentText);
}

// --preview PACKAGE_DIR [MACHINES_DIR]
int PreviewCommand(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.size() > 2) {
        std::cerr << "zqmerlesetup-sim: --preview needs a package folder and at most one machines folder\n"
                  << kUsage << "\n";
        return kCannotStart;
    }
    const fs::path machines = arguments.size() == 2 ? fs::path(arguments[1]) : zq::sim::ExamplesDir() / "machines";
    return zq::sim::RunPreview(arguments[0], machines, std::cout, std::cerr);
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string& problem) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                problem = argument + " needs a value";
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (argument == "--journal" || argument == "--state-out" || argument == "--args") {
            std::optional<std::string> text = value();
            if (!text) return std::nullopt;
            if (argument == "--journal") options.journal = fs::path(*text);
            if (argument == "--state-out") options.stateOut = fs::path(*text);
            if (argument == "--args") options.args = *text;
        } else if (argument == "--help" || argument == "-h") {
            problem = "";
            return std::nullopt;
        } else if (argument.rfind("--", 0) == 0 || options.machineDir) {
            problem = "unexpected argument " + argument;
            return std::nullopt;
        } else {
            options.machineDir = fs::path(argument);
        }
    }
    return options;
}

fs::path MakeTemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (fs::path(base && *base ? base : "/tmp") / "zqmerlesetup-sim-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw zq::sim::MachineError(pattern + ": no temporary folder can be made");
    return fs::path(buffer.data());
}

void PrintFile(const fs::path& file, const std::string& title) {
    std::ifstream in(file, std::ios::binary);
    std::cout << "----- " << title << " -----\n" << in.rdbuf() << std::flush;
}

// The demo's report: where the machine is, its log files and the journal.
void PrintDemoReport(zq::sim::SimMachine& machine) {
    const std::optional<zq::WString> temp = machine.platform().environment.EnvironmentVariable(L"TEMP");
    std::vector<fs::path> logs;
    std::error_code error;
    const fs::path tempFolder = machine.HostPathOf(temp.value_or(L"\\"));
    for (const fs::directory_entry& entry : fs::directory_iterator(tempFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("zqmerlesetup", 0) == 0 && entry.path().extension() == ".log") logs.push_back(entry.path());
    }
    std::sort(logs.begin(), logs.end());
    for (const fs::path& log : logs) {
        PrintFile(log, zq::Utf16ToUtf8(temp.value_or(L"")) + "\\" + log.filename().string());
    }
    PrintFile(machine.JournalPath(), "journal " + machine.JournalPath().string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::string(argv[1]) == "--check" || std::string(argv[1]) == "--preview")) {
        const std::vector<std::string> rest(argv + 2, argv + argc);
        return std::string(argv[1]) == "--check" ? CheckCommand(rest) : PreviewCommand(rest);
    }
    std::string problem;
    std::optional<Options> options = ParseOptions(argc, argv, problem);
    if (!options) {
        if (!problem.empty()) std::cerr << "zqmerlesetup-sim: " << problem << "\n";
        std::cerr << kUsage << "\n";
        return kCannotStart;
    }
    try {
        const bool demo = !options->machineDir;
        fs::path machineDir;
        if (demo) {
            machineDir = MakeTemporaryFolder();
            zq::sim::MakeDefaultMachine(machineDir);
            std::cout << "Simulated machine: " << machineDir.string() << "\n";
        } else {
            machineDir = *options->machineDir;
        }
        // The state file is checked before the run, as the journal is.
        if (options->stateOut) {
            zq::sim::CheckOutputFile(*options->stateOut, machineDir, "the state");
            if (zq::sim::SameHostFile(*options->stateOut, options->journal.value_or(machineDir / "journal.jsonl"))) {
                throw zq::sim::MachineError(options->stateOut->string() +
                                            ": the state cannot be written: it is the journal too");
            }
        }
        zq::sim::SimMachine machine(machineDir, options->journal);
        if (options->args) machine.SetArgumentText(zq::Utf8ToUtf16(*options->args));
        zq::sim::RunLauncherOn(machine);
        if (options->stateOut) machine.WriteState(*options->stateOut);
        if (demo) PrintDemoReport(machine);
    } catch (const zq::sim::MachineError& error) {
        std::cerr << "zqmerlesetup-sim: " << error.what() << "\n";
        return kCannotStart;
    } catch (const std::exception& error) {
        // Whatever else goes wrong is said, not an abort.
        std::cerr << "zqmerlesetup-sim: the simulation failed: " << error.what() << "\n";
        return kCannotStart;
    }
    // The launcher's own status is always 0.
    return 0;
}
