// Threads and locks from the kernel, never from std::thread or std::mutex:
// MinGW's posix-model runtime behind those imports GetTickCount64, and an
// exe that imports it does not load on Windows XP.
#include "platform/win32/win32_platform.h"

namespace zq::win32 {

namespace {

class Win32Lock final : public ILock {
public:
    Win32Lock() { ::InitializeCriticalSection(&section_); }
    ~Win32Lock() override { ::DeleteCriticalSection(&section_); }
    Win32Lock(const Win32Lock&) = delete;
    Win32Lock& operator=(const Win32Lock&) = delete;

    void Acquire() override { ::EnterCriticalSection(&section_); }
    void Release() override { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class Win32Thread final : public IThread {
public:
    explicit Win32Thread(HANDLE thread) : thread_(thread) {}

    void Join() override { ::WaitForSingleObject(thread_.Get(), INFINITE); }

private:
    ScopedHandle thread_;
};

// Manual-reset: once set, every wait returns until it is reset.
class Win32Event final : public IEvent {
public:
    Win32Event() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    void Set() override { ::SetEvent(event_.Get()); }
    void Reset() override { ::ResetEvent(event_.Get()); }
    void Wait() override { ::WaitForSingleObject(event_.Get(), INFINITE); }

private:
    ScopedHandle event_;
};

using ThreadBody = std::function<void()>;

// The thread owns its body. An exception must not unwind into the system's
// thread start code: noexcept turns one into std::terminate here.
DWORD WINAPI RunThreadBody(void* parameter) noexcept {
    std::unique_ptr<ThreadBody> body(static_cast<ThreadBody*>(parameter));
    (*body)();
    return 0;
}

}  // namespace

std::unique_ptr<ILock> Win32Threads::MakeLock() { return std::make_unique<Win32Lock>(); }

std::unique_ptr<IEvent> Win32Threads::MakeEvent() { return std::make_unique<Win32Event>(); }

// Null when the system cannot create the thread; the body has not run then.
std::unique_ptr<IThread> Win32Threads::Start(std::function<void()> body) {
    auto owned = std::make_unique<ThreadBody>(std::move(body));
    HANDLE thread = ::CreateThread(nullptr, 0, RunThreadBody, owned.get(), 0, nullptr);
    if (thread == nullptr) return nullptr;
    owned.release();  // the new thread deletes it
    return std::make_unique<Win32Thread>(thread);
}

}  // namespace zq::win32
