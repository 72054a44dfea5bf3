#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "platform/dispatch/Clock.h"

namespace brindlecue::platform {

class DispatchQueue;

// A scheduled timer, one-shot or repeating, that runs its block on a queue (the main queue by
// default). The scheduler keeps a valid timer alive; invalidate() stops it for good.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Block = std::function<void(Timer&)>;

    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Block block,
                                            std::shared_ptr<DispatchQueue> queue = nullptr);
    ~Timer();

    void invalidate();
    bool isValid() const;
    // Runs the block now; a one-shot timer is invalidated by it, a repeating one keeps its schedule.
    void fire();
    double timeInterval() const { return interval_; }

private:
    Timer(double interval, bool repeats, Block block, std::shared_ptr<DispatchQueue> queue);
    void arm(double deadline);
    void onDeadline(double deadline);

    double interval_;
    bool repeats_;
    Block block_;
    std::shared_ptr<DispatchQueue> queue_;
    mutable std::mutex mutex_;
    bool valid_ = true;
    Clock::TimerId pending_ = 0;
};

}  // namespace brindlecue::platform
