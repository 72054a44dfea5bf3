#pragma once

#include <cstdint>
#include <functional>

namespace brindlecue::platform {

// The one clock behind all time in the process: wall time (dates), uptime (deadlines of
// asyncAfter, timers and time-outs) and the scheduler that fires deadlines.
//
// In real mode deadlines are fired by a scheduler thread. In virtual mode (tests) time stands
// still until advance() moves it; advance() fires every deadline it passes in time order, and
// when called on the main thread drains the main queue after each one, so that work a fired
// block schedules "now" runs before time moves on. No test ever sleeps for a delay.
class Clock {
public:
    // Seconds since 1970-01-01 UTC.
    static double now();
    // Monotonic seconds since an arbitrary origin.
    static double uptime();

    static bool isVirtual();
    // Switches to a virtual clock whose wall time starts at startWallTime (default:
    // 2026-01-01 00:00:00 UTC) and whose uptime starts at 0. Pending deadlines are dropped.
    static void useVirtual(double startWallTime = 1767225600.0);
    // Back to the real clock. Pending deadlines are dropped.
    static void useReal();
    // Virtual mode only: moves time forward by the given seconds, firing what falls due.
    static void advance(double seconds);

    // Scheduler interface for the dispatch stand-ins: calls fire() on the scheduler's thread (real)
    // or inside advance() (virtual) once uptime reaches the deadline. Returns an id for cancel().
    using TimerId = uint64_t;
    static TimerId schedule(double deadlineUptime, std::function<void()> fire);
    static void cancel(TimerId id);
    // Number of deadlines waiting (for tests).
    static size_t pendingCount();
};

}  // namespace brindlecue::platform
