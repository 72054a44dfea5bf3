#include "platform/dispatch/DispatchGroup.h"

#include <algorithm>
#include <chrono>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue::platform {

void DispatchGroup::enter() {
    std::lock_guard lock(mutex_);
    ++count_;
}

void DispatchGroup::leave() {
    decltype(notifications_) notes;
    {
        std::lock_guard lock(mutex_);
        if (count_ == 0) return;
        if (--count_ > 0) return;
        notes.swap(notifications_);
        cv_.notify_all();
    }
    for (auto& [queue, block] : notes) queue->async(std::move(block));
}

void DispatchGroup::notify(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        if (count_ > 0) {
            notifications_.emplace_back(queue, std::move(block));
            return;
        }
    }
    queue->async(std::move(block));
}

void DispatchGroup::wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return count_ == 0; });
}

bool DispatchGroup::wait(double timeout) {
    const double deadline = Clock::uptime() + timeout;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (count_ == 0) return true;
        const double remaining = deadline - Clock::uptime();
        if (remaining <= 0) return false;
        const double step = Clock::isVirtual() ? 0.002 : std::min(remaining, 0.05);
        cv_.wait_for(lock, std::chrono::duration<double>(step));
    }
}

}  // namespace brindlecue::platform
