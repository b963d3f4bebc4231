// Process environment, version, threads and message boxes of the simulated machine.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/text.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/system_messages.h"
#include "platform/sim/version_check.h"
#include "platform/sim/wildcard.h"

namespace zq::sim {

namespace {
constexpr std::size_t kMaxPathChars = 260;
}  // namespace

WString SimEnvironment::ModulePath() {
    std::lock_guard guard(core_.mutex);
    // GetModuleFileNameW with a buffer of MAX_PATH characters.
    WString path = core_.state.program;
    if (path.size() >= kMaxPathChars) path.resize(kMaxPathChars - 1);
    return path;
}

WString SimEnvironment::ArgumentText() {
    std::lock_guard guard(core_.mutex);
    return core_.state.argumentText;
}

std::optional<WString> SimEnvironment::CurrentDirectory() {
    std::lock_guard guard(core_.mutex);
    if (core_.state.currentDirectoryFails) return std::nullopt;
    return core_.CurrentDirectory().ToString();
}

WString SimEnvironment::WindowsDirectory() {
    std::lock_guard guard(core_.mutex);
    return core_.WindowsFolder().ToString();
}

WString SimEnvironment::SystemDirectory() {
    std::lock_guard guard(core_.mutex);
    return core_.SystemFolder().ToString();
}

std::optional<WString> SimEnvironment::EnvironmentVariable(const WString& name) {
    std::lock_guard guard(core_.mutex);
    for (const auto& variable : core_.state.environment) {
        if (EqualsIgnoringAsciiCase(variable.name, name)) return variable.value;
    }
    return std::nullopt;
}

LocalTime SimEnvironment::Now() { return core_.Now(); }

std::uint16_t SimEnvironment::UserDefaultLangID() {
    std::lock_guard guard(core_.mutex);
    return core_.state.userLanguage;
}

void SimEnvironment::Sleep(unsigned milliseconds) { core_.AdvanceMs(milliseconds); }

MutexOutcome SimEnvironment::CreateNamedMutex(const WString& name) {
    std::lock_guard guard(core_.mutex);
    if (core_.state.mutexCreationFails) {
        core_.SetLastError(kErrorAccessDenied);
        return MutexOutcome::NoHandle;
    }
    // The first instance holds the object until the process ends.
    if (core_.state.otherInstanceRunning || !mutexes_.insert(name).second) {
        core_.SetLastError(kErrorAlreadyExists);
        return MutexOutcome::AlreadyExisted;
    }
    core_.SetLastError(0);
    return MutexOutcome::Created;
}

WString SimEnvironment::SystemMessage(ErrorCode code) { return SystemMessageText(code); }

ErrorCode SimEnvironment::LastError() { return core_.LastError(); }

bool SimVersion::VerifyVersion(const VersionRequest& request) {
    std::lock_guard guard(core_.mutex);
    const OsConfig& os = core_.state.os;
    const bool matches =
        VersionMatches(OsVersion{os.major, os.minor, os.servicePackMajor, os.servicePackMinor}, request);
    core_.SetLastError(matches ? 0 : kErrorOldWinVersion);
    return matches;
}

IsWow64ProcessFn SimVersion::LookupIsWow64Process() {
    std::lock_guard guard(core_.mutex);
    const OsConfig os = core_.state.os;
    if (!os.isWow64ProcessAvailable) return {};
    // The launcher is a 32-bit program: on a 64-bit system it runs under WOW64.
    return [os]() -> std::optional<bool> {
        if (os.isWow64ProcessFails) return std::nullopt;
        return os.bits == 64;
    };
}

unsigned SimVersion::MajorVersion() {
    std::lock_guard guard(core_.mutex);
    return core_.state.os.major & 0xFF;
}

namespace {

class SimLock : public ILock {
public:
    void Acquire() override { mutex_.lock(); }
    void Release() override { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

class SimThread : public IThread {
public:
    explicit SimThread(std::function<void()> body) : thread_(std::move(body)) {}
    // Closing the handle does not wait: the thread runs on by itself.
    ~SimThread() override {
        if (thread_.joinable()) thread_.detach();
    }
    void Join() override {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

class SimEvent : public IEvent {
public:
    void Set() override {
        std::lock_guard guard(mutex_);
        set_ = true;
        changed_.notify_all();
    }
    void Reset() override {
        std::lock_guard guard(mutex_);
        set_ = false;
    }
    void Wait() override {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return set_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

}  // namespace

std::unique_ptr<ILock> SimThreads::MakeLock() { return std::make_unique<SimLock>(); }

std::unique_ptr<IEvent> SimThreads::MakeEvent() { return std::make_unique<SimEvent>(); }

std::unique_ptr<IThread> SimThreads::Start(std::function<void()> body) {
    return std::make_unique<SimThread>(std::move(body));
}

int SimUserInterface::ShowMessageBox(const WString& caption, const WString& text) {
    core_.Journal("messageBox", {{"caption", Narrow(caption)}, {"text", Narrow(text)}});
    // "ok" is the only answer a box with one OK button has; Escape gives it too.
    return kIdOk;
}

}  // namespace zq::sim
