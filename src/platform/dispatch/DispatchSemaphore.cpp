#include "platform/dispatch/DispatchSemaphore.h"

#include <algorithm>
#include <chrono>

#include "platform/dispatch/Clock.h"

namespace brindlecue::platform {

// Waits on cv until pred holds or the process clock reaches the deadline. With a virtual clock
// the deadline moves only when a test advances it, so the wait polls the clock.
template <class Pred>
static bool waitUntilDeadline(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, double deadline,
                              Pred pred) {
    for (;;) {
        if (pred()) return true;
        const double remaining = deadline - Clock::uptime();
        if (remaining <= 0) return false;
        const double step = Clock::isVirtual() ? 0.002 : std::min(remaining, 0.05);
        cv.wait_for(lock, std::chrono::duration<double>(step));
    }
}

void DispatchSemaphore::signal() {
    std::lock_guard lock(mutex_);
    ++count_;
    cv_.notify_one();
}

void DispatchSemaphore::wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return count_ > 0; });
    --count_;
}

bool DispatchSemaphore::wait(double timeout) {
    const double deadline = Clock::uptime() + timeout;
    std::unique_lock lock(mutex_);
    if (!waitUntilDeadline(lock, cv_, deadline, [this] { return count_ > 0; })) return false;
    --count_;
    return true;
}

}  // namespace brindlecue::platform
