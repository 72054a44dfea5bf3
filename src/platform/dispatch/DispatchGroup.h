#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace brindlecue::platform {

class DispatchQueue;

// Tracks a set of pending tasks; notifications run when the count returns to zero.
class DispatchGroup {
public:
    static std::shared_ptr<DispatchGroup> create() { return std::make_shared<DispatchGroup>(); }

    void enter();
    // Leaving more often than entering is a programming error; the extra leave is ignored.
    void leave();
    void notify(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block);
    void wait();
    // True when the group emptied before the time-out (seconds, process clock).
    bool wait(double timeout);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    long count_ = 0;
    std::vector<std::pair<std::shared_ptr<DispatchQueue>, std::function<void()>>> notifications_;
};

}  // namespace brindlecue::platform
