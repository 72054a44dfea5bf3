#include "platform/dispatch/RunLoop.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace brindlecue::platform {

struct RunLoop::State {
    mutable std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::function<void()>> work;
    bool stopped = false;
};

std::shared_ptr<RunLoop::State> RunLoop::makeState() { return std::make_shared<State>(); }

RunLoop& RunLoop::main() {
    static RunLoop* loop = new RunLoop();  // leaked: workers may post to it during exit
    return *loop;
}

void RunLoop::enqueue(std::function<void()> work) {
    std::lock_guard lock(state_->mutex);
    state_->work.push_back(std::move(work));
    state_->cv.notify_all();
}

size_t RunLoop::pendingCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->work.size();
}

size_t RunLoop::runOnce() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(state_->mutex);
        batch.swap(state_->work);
    }
    for (auto& job : batch) job();
    return batch.size();
}

size_t RunLoop::runUntilIdle() {
    size_t total = 0;
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->work.empty()) return total;
            job = std::move(state_->work.front());
            state_->work.pop_front();
        }
        job();
        ++total;
    }
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double limitSeconds) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
    for (;;) {
        runUntilIdle();
        if (predicate()) return true;
        std::unique_lock lock(state_->mutex);
        if (state_->work.empty()) {
            // Wake up now and then: the predicate may depend on worker threads, not on new work.
            state_->cv.wait_for(lock, std::chrono::milliseconds(2));
        }
        if (std::chrono::steady_clock::now() > limit) {
            lock.unlock();
            runUntilIdle();
            return predicate();
        }
    }
}

void RunLoop::run() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopped = false;
    }
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(state_->mutex);
            state_->cv.wait(lock, [this] { return state_->stopped || !state_->work.empty(); });
            if (state_->stopped) return;
            job = std::move(state_->work.front());
            state_->work.pop_front();
        }
        job();
    }
}

void RunLoop::stop() {
    std::lock_guard lock(state_->mutex);
    state_->stopped = true;
    state_->cv.notify_all();
}

}  // namespace brindlecue::platform
