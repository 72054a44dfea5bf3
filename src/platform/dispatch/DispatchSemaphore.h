#pragma once

#include <condition_variable>
#include <mutex>

namespace brindlecue::platform {

// A counting semaphore. Time-outs are measured on the process clock (virtual in tests).
class DispatchSemaphore {
public:
    explicit DispatchSemaphore(long value) : count_(value) {}
    void signal();
    void wait();
    // True when the semaphore was taken, false when the time-out (seconds) passed first.
    bool wait(double timeout);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    long count_;
};

}  // namespace brindlecue::platform
