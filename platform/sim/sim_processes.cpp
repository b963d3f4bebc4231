// Processes of the simulated machine: command-line resolution as
// CreateProcessW does it, programs that run for virtual time, the built-in
// printer set-up tool (rundll32 printui.dll,PrintUIEntry), the process list.
#include <algorithm>

#include "platform/sim/command_line.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/wildcard.h"

namespace zq::sim {

namespace {

constexpr std::uint32_t kFirstPid = 1000;
constexpr std::uint32_t kPrintUiFailed = 1;
constexpr std::uint32_t kStillActive = 259;

struct ResolvedProgram {
    WindowsPath path;  // stored spelling
    std::size_t argumentsAt = 0;
};

// What a program does when it runs.
struct ProgramRun {
    double runSeconds = 0;
    std::uint32_t exitCode = 0;
    std::optional<PrintUiCall> printui;
};

// The system folder that the launcher, a 32-bit process, sees: SysWOW64 on a
// 64-bit machine.
WindowsPath LauncherSystemFolder(MachineCore& core) { return core.Wow64SystemFolder().value_or(core.SystemFolder()); }

bool IsRundll32(MachineCore& core, const WindowsPath& path) {
    return SamePath(path, core.SystemFolder().Child(L"rundll32.exe")) ||
           SamePath(path, LauncherSystemFolder(core).Child(L"rundll32.exe"));
}

// rundll32.exe in the system folder exists whether or not drives/ holds it
// (on a 64-bit machine in both system32 and SysWOW64).
bool IsExistingProgram(MachineCore& core, const WindowsPath& path) {
    return IsRundll32(core, path) || core.drives.KindOf(path) == EntryKind::File;
}

// The places a bare name is searched, in the system's order.
std::vector<WindowsPath> SearchFolders(MachineCore& core) {
    std::vector<WindowsPath> folders{core.ProgramFolder(), core.CurrentDirectory(), LauncherSystemFolder(core),
                                     core.WindowsFolder().Child(L"System"), core.WindowsFolder()};
    for (const EnvironmentVariable& variable : core.state.environment) {
        if (!NamesEqual(variable.name, L"PATH")) continue;
        std::size_t start = 0;
        while (start <= variable.value.size()) {
            std::size_t end = variable.value.find(L';', start);
            if (end == WString::npos) end = variable.value.size();
            if (std::optional<WindowsPath> folder =
                    ParseAbsoluteWindowsPath(variable.value.substr(start, end - start))) {
                folders.push_back(*folder);
            }
            start = end + 1;
        }
    }
    return folders;
}

std::optional<WindowsPath> FindProgram(MachineCore& core, const WString& name) {
    if (name.empty()) return std::nullopt;
    const WString withExtension = WithDefaultExtension(name);
    if (IsBareName(withExtension)) {
        for (const WindowsPath& folder : SearchFolders(core)) {
            std::optional<WindowsPath> candidate = ResolveWindowsPath(withExtension, folder);
            if (candidate && IsExistingProgram(core, *candidate)) return candidate;
        }
        return std::nullopt;
    }
    std::optional<WindowsPath> candidate = core.Resolve(withExtension);
    if (candidate && IsExistingProgram(core, *candidate)) return candidate;
    return std::nullopt;
}

// CreateProcessW(NULL, commandLine): the first candidate that names an
// existing file; 87 for an empty command line, otherwise 2.
std::optional<ResolvedProgram> ResolveCommandLine(MachineCore& core, const WString& commandLine, ErrorCode& error) {
    const std::vector<ModuleCandidate> candidates = ModuleCandidates(commandLine);
    if (candidates.empty()) {
        error = commandLine.empty() ? kErrorInvalidParameter : kErrorFileNotFound;
        return std::nullopt;
    }
    for (const ModuleCandidate& candidate : candidates) {
        if (std::optional<WindowsPath> found = FindProgram(core, candidate.name)) {
            return ResolvedProgram{core.drives.StoredPath(*found), candidate.argumentsAt};
        }
    }
    error = kErrorFileNotFound;
    return std::nullopt;
}

ProgramRun RunOf(MachineCore& core, const ResolvedProgram& program, const WString& commandLine) {
    ProgramRun run;
    if (IsRundll32(core, program.path)) {
        run.printui = ParsePrintUiCall(std::wstring_view(commandLine).substr(program.argumentsAt));
        if (run.printui) run.runSeconds = core.state.printui.runSeconds;
        return run;
    }
    for (const ProgramConfig& configured : core.state.programs) {
        std::optional<WindowsPath> path = core.ResolveUnredirected(configured.path);
        if (path && SamePath(*path, program.path)) {
            run.runSeconds = configured.runSeconds;
            run.exitCode = configured.exitCode;
            break;
        }
    }
    return run;
}

std::uint32_t NewPid(const MachineConfig& state, std::uint32_t& lastPid) {
    std::uint32_t pid = std::max(lastPid, kFirstPid - 4);
    for (const ProcessConfig& process : state.processes) pid = std::max(pid, process.pid);
    lastPid = pid + 4;
    return lastPid;
}

// printui /if: the printer appears, with an empty PrinterDriverData key,
// exactly when the INF names an existing file and the tool is not made to fail.
std::uint32_t InstallPrinter(MachineCore& core, const PrintUiCall& call) {
    const bool complete = call.installFromInf && call.name && call.inf && call.port && call.driver;
    bool ok = complete && !core.state.printui.fails;
    if (ok) {
        const std::vector<WString>& failsFor = core.state.printui.failsFor;
        ok = std::none_of(failsFor.begin(), failsFor.end(),
                          [&](const WString& name) { return NamesEqual(name, *call.name); });
    }
    if (ok) {
        std::optional<WindowsPath> inf = core.Resolve(*call.inf);
        ok = inf && core.drives.KindOf(*inf) == EntryKind::File;
    }
    if (ok) {
        // A printer of that name already there is not replaced.
        ok = std::none_of(core.state.printers.begin(), core.state.printers.end(),
                          [&](const PrinterConfig& printer) { return NamesEqual(printer.name, *call.name); });
    }
    if (ok) {
        AddPrinterToState(core.state, PrinterRecord{.name = *call.name, .port = *call.port, .driver = *call.driver});
    }
    if (call.installFromInf) {
        auto text = [](const std::optional<WString>& value) { return Narrow(value.value_or(L"")); };
        core.Journal("printerAdded", {{"name", text(call.name)},
                                      {"port", text(call.port)},
                                      {"driver", text(call.driver)},
                                      {"inf", text(call.inf)},
                                      {"ok", ok}});
    }
    return ok ? 0 : kPrintUiFailed;
}

class SimRunningProcess : public IRunningProcess {
public:
    SimRunningProcess(MachineCore& core, WString commandLine, ProgramRun run, std::uint32_t pid)
        : core_(core), commandLine_(std::move(commandLine)), run_(std::move(run)), pid_(pid) {}

