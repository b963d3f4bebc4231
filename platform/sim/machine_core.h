// The state that every service of a simulated machine shares: the machine's
// configuration as it changes during the run, its drives, the virtual
// clock, the journal and each thread's last error. Internal to platform/sim.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/sim/journal.h"
#include "platform/sim/machine_config.h"
#include "platform/sim/machine_drives.h"
#include "platform/sim/windows_path.h"

namespace zq::sim {

class MachineCore {
public:
    MachineCore(const std::filesystem::path& machineDir, MachineConfig config,
                const std::filesystem::path& journalPath);

    // Guards `state` and the files of the drives. Recursive: a service
    // answers with the help of others while holding it.
    std::recursive_mutex mutex;
    MachineConfig state;
    const MachineDrives drives;

    std::int64_t ElapsedMs() const;
    void AdvanceMs(std::int64_t milliseconds);
    void AdvanceSeconds(double seconds);
    LocalTime Now() const;

    void Journal(const std::string& event, const nlohmann::ordered_json& fields);
    const std::filesystem::path& JournalPath() const { return journal_.Path(); }

    // GetLastError is per thread, as on Windows.
    void SetLastError(ErrorCode code);
    ErrorCode LastError();

    // The process's current directory: the configured one, or the program's
    // folder. Paths are resolved from it also when the query is made to fail.
    WindowsPath CurrentDirectory() const;
    WindowsPath ProgramFolder() const;
    WindowsPath WindowsFolder() const;
    WindowsPath SystemFolder() const;
    // A path as the launcher's own calls reach it: resolved from the current
    // directory and, on a 64-bit machine, through WOW64's file-system
    // redirection (the launcher is a 32-bit process).
    std::optional<WindowsPath> Resolve(std::wstring_view path) const;
    // A path as machine.json or a test names it: where it really is.
    std::optional<WindowsPath> ResolveUnredirected(std::wstring_view path) const;
    // On a 64-bit machine, the system folder of a 32-bit process (SysWOW64);
    // nullopt on a 32-bit one.
    std::optional<WindowsPath> Wow64SystemFolder() const;
    bool Is64Bit() const { return state.os.bits == 64; }
    bool IsLocked(const WindowsPath& path) const;

private:
    JournalFile journal_;
    mutable std::mutex clockMutex_;
    std::int64_t elapsedMs_ = 0;
    const LocalTime start_;
    std::mutex errorMutex_;
    std::map<std::thread::id, ErrorCode> lastErrors_;
};

// Text at the journal's edge.
std::string Narrow(const WString& text);

}  // namespace zq::sim
