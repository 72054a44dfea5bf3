#include "platform/foundation/Progress.h"

namespace brindlecue::platform {

namespace {
double fraction(int64_t completed, int64_t total) {
    return total > 0 ? static_cast<double>(completed) / static_cast<double>(total) : 0.0;
}
}  // namespace

int64_t Progress::totalUnitCount() const {
    std::lock_guard lock(mutex_);
    return total_;
}

void Progress::setTotalUnitCount(int64_t count) {
    double before;
    {
        std::lock_guard lock(mutex_);
        before = fraction(completed_, total_);
        total_ = count;
    }
    changed(before);
}

int64_t Progress::completedUnitCount() const {
    std::lock_guard lock(mutex_);
    return completed_;
}

void Progress::setCompletedUnitCount(int64_t count) {
    double before;
    {
        std::lock_guard lock(mutex_);
        before = fraction(completed_, total_);
        completed_ = count;
    }
    changed(before);
}

double Progress::fractionCompleted() const {
    std::lock_guard lock(mutex_);
    return fraction(completed_, total_);
}

bool Progress::isCancellable() const {
    std::lock_guard lock(mutex_);
    return cancellable_;
}
void Progress::setCancellable(bool cancellable) {
    std::lock_guard lock(mutex_);
    cancellable_ = cancellable;
}
bool Progress::isPausable() const {
    std::lock_guard lock(mutex_);
    return pausable_;
}
void Progress::setPausable(bool pausable) {
    std::lock_guard lock(mutex_);
    pausable_ = pausable;
}
bool Progress::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}
bool Progress::isPaused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}
void Progress::setCancellationHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    cancellationHandler_ = std::move(handler);
}
void Progress::setPausingHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    pausingHandler_ = std::move(handler);
}
void Progress::setResumingHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    resumingHandler_ = std::move(handler);
}

void Progress::cancel() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_ || !cancellable_) return;
        cancelled_ = true;
        handler = cancellationHandler_;
    }
    if (handler) handler();
}

void Progress::pause() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (paused_ || !pausable_) return;
        paused_ = true;
        handler = pausingHandler_;
    }
    if (handler) handler();
}

void Progress::resume() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (!paused_) return;
        paused_ = false;
        handler = resumingHandler_;
    }
    if (handler) handler();
}

void Progress::setFractionCompletedObserver(std::function<void(Progress&)> observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void Progress::changed(double before) {
    std::function<void(Progress&)> observer;
    double after;
    {
        std::lock_guard lock(mutex_);
        observer = observer_;
        after = fraction(completed_, total_);
    }
    if (observer && after != before) observer(*this);
}

}  // namespace brindlecue::platform
