// GoogleTest's port customisation for the win32 thread model: only its
// Notification (used by GoogleTest's own tests, never by ours) is built on
// std::mutex, which GCC 12's win32 thread model does not provide.
#pragma once

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
public:
    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load()) {}
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace testing::internal
