#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace brindlecue::platform {

class DispatchQueue;

// A block that can be cancelled before it runs, waited for, and followed by notifications.
class DispatchWorkItem : public std::enable_shared_from_this<DispatchWorkItem> {
public:
    static std::shared_ptr<DispatchWorkItem> create(std::function<void()> block);

    // Runs the block unless the item was cancelled; then schedules the notifications.
    void perform();
    // A cancelled item that has not started never runs; a running one finishes.
    void cancel();
    bool isCancelled() const;
    // Blocks until the item has been performed (or skipped because it was cancelled).
    void wait();
    // Schedules the block on the queue once this item is done; at once if it already is.
    void notify(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block);

private:
    explicit DispatchWorkItem(std::function<void()> block) : block_(std::move(block)) {}
    void finish();

    std::function<void()> block_;
    mutable std::mutex mutex_;
    std::condition_variable done_;
    bool cancelled_ = false;
    bool finished_ = false;
    std::vector<std::pair<std::shared_ptr<DispatchQueue>, std::function<void()>>> notifications_;
};

}  // namespace brindlecue::platform
