#include "platform/sim/sim_machine.h"

#include <fstream>
#include <system_error>

#include "base/text.h"
#include "platform/sim/host_files.h"
#include "platform/sim/machine_core.h"
#include "platform/sim/sim_services.h"

namespace zq::sim {

namespace {

MachineConfig LoadFolder(const std::filesystem::path& machineDir) {
    std::error_code error;
    if (!std::filesystem::is_directory(machineDir, error)) {
        throw MachineError(machineDir.string() + ": no such machine folder");
    }
    return LoadMachineConfig((machineDir / "machine.json").string());
}

}  // namespace

void CheckOutputFile(const std::filesystem::path& file, const std::filesystem::path& machineDir,
                     const std::string& what) {
    if (SameHostFile(file, machineDir / "machine.json")) {
        throw MachineError(file.string() + ": " + what + " cannot be written: it is the machine's machine.json");
    }
    if (std::optional<std::string> problem = OutputFileProblem(file)) {
        throw MachineError(file.string() + ": " + what + " cannot be written: " + *problem);
    }
}

struct SimMachine::Parts {
    Parts(const std::filesystem::path& dir, MachineConfig config, const std::filesystem::path& journalPath)
        : machineDir(dir), core(dir, std::move(config), journalPath), environment(core), version(core), files(core),
          profile(core), processes(core), registry(core), spooler(core), services(core),
          ui(core), platform{environment, version, files,    profile, processes,
                             registry,    spooler, services, threads, ui} {}

    std::filesystem::path machineDir;
    MachineCore core;
    SimEnvironment environment;
    SimVersion version;
    SimFiles files;
    SimProfileStrings profile;
    SimProcesses processes;
    SimRegistry registry;
    SimSpooler spooler;
    SimServices services;
    SimThreads threads;
    SimUserInterface ui;
    Platform platform;
};

SimMachine::SimMachine(const std::filesystem::path& machineDir,
                       const std::optional<std::filesystem::path>& journalPath) {
    // Everything is checked before the journal, the only thing written here, is started.
    MachineConfig config = LoadFolder(machineDir);
    const std::filesystem::path journal = journalPath.value_or(machineDir / "journal.jsonl");
    CheckOutputFile(journal, machineDir, "the journal");
    parts_ = std::make_unique<Parts>(machineDir, std::move(config), journal);
}

SimMachine::~SimMachine() = default;

Platform& SimMachine::platform() { return parts_->platform; }

std::uint64_t SimMachine::SettingsFileScans() const { return parts_->profile.Scans(); }

const std::filesystem::path& SimMachine::Dir() const { return parts_->machineDir; }

std::filesystem::path SimMachine::JournalPath() const { return parts_->core.JournalPath(); }

void SimMachine::SetArgumentText(const WString& text) {
    std::lock_guard guard(parts_->core.mutex);
    parts_->core.state.argumentText = text;
}

WString SimMachine::ArgumentText() const {
    std::lock_guard guard(parts_->core.mutex);
    return parts_->core.state.argumentText;
}

WString SimMachine::ProgramPath() const {
    std::lock_guard guard(parts_->core.mutex);
    return parts_->core.state.program;
}

void SimMachine::Journal(const std::string& event, const nlohmann::ordered_json& fields) {
    parts_->core.Journal(event, fields);
}

std::int64_t SimMachine::ElapsedMs() const { return parts_->core.ElapsedMs(); }

void SimMachine::AdvanceClock(std::int64_t milliseconds) { parts_->core.AdvanceMs(milliseconds); }

UserConfig SimMachine::User() const {
    std::lock_guard guard(parts_->core.mutex);
    return parts_->core.state.user;
}

nlohmann::ordered_json SimMachine::State() const {
    std::lock_guard guard(parts_->core.mutex);
    MachineConfig state = parts_->core.state;
    state.localTime = parts_->core.Now();  // the clock as it stands
    // A stop under way is written with the time it has left from now on,
    // which is when a machine loaded from this state starts its clock.
    const std::int64_t now = parts_->core.ElapsedMs();
    for (ServiceConfig& service : state.services) {
        if (!service.stopEndsAtMs) continue;
        if (*service.stopEndsAtMs <= now) service.stopEndsAtMs.reset();
        else *service.stopEndsAtMs -= now;
    }
    return MachineConfigToJson(state);
}

void SimMachine::WriteState(const std::filesystem::path& file) const {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << State().dump(2) << '\n';
    if (!out.flush()) throw MachineError(file.string() + ": the state cannot be written");
}

std::filesystem::path SimMachine::HostPathOf(const WString& windowsPath) const {
    std::lock_guard guard(parts_->core.mutex);
    std::optional<WindowsPath> path = parts_->core.ResolveUnredirected(windowsPath);
    if (!path) throw MachineError(Utf16ToUtf8(windowsPath) + ": not a path on the simulated machine");
    return parts_->core.drives.HostPath(*path);
}

}  // namespace zq::sim