    // The program runs its virtual time, has its effect and ends.
    ErrorCode WaitForEnd() override {
        std::unique_lock guard(core_.mutex);
        if (ended_ || waited_) return 0;
        waited_ = true;
        // The machine is not held while the program runs: what happens on
        // other threads meanwhile (a key pressed in a window) happens at its
        // own time, before the program ends.
        guard.unlock();
        core_.AdvanceSeconds(run_.runSeconds);
        guard.lock();
        ended_ = true;
        exitCode_ = run_.exitCode;
        if (run_.printui) exitCode_ = InstallPrinter(core_, *run_.printui);
        const std::uint32_t exitCode = exitCode_;
        auto& processes = core_.state.processes;
        processes.erase(std::remove_if(processes.begin(), processes.end(),
                                       [this](const ProcessConfig& process) { return process.pid == pid_; }),
                        processes.end());
        core_.Journal("processEnd", {{"commandLine", Narrow(commandLine_)}, {"exitCode", exitCode}});
        return 0;
    }

    // A process still running has the exit code STILL_ACTIVE (259).
    ErrorCode ExitCode(std::uint32_t& code) override {
        std::lock_guard guard(core_.mutex);
        code = ended_ ? exitCode_ : kStillActive;
        return 0;
    }

private:
    MachineCore& core_;
    WString commandLine_;
    ProgramRun run_;
    std::uint32_t pid_;
    bool waited_ = false;  // a wait has begun: the program's time is passing
    bool ended_ = false;
    std::uint32_t exitCode_ = 0;
};

}  // namespace

ProcessStart SimProcesses::Start(const WString& commandLine, const WString& applicationPath) {
    std::lock_guard guard(core_.mutex);
    ErrorCode error = 0;
    std::optional<ResolvedProgram> program;
    if (applicationPath.empty()) {
        program = ResolveCommandLine(core_, commandLine, error);
    } else {
        // An application name is taken as it is: no search, no ".exe".
        std::optional<WindowsPath> path = core_.Resolve(applicationPath);
        if (path && IsExistingProgram(core_, *path)) {
            std::vector<ModuleCandidate> candidates = ModuleCandidates(commandLine);
            program = ResolvedProgram{core_.drives.StoredPath(*path),
                                      candidates.empty() ? commandLine.size() : candidates.front().argumentsAt};
        } else {
            error = kErrorFileNotFound;
        }
    }
    nlohmann::ordered_json programField =
        program ? nlohmann::ordered_json(Narrow(program->path.ToString())) : nlohmann::ordered_json();
    core_.Journal("processStart", {{"commandLine", Narrow(commandLine)},
                                   {"program", programField},
                                   {"started", program.has_value()},
                                   {"error", error}});
    if (!program) {
        core_.SetLastError(error);
        return ProcessStart{nullptr, error};
    }
    const std::uint32_t pid = NewPid(core_.state, lastPid_);
    // Running now; it leaves the list when it has been waited for to its end.
    core_.state.processes.push_back(ProcessConfig{program->path.components.back(), pid, false, {}});
    core_.SetLastError(0);
    return ProcessStart{
        std::make_unique<SimRunningProcess>(core_, commandLine, RunOf(core_, *program, commandLine), pid), 0};
}

std::optional<std::vector<ProcessEntry>> SimProcesses::Snapshot() {
    std::lock_guard guard(core_.mutex);
    if (core_.state.snapshotFails) {
        core_.SetLastError(kErrorAccessDenied);
        return std::nullopt;
    }
    std::vector<ProcessEntry> entries;
    for (ProcessConfig& process : core_.state.processes) {
        entries.push_back({process.name, process.pid});
        // Listed, it ends at once and another process takes its id: the
        // snapshot is out of date before its caller reads it.
        if (!process.pidReusedBy.empty()) {
            process = ProcessConfig{process.pidReusedBy, process.pid, false, {}};
        }
    }
    return entries;
}

namespace {

// A process opened for termination: the handle holds the process whose id
// it was opened by (the simulated machine passes an id on only through
// "pidReusedBy", at a snapshot, never while a handle holds it).
class SimOpenedProcess : public IOpenedProcess {
public:
    SimOpenedProcess(MachineCore& core, std::uint32_t pid) : core_(core), pid_(pid) {}

