#pragma once

#include <chrono>
#include <functional>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace brindlecue::testsupport {

// Moves the virtual clock on by `step` seconds and runs the main run loop briefly, again and again,
// until the condition holds or some real seconds have passed. A request's time-out needs this
// rather than one step: its client may still note activity (the progress of its upload) after the
// server already has the request, and then its idle time counts from that later moment.
inline bool stepClockUntil(double step, const std::function<bool()>& condition, double realSeconds = 10) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(realSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        platform::Clock::advance(step);
        if (platform::RunLoop::main().runUntil(condition, 0.1)) return true;
    }
    return condition();
}

}  // namespace brindlecue::testsupport
