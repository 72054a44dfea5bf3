#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/dispatch/Clock.h"
#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

class RunLoop;

// The run-loop modes a display link or timer can be added in. The stand-in's run loop has one
// mode; the names are kept so that callers can say which they asked for.
inline constexpr const char* NSDefaultRunLoopMode = "kCFRunLoopDefaultMode";
inline constexpr const char* NSRunLoopCommonModes = "kCFRunLoopCommonModes";

// A timer synchronised with the screen's refreshes: the display refreshes 60 times a second of
// platform::Clock uptime (at whole multiples of 1/60 s), and a link added to the main run loop
// calls its action on the main queue every frameInterval-th refresh while it is not paused.
// The link holds its action (whatever the action captures); invalidate() drops it for good.
class CADisplayLink : public NSObject {
public:
    BLQ_PLATFORM_CLASS(CADisplayLink)

    using Action = std::function<void(CADisplayLink& link)>;

    static constexpr double kRefreshesPerSecond = 60;

    static std::shared_ptr<CADisplayLink> displayLinkWithAction(Action action);
    ~CADisplayLink() override;

    // Starts the callbacks (unless paused). Only the main run loop is driven by refreshes.
    void addToRunLoop(RunLoop& runLoop, const std::string& mode);
    // The mode the link was added with; empty before.
    std::string runLoopMode() const;

    bool isPaused() const;
    void setPaused(bool paused);
    // Refreshes per callback; values below 1 are ignored, as the platform does.
    int64_t frameInterval() const;
    void setFrameInterval(int64_t interval);
    // Removes the link from its run loop and releases the action; it never calls again.
    void invalidate();
    bool isValid() const;

    // The time of the refresh that the current (or last) callback stands for, in Clock uptime.
    double timestamp() const;
    // The time between two refreshes of the screen.
    double duration() const { return 1.0 / kRefreshesPerSecond; }

    CADisplayLink() = default;

private:
    void scheduleLocked();
    void armLocked(uint64_t refresh);
    void fire(uint64_t refresh, uint64_t generation);

    mutable std::mutex mutex_;
    Action action_;
    std::string mode_;
    bool added_ = false;
    bool paused_ = false;
    bool valid_ = true;
    int64_t frameInterval_ = 1;
    double timestamp_ = 0;
    uint64_t generation_ = 0;  // bumped whenever the pending refresh is dropped
    Clock::TimerId pending_ = 0;
};

}  // namespace brindlecue::platform