    bool Terminate() override {
        std::lock_guard guard(core_.mutex);
        auto& processes = core_.state.processes;
        auto found = std::find_if(processes.begin(), processes.end(),
                                  [this](const ProcessConfig& process) { return process.pid == pid_; });
        if (found == processes.end()) {
            // Ended already: Windows lets a process be terminated only once
            // (ERROR_ACCESS_DENIED).
            core_.SetLastError(kErrorAccessDenied);
            core_.Journal("processTerminated", {{"name", nullptr}, {"pid", pid_}, {"ok", false}});
            return false;
        }
        const WString name = found->name;
        const bool ok = !found->terminateFails;
        if (ok) processes.erase(found);
        core_.SetLastError(ok ? 0 : kErrorAccessDenied);
        core_.Journal("processTerminated", {{"name", Narrow(name)}, {"pid", pid_}, {"ok", ok}});
        return ok;
    }

private:
    MachineCore& core_;
    std::uint32_t pid_;
};

}  // namespace

std::unique_ptr<IOpenedProcess> SimProcesses::OpenForTerminate(std::uint32_t pid) {
    std::lock_guard guard(core_.mutex);
    const auto& processes = core_.state.processes;
    const bool running = std::any_of(processes.begin(), processes.end(),
                                     [pid](const ProcessConfig& process) { return process.pid == pid; });
    // OpenProcess on an id that no process holds: ERROR_INVALID_PARAMETER.
    core_.SetLastError(running ? 0 : kErrorInvalidParameter);
    if (!running) return nullptr;
    return std::make_unique<SimOpenedProcess>(core_, pid);
}

}  // namespace zq::sim
