// The command line: SplitSwitches on any argument text, then the two
// switches applied by a launcher on a simulated machine.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>

#include "app/command_line.h"
#include "fuzz/fuzz_support.h"
#include "platform/sim/sim_machine.h"

namespace {

using zq::WString;
using zq::fuzz::Require;
namespace fs = std::filesystem;

bool HasEdgeWhiteSpace(const WString& text) {
    return !text.empty() && (zq::IsCWhiteSpace(text.front()) || zq::IsCWhiteSpace(text.back()));
}

bool HasAsciiUpper(const WString& text) {
    for (wchar_t c : text)
        if (zq::fuzz::IsAsciiUpper(c)) return true;
    return false;
}

void CheckPairs(const WString& argumentText, const zq::SwitchPairs& pairs) {
    Require(pairs.count >= 0 && pairs.count <= zq::kMaxSwitches, "at most 30 pairs");
    const WString lowered = zq::ToLowerAscii(argumentText);
    for (int i = 0; i < zq::kMaxSwitches; ++i) {
        const WString& name = pairs.names[i];
        const WString& value = pairs.values[i];
        if (i >= pairs.count) {
            Require(name.empty() && value.empty(), "entries past the count stay empty");
            continue;
        }
        Require(!name.empty() && name.front() == L'-', "a switch starts with \"-\"");
        Require(name.find(L' ') == WString::npos, "a switch holds no blank");
        Require(!HasEdgeWhiteSpace(name) && !HasEdgeWhiteSpace(value), "switch and value are trimmed");
        Require(!HasAsciiUpper(name) && !HasAsciiUpper(value), "switch and value are lower case");
        Require(lowered.find(name) != WString::npos, "the switch is text of the line");
        Require(lowered.find(value) != WString::npos, "the value is text of the line");
    }
}

// One machine for the whole run: C:\Package\autorun.inf sets level 127,
// and TEMP names no folder, so the log writes nothing and stays small.
class FuzzMachine {
public:
    FuzzMachine() {
        const fs::path base = fs::temp_directory_path() / "zq-fuzz-command-line-XXXXXX";
        std::string pattern = base.string();
        if (!mkdtemp(pattern.data())) std::abort();
        dir_ = pattern;
        fs::create_directories(dir_ / "drives" / "C" / "Package");
        std::ofstream(dir_ / "machine.json") << R"({"environment": {"TEMP": "C:\\NoLogFolder"}})";
        std::ofstream(dir_ / "drives" / "C" / "Package" / "autorun.inf", std::ios::binary)
            << "[Version]\r\nLog=127\r\n";
        machine_ = std::make_unique<zq::sim::SimMachine>(dir_, dir_ / "journal.jsonl");
    }
    ~FuzzMachine() {
        machine_.reset();
        std::error_code error;
        fs::remove_all(dir_, error);
    }
    zq::Platform& platform() { return machine_->platform(); }

private:
    fs::path dir_;
    std::unique_ptr<zq::sim::SimMachine> machine_;
};

void CheckApplied(const zq::SwitchPairs& pairs, zq::LauncherProcess& process) {
    // The first "-f" and "-log" of the line, with a value, win: the highest
    // entries, since entry 0 is the last switch.
    const WString* file = nullptr;
    const WString* level = nullptr;
    for (int i = 0; i < pairs.count; ++i) {
        if (pairs.names[i] == zq::kSettingsFileSwitch && !pairs.values[i].empty()) file = &pairs.values[i];
        if (pairs.names[i] == zq::kLogLevelSwitch && !pairs.values[i].empty()) level = &pairs.values[i];
    }
    const WString expectedFile =
        file ? zq::ReplaceAll(*file, L"\"", L"") : process.theApp.ModuleDirectory + L"\\autorun.inf";
    Require(process.SettingsFilePath == expectedFile, "the settings file is the first -f value, unquoted");
    Require(process.g_iniFile.Path() == expectedFile, "the settings object reads that file");
    const int logLevel = process.g_logFile.Level();
    Require(logLevel == zq::LOG_HIGH || logLevel == zq::LOG_MEDIUM || logLevel == zq::LOG_LOW,
            "the log level is 1, 127 or 511");
    if (level) {
        Require(process.RequestedLogLevel == zq::WToI(*level), "the requested level is the first -log value");
        Require(logLevel == zq::NormalizeLogLevel(zq::WToI(*level)), "the log level follows -log");
    } else {
        Require(logLevel == zq::LOG_HIGH || logLevel == zq::LOG_MEDIUM, "without -log the settings file decides");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzMachine machine;
    const WString argumentText = zq::fuzz::TextOfUtf8(data, size);
    const zq::SwitchPairs pairs = zq::SplitSwitches(argumentText);
    CheckPairs(argumentText, pairs);

    zq::LauncherProcess process(machine.platform());
    process.theApp.ModuleDirectory = L"C:\\Package";
    zq::SplitCommandLine(process.theApp, argumentText);
    Require(process.theApp.SwitchCount == pairs.count, "SplitCommandLine stores what SplitSwitches gives");
    Require(zq::ApplyCommandLine(process), "ApplyCommandLine succeeds");
    CheckApplied(pairs, process);
    return 0;
}
