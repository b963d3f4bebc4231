// The state that every service of a simulated machine shares: the machine's
// configuration as it changes during the run, its drives, the virtual
// clock, the journal and each thread's last error. Internal to platform/sim.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
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
    // A duration passing on the calling thread. An advance that would pass
    // a set alarm stops the clock at the alarm, rings it and waits until it
    // is released, then goes on to its own end.
    void AdvanceMs(std::int64_t milliseconds);
    // Lets the calling thread act at a moment of virtual time while other
    // threads are passing it: a window reacting to a key pressed while the
    // launcher waits for a program. `ring` is called on the advancing
    // thread, without the clock's lock or `mutex` held by this core; the
    // owner acts and then calls ReleaseAlarm. The owner's own advances never
    // stop at it. One alarm at a time.
    void SetAlarm(std::int64_t atMs, std::function<void()> ring);
    // Clears the calling thread's alarm; advances stopped at it go on.
    // Called without any lock that `ring` takes.
    void ReleaseAlarm();
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
    // Says on stderr that a host entry of the drives that is not a regular
    // file (a FIFO, a device) was not read: the launcher's open of it fails
    // with access denied, as Windows fails a file it cannot read, and its
    // log does not tell why.
    void WarnNotRegular(const WindowsPath& path, const std::filesystem::path& host);

private:
    JournalFile journal_;
    mutable std::mutex clockMutex_;
    std::int64_t elapsedMs_ = 0;
    struct Alarm {
        std::int64_t atMs;
        std::function<void()> ring;
        std::thread::id owner;
        bool rung = false;
    };
    std::optional<Alarm> alarm_;
    std::uint64_t alarmsReleased_ = 0;
    int ringsUnderWay_ = 0;
    std::condition_variable alarmReleased_;
    const LocalTime start_;
    std::mutex errorMutex_;
    std::map<std::thread::id, ErrorCode> lastErrors_;
};

// Text at the journal's edge.
std::string Narrow(const WString& text);

}  // namespace zq::sim
