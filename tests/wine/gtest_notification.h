// Forced into every GoogleTest translation unit of the Windows unit suite.
// The win32 thread model of Debian's mingw-w64 (GCC 12) has no std::mutex or
// std::condition_variable, which GoogleTest's Notification is built on; this
// one waits on an atomic flag instead. Only GoogleTest's own thread helpers
// use it (the unit suite makes its assertions on the main thread).
#pragma once

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { notified_.store(true, std::memory_order_release); }
    void WaitForNotification() {
        while (!notified_.load(std::memory_order_acquire)) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
