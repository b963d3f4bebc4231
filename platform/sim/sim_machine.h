// A simulated Windows machine, described by a machine folder:
//
//   MACHINE_DIR/machine.json     the machine's state (machine_config.h)
//   MACHINE_DIR/drives/C/...     the files of drive C:, and so on
//
// Every platform interface answers from that state, and a run changes it
// as a real run would change the machine: files appear in drives/, printers
// and registry keys come and go, services stop and start. Time is virtual:
// it starts at "localTime" and moves only by simulated durations. What
// happens is written to the journal (JSON Lines, journal.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/platform.h"
#include "platform/sim/machine_config.h"

namespace zq::sim {

class SimMachine {
public:
    // Reads and checks MACHINE_DIR/machine.json and starts the journal
    // (default MACHINE_DIR/journal.jsonl). Throws MachineError, naming the
    // file and the problem, when the folder is missing, machine.json is
    // unreadable or invalid, or the journal cannot be written
    // (CheckOutputFile); nothing is written into the folder then.
    explicit SimMachine(const std::filesystem::path& machineDir,
                        const std::optional<std::filesystem::path>& journalPath = std::nullopt);
    ~SimMachine();
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    // Every service of the machine, to hand to the launcher.
    Platform& platform();

    const std::filesystem::path& Dir() const;
    std::filesystem::path JournalPath() const;

    // Overrides machine.json's "argumentText" (the program's --args).
    void SetArgumentText(const WString& text);
    WString ArgumentText() const;
    WString ProgramPath() const;

    // Adds an event to the journal at the current virtual time; `fields` is
    // an object ({"caption": ...}). Safe from any thread.
    void Journal(const std::string& event, const nlohmann::ordered_json& fields = nlohmann::ordered_json::object());

    // The virtual clock: milliseconds since the start, and a simulated
    // duration passing (a timer, a wait).
    std::int64_t ElapsedMs() const;
    void AdvanceClock(std::int64_t milliseconds);

    // What the person at the screen does ("user" in machine.json).
    UserConfig User() const;

    // The machine as it is now, in machine.json's schema.
    nlohmann::ordered_json State() const;
    void WriteState(const std::filesystem::path& file) const;

    // How many times the machine's GetPrivateProfileStringW has decoded and
    // parsed a settings file: once for each content of each file it read,
    // however many values it read from it.
    std::uint64_t SettingsFileScans() const;

    // The host file of a Windows path (relative paths from the machine's
    // current directory); names that exist are matched without regard to case.
    std::filesystem::path HostPathOf(const WString& windowsPath) const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// Throws MachineError, naming the file and `what` it is for ("the
// journal"), when the file cannot take the program's output or is the
// machine folder's machine.json: checked before a run starts.
void CheckOutputFile(const std::filesystem::path& file, const std::filesystem::path& machineDir,
                     const std::string& what);

}  // namespace zq::sim
