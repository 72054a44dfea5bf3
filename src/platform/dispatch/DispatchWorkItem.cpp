#include "platform/dispatch/DispatchWorkItem.h"

#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue::platform {

std::shared_ptr<DispatchWorkItem> DispatchWorkItem::create(std::function<void()> block) {
    return std::shared_ptr<DispatchWorkItem>(new DispatchWorkItem(std::move(block)));
}

void DispatchWorkItem::perform() {
    std::function<void()> block;
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        if (!cancelled_) block = block_;
    }
    if (block) block();
    finish();
}

void DispatchWorkItem::finish() {
    decltype(notifications_) notes;
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
        notes.swap(notifications_);
        done_.notify_all();
    }
    for (auto& [queue, block] : notes) queue->async(std::move(block));
}

void DispatchWorkItem::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
}

bool DispatchWorkItem::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void DispatchWorkItem::wait() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return finished_; });
}

void DispatchWorkItem::notify(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        if (!finished_) {
            notifications_.emplace_back(queue, std::move(block));
            return;
        }
    }
    queue->async(std::move(block));
}

}  // namespace brindlecue::platform
