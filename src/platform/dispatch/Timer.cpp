#include "platform/dispatch/Timer.h"

#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue::platform {

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Block block,
                                        std::shared_ptr<DispatchQueue> queue) {
    if (!queue) queue = DispatchQueue::main();
    // A repeating timer with no interval would spin; the platform uses a tiny minimum too.
    if (interval < 0.0001) interval = 0.0001;
    auto timer = std::shared_ptr<Timer>(new Timer(interval, repeats, std::move(block), std::move(queue)));
    timer->arm(Clock::uptime() + interval);
    return timer;
}

Timer::Timer(double interval, bool repeats, Block block, std::shared_ptr<DispatchQueue> queue)
    : interval_(interval), repeats_(repeats), block_(std::move(block)), queue_(std::move(queue)) {}

Timer::~Timer() = default;

void Timer::arm(double deadline) {
    std::lock_guard lock(mutex_);
    if (!valid_) return;
    // The scheduler holds the timer while it is valid.
    pending_ = Clock::schedule(deadline, [self = shared_from_this(), deadline] { self->onDeadline(deadline); });
}

void Timer::onDeadline(double deadline) {
    queue_->async([self = shared_from_this()] {
        if (!self->isValid()) return;
        self->block_(*self);
        if (!self->repeats_) self->invalidate();
    });
    if (repeats_) arm(deadline + interval_);
}

void Timer::invalidate() {
    Clock::TimerId pending;
    {
        std::lock_guard lock(mutex_);
        valid_ = false;
        pending = pending_;
        pending_ = 0;
    }
    if (pending) Clock::cancel(pending);
}

bool Timer::isValid() const {
    std::lock_guard lock(mutex_);
    return valid_;
}

void Timer::fire() {
    if (!isValid()) return;
    block_(*this);
    if (!repeats_) invalidate();
}

}  // namespace brindlecue::platform
