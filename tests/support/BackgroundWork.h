#pragma once
// Letting the work a test started end, as it would with the process that started it: queued
// background work and HTTP transfers under way, whose completions may still reach the stores.

#include <chrono>
#include <thread>

#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/URLLoader.h"

namespace brindlecue::testsupport {

// Whether work started by the test may still run: transfers are asked first, since a transfer
// that ends queues its completion before it stops counting.
inline bool backgroundWorkPending() {
    return platform::URLLoader::shared().transfersInFlight() || platform::DispatchQueue::backgroundWorkPending();
}

// Pumps the main queue (which the work may wait for) until no work is left, for at most a few
// seconds; the main queue runs once more after the last work ended.
inline void letBackgroundWorkEnd() {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(3);
    for (;;) {
        const bool idle = !backgroundWorkPending();
        platform::RunLoop::main().runUntilIdle();
        if ((idle && !backgroundWorkPending()) || steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(milliseconds(1));
    }
}

}  // namespace brindlecue::testsupport
