#pragma once

#include <functional>
#include <memory>

namespace brindlecue::platform {

// The main queue's run loop. A host app calls run() on its main thread; tests pump it with
// runUntilIdle() or runUntil(). Work can be added from any thread.
class RunLoop {
public:
    static RunLoop& main();

    // Runs work until stop() is called.
    void run();
    void stop();
    // Runs the work queued at the moment of the call (not what it queues); returns how many ran.
    size_t runOnce();
    // Runs work until the queue is empty, including work queued while running.
    size_t runUntilIdle();
    // Runs work, waiting for more to arrive, until the predicate holds or the real-time safety
    // limit passes; returns the predicate's last value. For tests that wait on worker threads.
    bool runUntil(const std::function<bool()>& predicate, double limitSeconds = 10.0);
    size_t pendingCount() const;

    void enqueue(std::function<void()> work);

private:
    RunLoop() = default;
    struct State;
    std::shared_ptr<State> state_ = makeState();
    static std::shared_ptr<State> makeState();
};

}  // namespace brindlecue::platform
