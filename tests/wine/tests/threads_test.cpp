// IThreads: kernel threads and critical sections.
#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"

namespace zq::win32 {
namespace {

// Each increment is a read, a yield and a write, on another thread than
// this one: without the lock the threads' increments overwrite each other.
TEST(Win32Threads, BodiesRunOnOtherThreadsJoinWaitsAndTheLockKeepsIncrementsWhole) {
    Win32Threads threads;
    std::unique_ptr<ILock> lock = threads.MakeLock();
    volatile long counter = 0;
    const DWORD thisThread = ::GetCurrentThreadId();
    volatile bool onThisThread = false;
    std::vector<std::unique_ptr<IThread>> running;
    for (int t = 0; t < 4; ++t) {
        running.push_back(threads.Start([&] {
            for (int i = 0; i < 200; ++i) {
                LockGuard guard(*lock);
                if (::GetCurrentThreadId() == thisThread) onThisThread = true;
                long seen = counter;
                ::Sleep(0);
                counter = seen + 1;
            }
        }));
        ASSERT_NE(running.back(), nullptr);
    }
    for (auto& thread : running) thread->Join();
    EXPECT_EQ(counter, 4 * 200) << "every body ran to its end before the joins returned";
    EXPECT_FALSE(onThisThread);
}

}  // namespace
}  // namespace zq::win32
