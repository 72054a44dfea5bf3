#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

namespace brindlecue::platform {

// The platform's progress object: a total and a completed unit count, the fraction they make,
// and the handlers that cancelling, pausing and resuming it call. Safe to use from any thread.
class Progress {
public:
    // A total of -1 means no total is known yet.
    explicit Progress(int64_t totalUnitCount = -1) : total_(totalUnitCount) {}

    int64_t totalUnitCount() const;
    void setTotalUnitCount(int64_t count);
    int64_t completedUnitCount() const;
    void setCompletedUnitCount(int64_t count);
    // completed / total, 0 while the total is not positive.
    double fractionCompleted() const;

    bool isCancellable() const;
    void setCancellable(bool cancellable);
    bool isPausable() const;
    void setPausable(bool pausable);
    bool isCancelled() const;
    bool isPaused() const;
    void setCancellationHandler(std::function<void()> handler);
    void setPausingHandler(std::function<void()> handler);
    void setResumingHandler(std::function<void()> handler);
    void cancel();
    void pause();
    void resume();

    // Called (outside the lock) whenever a count change moves the fraction completed.
    void setFractionCompletedObserver(std::function<void(Progress&)> observer);

private:
    void changed(double before);

    mutable std::mutex mutex_;
    int64_t total_;
    int64_t completed_ = 0;
    bool cancellable_ = true;
    bool pausable_ = false;
    bool cancelled_ = false;
    bool paused_ = false;
    std::function<void()> cancellationHandler_;
    std::function<void()> pausingHandler_;
    std::function<void()> resumingHandler_;
    std::function<void(Progress&)> observer_;
};

}  // namespace brindlecue::platform
