#include "platform/uikit/CADisplayLink.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace brindlecue::platform {
namespace {

TEST(CADisplayLink, CallsEveryFrameIntervalRefreshesWhileRunning) {
    Clock::useVirtual();
    std::vector<double> ticks;
    auto held = std::make_shared<int>(0);
    std::weak_ptr<int> watch = held;
    auto link = CADisplayLink::displayLinkWithAction([&, held](CADisplayLink& l) { ticks.push_back(l.timestamp()); });
    held.reset();
    Clock::advance(0.1);
    EXPECT_TRUE(ticks.empty()) << "nothing before the link is added to the run loop";

    link->setFrameInterval(0);  // refused
    link->setFrameInterval(3);
    link->addToRunLoop(RunLoop::main(), NSRunLoopCommonModes);
    Clock::advance(0.2 + 1e-9);
    ASSERT_EQ(ticks.size(), 4u);
    EXPECT_DOUBLE_EQ(ticks[1] - ticks[0], 3.0 / 60);

    link->setPaused(true);
    Clock::advance(1);
    EXPECT_EQ(ticks.size(), 4u);
    link->setFrameInterval(1);
    link->setPaused(false);
    Clock::advance(0.1 + 1e-9);
    EXPECT_EQ(ticks.size(), 10u);

    link->invalidate();
    Clock::advance(1);
    EXPECT_EQ(ticks.size(), 10u);
    EXPECT_TRUE(watch.expired()) << "invalidating releases the action";
    EXPECT_EQ(Clock::pendingCount(), 0u);
}

}  // namespace
}  // namespace brindlecue::platform
