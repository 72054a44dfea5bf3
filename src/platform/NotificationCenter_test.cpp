#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"

namespace brindlecue::platform {
namespace {

TEST(NotificationCenter, DeliversByNameAndPosterInRegistrationOrder) {
    NotificationCenter center;
    auto poster = std::make_shared<int>(1);
    auto other = std::make_shared<int>(2);
    std::vector<std::string> calls;
    center.addObserver("A", nullptr, nullptr, [&](const Notification&) { calls.push_back("any-1"); });
    center.addObserver("A", poster, nullptr, [&](const Notification&) { calls.push_back("poster"); });
    center.addObserver("B", nullptr, nullptr, [&](const Notification&) { calls.push_back("B"); });
    center.addObserver("A", nullptr, nullptr, [&](const Notification&) { calls.push_back("any-2"); });

    center.post("A", poster);
    EXPECT_EQ(calls, (std::vector<std::string>{"any-1", "poster", "any-2"}));
    calls.clear();
    center.post("A", other);
    EXPECT_EQ(calls, (std::vector<std::string>{"any-1", "any-2"}));
    calls.clear();
    center.post("A");
    EXPECT_EQ(calls, (std::vector<std::string>{"any-1", "any-2"}));

    // Once the filter object is gone the observer matches nothing, not even a poster at its address.
    calls.clear();
    poster.reset();
    center.post("A", std::make_shared<int>(3));
    EXPECT_EQ(calls, (std::vector<std::string>{"any-1", "any-2"}));
}

TEST(NotificationCenter, TellsWhetherAPostWouldBeHeard) {
    NotificationCenter center;
    auto poster = std::make_shared<int>(1);
    auto other = std::make_shared<int>(2);
    EXPECT_FALSE(center.hasObservers("A", poster.get()));
    auto byPoster = center.addObserver("A", poster, nullptr, [](const Notification&) {});
    EXPECT_TRUE(center.hasObservers("A", poster.get()));
    EXPECT_FALSE(center.hasObservers("A", other.get()));
    EXPECT_FALSE(center.hasObservers("B", poster.get()));
    auto anyPoster = center.addObserver("A", nullptr, nullptr, [](const Notification&) {});
    EXPECT_TRUE(center.hasObservers("A", other.get()));
    center.removeObserver(anyPoster);
    EXPECT_FALSE(center.hasObservers("A", other.get()));
    // A poster that is gone is heard by no observer that named it.
    const void* address = poster.get();
    poster.reset();
    EXPECT_FALSE(center.hasObservers("A", address));
}

TEST(NotificationCenter, CarriesUserInfoAndTypedObjects) {
    struct Screen {
        std::string title;
    };
    Notification n("SuperTag", nullptr, Value::dictionary({{"k", 1}}),
                   {{"vc", std::make_shared<Screen>(Screen{"Home"})}});
    std::optional<Notification> seen;
    NotificationCenter center;
    center.addObserver("SuperTag", nullptr, nullptr, [&](const Notification& got) { seen = got; });
    center.post(n);
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->userInfo()["k"].integerValue(), 1);
    EXPECT_EQ(seen->object<Screen>("vc")->title, "Home");
    EXPECT_EQ(seen->object<Screen>("missing"), nullptr);
}

TEST(NotificationCenter, DeliversOnThePostingThreadOrOnTheObserversQueue) {
    NotificationCenter center;
    std::thread::id direct;
    center.addObserver("A", nullptr, nullptr,
                       [&](const Notification&) { direct = std::this_thread::get_id(); });
    int kept = 0;
    int dropped = 0;
    center.addObserver("A", nullptr, DispatchQueue::main(), [&](const Notification& n) {
        EXPECT_TRUE(DispatchQueue::main()->isCurrent());
        EXPECT_EQ(n.name(), "A");
        ++kept;
    });
    auto removed =
        center.addObserver("A", nullptr, DispatchQueue::main(), [&](const Notification&) { ++dropped; });

    std::thread poster([&] { center.post("A"); });
    std::thread::id posterId = poster.get_id();
    poster.join();
    EXPECT_EQ(direct, posterId);
    EXPECT_EQ(kept, 0);
    center.removeObserver(removed);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(kept, 1);
    EXPECT_EQ(dropped, 0);
}

TEST(NotificationCenter, ObserversMayChangeTheCenterFromInsideADelivery) {
    NotificationCenter center;
    std::vector<std::string> calls;
    std::shared_ptr<NotificationObserver> self, later;
    self = center.addObserver("A", nullptr, nullptr, [&](const Notification&) {
        calls.push_back("self");
        center.removeObserver(self);
        center.removeObserver(later);
        center.addObserver("A", nullptr, nullptr, [&](const Notification&) { calls.push_back("added"); });
        center.post("B");
    });
    later = center.addObserver("A", nullptr, nullptr, [&](const Notification&) { calls.push_back("later"); });
    center.addObserver("B", nullptr, nullptr, [&](const Notification&) { calls.push_back("B"); });

    center.post("A");
    EXPECT_EQ(calls, (std::vector<std::string>{"self", "B"}));
    calls.clear();
    center.post("A");
    EXPECT_EQ(calls, std::vector<std::string>{"added"});
}

TEST(NotificationCenter, ConcurrentPostsAndRemovalsAreSafe) {
    NotificationCenter center;
    std::atomic<int> calls{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto o = center.addObserver("A", nullptr, nullptr, [&](const Notification&) { ++calls; });
                center.post("A");
                center.removeObserver(o);
            }
        });
    }
    for (auto& t : threads) t.join();
    // Each post reaches at least its own observer.
    EXPECT_GE(calls.load(), 800);
}

}  // namespace
}  // namespace brindlecue::platform
