#include "platform/sim/machine_core.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>

#include "base/text.h"
#include "platform/sim/host_files.h"
#include "platform/sim/wildcard.h"

namespace zq::sim {

namespace {

// "C:\Package" when the configured text is not an absolute path.
WindowsPath AbsoluteOr(const WString& text, const WindowsPath& fallback) {
    std::optional<WindowsPath> path = ParseAbsoluteWindowsPath(text);
    return path ? *path : fallback;
}

const WindowsPath kDriveC{L'C', {}};

// Folders below system32 that a 32-bit process still reaches there: the
// file-system redirector exempts them. driverstore joined them with
// Windows 7 (6.1); before, it was redirected like the rest.
const wchar_t* const kExemptFromRedirection[][2] = {
    {L"catroot", nullptr}, {L"catroot2", nullptr}, {L"drivers", L"etc"}, {L"logfiles", nullptr}, {L"spool", nullptr},
};

bool IsExemptFromRedirection(const WindowsPath& path, std::size_t below, const OsConfig& os) {
    const auto& names = path.components;
    if (names.size() <= below) return false;
    if (NamesEqual(names[below], L"driverstore")) return os.major > 6 || (os.major == 6 && os.minor >= 1);
    for (const auto& exempt : kExemptFromRedirection) {
        if (!NamesEqual(names[below], exempt[0])) continue;
        if (!exempt[1]) return true;
        if (names.size() > below + 1 && NamesEqual(names[below + 1], exempt[1])) return true;
    }
    return false;
}

}  // namespace

std::string Narrow(const WString& text) { return Utf16ToUtf8(text); }

MachineCore::MachineCore(const std::filesystem::path& machineDir, MachineConfig config,
                         const std::filesystem::path& journalPath)
    : state(std::move(config)), drives(machineDir), journal_(journalPath), start_(state.localTime) {}

std::int64_t MachineCore::ElapsedMs() const {
    std::lock_guard<std::mutex> guard(clockMutex_);
    return elapsedMs_;
}

void MachineCore::AdvanceMs(std::int64_t milliseconds) {
    if (milliseconds <= 0) return;
    std::unique_lock<std::mutex> lock(clockMutex_);
    const std::int64_t endMs = elapsedMs_ + milliseconds;
    if (!alarm_ || alarm_->atMs >= endMs || alarm_->owner == std::this_thread::get_id()) {
        elapsedMs_ = endMs;
        return;
    }
    // The clock stands at the alarm while its owner acts: what it does is
    // journaled at that moment, before anything this thread does at its end.
    const std::uint64_t released = alarmsReleased_;
    if (!alarm_->rung) {
        alarm_->rung = true;
        elapsedMs_ = std::max(elapsedMs_, alarm_->atMs);
        const std::function<void()> ring = alarm_->ring;
        ++ringsUnderWay_;
        lock.unlock();
        ring();
        lock.lock();
        --ringsUnderWay_;
        alarmReleased_.notify_all();
    }
    alarmReleased_.wait(lock, [&] { return alarmsReleased_ != released; });
    elapsedMs_ = std::max(elapsedMs_, endMs);
}

void MachineCore::SetAlarm(std::int64_t atMs, std::function<void()> ring) {
    std::lock_guard<std::mutex> guard(clockMutex_);
    alarm_ = Alarm{atMs, std::move(ring), std::this_thread::get_id()};
}

void MachineCore::ReleaseAlarm() {
    std::unique_lock<std::mutex> lock(clockMutex_);
    if (!alarm_ || alarm_->owner != std::this_thread::get_id()) return;
    // A ring under way still reaches its owner, which must outlive it.
    alarmReleased_.wait(lock, [this] { return ringsUnderWay_ == 0; });
    alarm_.reset();
    ++alarmsReleased_;
    alarmReleased_.notify_all();
}

void MachineCore::AdvanceSeconds(double seconds) { AdvanceMs(static_cast<std::int64_t>(std::llround(seconds * 1000))); }

LocalTime MachineCore::Now() const {
    using namespace std::chrono;
    const sys_days day = year_month_day{year{start_.year}, month{static_cast<unsigned>(start_.month)},
                                        std::chrono::day{static_cast<unsigned>(start_.day)}};
    const sys_time<milliseconds> now =
        day + hours{start_.hour} + minutes{start_.minute} + seconds{start_.second} + milliseconds{ElapsedMs()};
    const sys_days nowDay = floor<days>(now);
    const year_month_day date{nowDay};
    const hh_mm_ss<milliseconds> clock{now - nowDay};
    return LocalTime{static_cast<int>(date.year()),
                     static_cast<int>(static_cast<unsigned>(date.month())),
                     static_cast<int>(static_cast<unsigned>(date.day())),
                     static_cast<int>(clock.hours().count()),
                     static_cast<int>(clock.minutes().count()),
                     static_cast<int>(clock.seconds().count())};
}

void MachineCore::Journal(const std::string& event, const nlohmann::ordered_json& fields) {
    journal_.Write(ElapsedMs(), event, fields);
}

void MachineCore::WarnNotRegular(const WindowsPath& path, const std::filesystem::path& host) {
    const std::optional<std::string> kind = NonRegularKind(host);
    std::cerr << "zqmerlesetup-sim: " + Narrow(path.ToString()) + " (" + host.string() + ") is " +
                     (kind && *kind != "not a regular file" ? *kind + ", not a regular file" : "not a regular file") +
                     ": not read; the launcher's open of it fails with error 5 (access denied)\n"
              << std::flush;
}

void MachineCore::SetLastError(ErrorCode code) {
    std::lock_guard<std::mutex> guard(errorMutex_);
    lastErrors_[std::this_thread::get_id()] = code;
}

ErrorCode MachineCore::LastError() {
    std::lock_guard<std::mutex> guard(errorMutex_);
    auto found = lastErrors_.find(std::this_thread::get_id());
    return found == lastErrors_.end() ? 0 : found->second;
}

WindowsPath MachineCore::ProgramFolder() const { return AbsoluteOr(state.program, kDriveC.Child(L"x")).Parent(); }

WindowsPath MachineCore::CurrentDirectory() const {
    if (state.currentDirectory.empty()) return ProgramFolder();
    std::optional<WindowsPath> path = ResolveWindowsPath(state.currentDirectory, ProgramFolder());
    return path ? *path : ProgramFolder();
}

WindowsPath MachineCore::WindowsFolder() const { return AbsoluteOr(state.windowsDirectory, kDriveC.Child(L"Windows")); }

WindowsPath MachineCore::SystemFolder() const { return WindowsFolder().Child(L"system32"); }

std::optional<WindowsPath> MachineCore::Wow64SystemFolder() const {
    if (!Is64Bit()) return std::nullopt;
    return WindowsFolder().Child(L"SysWOW64");
}

// WOW64 file-system redirection, for the launcher as a 32-bit process on
// 64-bit Windows: %windir%\system32 and what lies below it is
// %windir%\SysWOW64, except the exempt folders. Not modelled: the
// redirection of %windir%\lastgood\system32 and %windir%\regedit.exe, and
// the Sysnative alias (Vista and later); the launcher names none of them.
std::optional<WindowsPath> MachineCore::Resolve(std::wstring_view path) const {
    std::optional<WindowsPath> resolved = ResolveUnredirected(path);
    const WindowsPath system = SystemFolder();
    if (!resolved || !Is64Bit() || !IsSameOrBelow(*resolved, system)) return resolved;
    const std::size_t below = system.components.size();
    if (IsExemptFromRedirection(*resolved, below, state.os)) return resolved;
    WindowsPath redirected = *Wow64SystemFolder();
    const auto belowSystem = resolved->components.begin() + static_cast<std::ptrdiff_t>(below);
    redirected.components.insert(redirected.components.end(), belowSystem, resolved->components.end());
    return redirected;
}

std::optional<WindowsPath> MachineCore::ResolveUnredirected(std::wstring_view path) const {
    return ResolveWindowsPath(path, CurrentDirectory());
}

bool MachineCore::IsLocked(const WindowsPath& path) const {
    for (const WString& locked : state.lockedFiles) {
        std::optional<WindowsPath> lockedPath = ResolveUnredirected(locked);
        if (lockedPath && SamePath(*lockedPath, path)) return true;
    }
    return false;
}

}  // namespace zq::sim
