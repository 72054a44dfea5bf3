#pragma once

#include <memory>
#include <mutex>

#include "facade/BLQIAppStatusManager.h"
#include "facade/BLQIAppStatusManagerDependencies.h"
#include "foundation/BLQILoggable.h"

namespace brindlecue {

namespace platform {
class DispatchQueue;
class Timer;
}  // namespace platform

// Polls the server's app-status document from the moment it is created and applies each
// document to the configuration.
//
// A one-shot timer on the main thread queues a check on the serial queue
// "com.brindlecue.app-status-queue". A check is allowed once the delegate reports a valid install
// and the library is enabled; an allowed check fetches the document and widens the interval (1 s
// at first, doubling up to the configured poll interval, or 2 s in preview mode, never below
// 1 s). Every check, allowed or not, schedules the next one, and a check asked for from outside
// replaces the pending timer, so exactly one poll is pending at a time. Fetch failures are dropped
// and polling goes on.
//
// The interval, the pending timer and the delegate are guarded: they are touched from the main
// thread, the status queue and network completion threads.
class BLQAppStatusManager final : public BLQIAppStatusManager,
                                  public BLQILoggable,
                                  public std::enable_shared_from_this<BLQAppStatusManager> {
public:
    static constexpr const char* kQueueLabel = "com.brindlecue.app-status-queue";
    static constexpr double kMinimumInterval = 1.0;
    static constexpr double kPreviewModeInterval = 2.0;

    // A new manager whose first check is due 1 s from now. Fetched documents reach it once the
    // dependencies' handler has been given it (setManager).
    static std::shared_ptr<BLQAppStatusManager> create(
        std::shared_ptr<const BLQIAppStatusManagerDependencies> dependencies);

    std::shared_ptr<BLQIAppStatusDelegate> delegate() const override;
    void setDelegate(std::shared_ptr<BLQIAppStatusDelegate> delegate) override;
    void shouldCheckForAppStatus() override;
    const std::shared_ptr<const BLQIAppStatusManagerDependencies>& dependencies() const {
        return dependencies_;
    }
    // In this order, each only when the document has it: disabled time, super-tag level and filter
    // (not empty), poll interval, log handlers (an empty list too), the feed timestamp to the
    // delegate (not empty), the disabled codes (an absent list clears them), the priority codes,
    // the host (not empty) and a valid log level; then the fetch time is stamped and the delegate
    // told.
    void updateAppStatusModel(const BLQAppStatusModel& model) override;
    // The timer's action: the same as shouldCheckForAppStatus.
    void shouldCheckForAppStatusFromTimer(platform::Timer& timer);

    // The delay of the next poll, in seconds.
    double timeInterval() const;
    // The serial queue the checks run on.
    const std::shared_ptr<platform::DispatchQueue>& queue() const { return queue_; }

    struct Token {};
    BLQAppStatusManager(Token, std::shared_ptr<const BLQIAppStatusManagerDependencies> dependencies);

private:
    // One check, on the status queue.
    void check();
    // On the main queue: the pending timer, if any, is invalidated and a new one scheduled.
    void schedulePoll(double interval);

    const std::shared_ptr<const BLQIAppStatusManagerDependencies> dependencies_;
    const std::shared_ptr<platform::DispatchQueue> queue_;

    mutable std::mutex mutex_;
    std::shared_ptr<platform::Timer> pollTimer_;
    double timeInterval_ = 1.0;
    std::shared_ptr<BLQIAppStatusDelegate> delegate_;
};

}  // namespace brindlecue
