#include "platform/foundation/Progress.h"

#include <gtest/gtest.h>

namespace brindlecue::platform {
namespace {

TEST(Progress, CancelsPausesAndResumesOnceEachAndOnlyWhenAllowed) {
    Progress progress(10);
    int cancelled = 0, paused = 0, resumed = 0;
    progress.setCancellationHandler([&] { ++cancelled; });
    progress.setPausingHandler([&] { ++paused; });
    progress.setResumingHandler([&] { ++resumed; });

    // Not pausable by default; resuming what is not paused does nothing.
    progress.pause();
    progress.resume();
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(resumed, 0);
    EXPECT_FALSE(progress.isPaused());

    progress.setPausable(true);
    progress.pause();
    progress.pause();
    EXPECT_TRUE(progress.isPaused());
    EXPECT_EQ(paused, 1);
    progress.resume();
    progress.resume();
    EXPECT_FALSE(progress.isPaused());
    EXPECT_EQ(resumed, 1);

    progress.setCancellable(false);
    progress.cancel();
    EXPECT_FALSE(progress.isCancelled());
    progress.setCancellable(true);
    progress.cancel();
    progress.cancel();
    EXPECT_TRUE(progress.isCancelled());
    EXPECT_EQ(cancelled, 1);

    // Without handlers the state still changes.
    Progress bare;
    bare.setPausable(true);
    bare.pause();
    EXPECT_TRUE(bare.isPaused());
    bare.resume();
    EXPECT_FALSE(bare.isPaused());
    bare.cancel();
    EXPECT_TRUE(bare.isCancelled());
}

TEST(Progress, TheFractionFollowsTheCountsAndIsZeroWithoutATotal) {
    Progress progress;
    std::vector<double> seen;
    progress.setFractionCompletedObserver([&](Progress& p) { seen.push_back(p.fractionCompleted()); });
    progress.setCompletedUnitCount(5);
    EXPECT_EQ(progress.fractionCompleted(), 0.0);
    progress.setTotalUnitCount(10);
    EXPECT_EQ(progress.fractionCompleted(), 0.5);
    progress.setCompletedUnitCount(10);
    EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0}));
    progress.setFractionCompletedObserver(nullptr);
    progress.setCompletedUnitCount(0);
    EXPECT_EQ(seen.size(), 2u);
}

}  // namespace
}  // namespace brindlecue::platform
