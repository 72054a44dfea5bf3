#include "platform/uikit/CADisplayLink.h"

#include <algorithm>
#include <cmath>

#include "platform/dispatch/RunLoop.h"

namespace brindlecue::platform {
namespace {

// The refresh that the uptime falls in (refresh k starts at k / 60 s).
uint64_t refreshAt(double uptime) {
    return uint64_t(std::max(0.0, std::floor(uptime * CADisplayLink::kRefreshesPerSecond + 1e-6)));
}

double uptimeOf(uint64_t refresh) {
    return double(refresh) / CADisplayLink::kRefreshesPerSecond;
}

}  // namespace

std::shared_ptr<CADisplayLink> CADisplayLink::displayLinkWithAction(Action action) {
    auto link = make<CADisplayLink>();
    link->action_ = std::move(action);
    return link;
}

CADisplayLink::~CADisplayLink() {
    if (pending_) Clock::cancel(pending_);
}

void CADisplayLink::addToRunLoop(RunLoop& runLoop, const std::string& mode) {
    std::lock_guard lock(mutex_);
    if (!valid_ || added_ || &runLoop != &RunLoop::main()) return;
    added_ = true;
    mode_ = mode;
    scheduleLocked();
}

std::string CADisplayLink::runLoopMode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

bool CADisplayLink::isPaused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

void CADisplayLink::setPaused(bool paused) {
    std::lock_guard lock(mutex_);
    if (paused == paused_) return;
    paused_ = paused;
    if (paused) {
        if (pending_) Clock::cancel(pending_);
        pending_ = 0;
        ++generation_;
    } else {
        scheduleLocked();
    }
}

int64_t CADisplayLink::frameInterval() const {
    std::lock_guard lock(mutex_);
    return frameInterval_;
}

void CADisplayLink::setFrameInterval(int64_t interval) {
    std::lock_guard lock(mutex_);
    if (interval >= 1) frameInterval_ = interval;
}

void CADisplayLink::invalidate() {
    Action dropped;
    {
        std::lock_guard lock(mutex_);
        valid_ = false;
        added_ = false;
        if (pending_) Clock::cancel(pending_);
        pending_ = 0;
        ++generation_;
        dropped = std::move(action_);
        action_ = nullptr;
    }
    // The action (and what it captured) goes outside the lock.
}

bool CADisplayLink::isValid() const {
    std::lock_guard lock(mutex_);
    return valid_;
}

double CADisplayLink::timestamp() const {
    std::lock_guard lock(mutex_);
    return timestamp_;
}

void CADisplayLink::scheduleLocked() {
    if (!valid_ || !added_ || paused_ || pending_) return;
    armLocked(refreshAt(Clock::uptime()) + uint64_t(frameInterval_));
}

void CADisplayLink::armLocked(uint64_t refresh) {
    const uint64_t gen = ++generation_;
    // The scheduler holds the link until the refresh has been delivered or dropped.
    auto self = std::static_pointer_cast<CADisplayLink>(shared_from_this());
    pending_ = Clock::schedule(uptimeOf(refresh), [self, refresh, gen] {
        RunLoop::main().enqueue([self, refresh, gen] { self->fire(refresh, gen); });
    });
}

void CADisplayLink::fire(uint64_t refresh, uint64_t generation) {
    Action action;
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_ || !valid_ || paused_) return;
        pending_ = 0;
        timestamp_ = uptimeOf(refresh);
        action = action_;
    }
    if (action) action(*this);
    std::lock_guard lock(mutex_);
    if (generation != generation_ || !valid_ || paused_ || pending_) return;
    // The next callback comes frameInterval refreshes later, or at the next refresh when the
    // main queue was too slow to take that one.
    armLocked(std::max(refresh + uint64_t(frameInterval_), refreshAt(Clock::uptime()) + 1));
}

}  // namespace brindlecue::platform
