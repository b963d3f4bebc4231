// IThreads: kernel threads and critical sections.
#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"

namespace zq::win32 {
namespace {

TEST(Win32Threads, BodyRunsOnAnotherThreadAndJoinWaitsForIt) {
    Win32Threads threads;
    const DWORD mainThread = ::GetCurrentThreadId();
    DWORD bodyThread = mainThread;
    bool ran = false;
    std::unique_ptr<IThread> thread = threads.Start([&] {
        bodyThread = ::GetCurrentThreadId();
        ran = true;
    });
    ASSERT_NE(thread, nullptr);
    thread->Join();
    EXPECT_TRUE(ran);
    EXPECT_NE(bodyThread, mainThread);
}

TEST(Win32Threads, LockKeepsIncrementsWhole) {
    // Each increment is a read, a yield and a write: without the lock the
    // threads' increments overwrite each other.
    Win32Threads threads;
    std::unique_ptr<ILock> lock = threads.MakeLock();
    volatile long counter = 0;
    constexpr int kThreads = 4;
    constexpr int kIncrements = 200;
    std::vector<std::unique_ptr<IThread>> running;
    for (int t = 0; t < kThreads; ++t) {
        running.push_back(threads.Start([&] {
            for (int i = 0; i < kIncrements; ++i) {
                LockGuard guard(*lock);
                long seen = counter;
                ::Sleep(0);
                counter = seen + 1;
            }
        }));
        ASSERT_NE(running.back(), nullptr);
    }
    for (auto& thread : running) thread->Join();
    EXPECT_EQ(counter, kThreads * kIncrements);
}

}  // namespace
}  // namespace zq::win32
