#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sched.h>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchOnce.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/dispatch/DispatchWorkItem.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Timer.h"

using namespace brindlecue::platform;

namespace {

struct VirtualClock : ::testing::Test {
    void SetUp() override { Clock::useVirtual(); }
    void TearDown() override { Clock::useReal(); }
};

}  // namespace

TEST(DispatchQueue, SerialQueueRunsInFifoOrderOneAtATime) {
    auto q = DispatchQueue::serial("com.brindlecue.test.serial");
    std::vector<int> order;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 200; ++i) {
        q->async([&, i] {
            if (inside.fetch_add(1) != 0) overlapped = true;
            order.push_back(i);
            inside.fetch_sub(1);
        });
    }
    q->sync([] {});
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(order[i], i);
    EXPECT_FALSE(overlapped);
}

TEST(DispatchQueue, SyncOnCurrentQueueRunsInlineAndCurrentLabelIsKnown) {
    auto q = DispatchQueue::serial("com.brindlecue.test.reentrant");
    std::string seen;
    bool ran = false;
    q->sync([&] {
        seen = DispatchQueue::currentLabel();
        q->sync([&] { ran = q->isCurrent(); });
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(seen, "com.brindlecue.test.reentrant");
    EXPECT_FALSE(q->isCurrent());

    bool mainRan = false;
    DispatchQueue::main()->sync([&] { mainRan = true; });  // on the main thread: no deadlock
    EXPECT_TRUE(mainRan);
}

TEST(DispatchQueue, SyncOnAnIdleSerialQueueRunsOnTheCallerAndHoldsTheQueue) {
    auto q = DispatchQueue::serial("com.brindlecue.test.sync-idle");
    std::mutex mutex;
    std::vector<std::string> order;
    auto note = [&](std::string what) {
        std::lock_guard lock(mutex);
        order.push_back(std::move(what));
    };
    const auto caller = std::this_thread::get_id();
    std::atomic<bool> syncDone{false};
    q->sync([&] {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        EXPECT_TRUE(q->isCurrent());
        // Queued while the caller holds the queue: it waits for the block to end (the pause
        // gives a queue that did not wait the time to start it).
        q->async([&] { note(syncDone ? "async" : "async while the sync block ran"); });
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        note("sync");
        syncDone = true;
    });
    EXPECT_FALSE(q->isCurrent());

    // A busy queue is waited for: the block runs after what was queued before it.
    auto gate = std::make_shared<std::promise<void>>();
    auto opened = gate->get_future().share();
    q->async([&, opened] {
        opened.wait();
        note("queued");
    });
    std::thread opener([gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        gate->set_value();
    });
    q->sync([&] { note("after"); });
    opener.join();
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<std::string>{"sync", "async", "queued", "after"}));
}

TEST(DispatchQueue, BackgroundWorkReachesMainQueueOnlyWhenPumped) {
    std::atomic<bool> onMain{false};
    DispatchQueue::global()->async([&] { DispatchQueue::main()->async([&] { onMain = isMainThread(); }); });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return onMain.load(); }));

    int ran = 0;
    DispatchQueue::main()->async([&] { ++ran; });
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(RunLoop::main().runUntilIdle(), 1u);
    EXPECT_EQ(ran, 1);
}

TEST(DispatchQueue, ConcurrentQueueRunsInParallel) {
    auto q = DispatchQueue::concurrent("com.brindlecue.test.concurrent");
    auto group = DispatchGroup::create();
    DispatchSemaphore a(0), b(0);
    // Each block waits for the other: only parallel execution finishes.
    q->async(group, [&] {
        a.signal();
        b.wait();
    });
    q->async(group, [&] {
        b.signal();
        a.wait();
    });
    EXPECT_TRUE(group->wait(10.0));
}

// Every piece runs once, on more than one thread when there are many, and all have run when the
// call returns; a few pieces (or one) run on the caller.
TEST(DispatchQueue, ConcurrentPerformRunsEveryPieceOnceBeforeReturning) {
    std::vector<std::atomic<int>> runs(2000);
    std::mutex mutex;
    std::set<std::thread::id> threads;
    DispatchQueue::concurrentPerform(runs.size(), [&](size_t i) {
        runs[i]++;
        std::this_thread::sleep_for(std::chrono::microseconds(20));
        std::lock_guard lock(mutex);
        threads.insert(std::this_thread::get_id());
    });
    for (const auto& r : runs) EXPECT_EQ(r.load(), 1);
    // As many threads as the processors the process may run on (at most eight): more would only
    // take turns.
    cpu_set_t set;
    CPU_ZERO(&set);
    const size_t usable = sched_getaffinity(0, sizeof set, &set) == 0
                              ? static_cast<size_t>(CPU_COUNT(&set))
                              : std::max(1u, std::thread::hardware_concurrency());
    if (usable > 1) {
        EXPECT_GT(threads.size(), 1u);
    }
    EXPECT_LE(threads.size(), std::min<size_t>(usable, 8));

    std::thread::id ranOn;
    DispatchQueue::concurrentPerform(1, [&](size_t) { ranOn = std::this_thread::get_id(); });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    DispatchQueue::concurrentPerform(0, [&](size_t) { ADD_FAILURE() << "no piece to run"; });
}

TEST_F(VirtualClock, AsyncAfterFiresWhenTheClockPassesItsDeadlineInTimeOrder) {
    std::vector<std::string> fired;
    auto main = DispatchQueue::main();
    main->asyncAfter(2.0, [&] { fired.push_back("2s"); });
    main->asyncAfter(0.5, [&] {
        fired.push_back("0.5s");
        main->asyncAfter(0.5, [&] { fired.push_back("1s"); });
    });
    Clock::advance(0.49);
    EXPECT_TRUE(fired.empty());
    Clock::advance(1.0);
    EXPECT_EQ(fired, (std::vector<std::string>{"0.5s", "1s"}));
    Clock::advance(0.51);
    EXPECT_EQ(fired, (std::vector<std::string>{"0.5s", "1s", "2s"}));
    EXPECT_DOUBLE_EQ(Clock::uptime(), 2.0);
}

TEST_F(VirtualClock, WallTimeMovesWithTheVirtualClock) {
    const double start = Clock::now();
    Clock::advance(3600);
    EXPECT_DOUBLE_EQ(Clock::now() - start, 3600);
}

TEST_F(VirtualClock, CancelledWorkItemNeverRunsButNotifies) {
    int ran = 0, notified = 0;
    auto item = DispatchWorkItem::create([&] { ++ran; });
    item->notify(DispatchQueue::main(), [&] { ++notified; });
    DispatchQueue::main()->asyncAfter(1.0, item);
    item->cancel();
    Clock::advance(2.0);
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(item->isCancelled());
}

TEST_F(VirtualClock, TimersRepeatUntilInvalidated) {
    int oneShot = 0, repeating = 0;
    auto once = Timer::scheduled(10, false, [&](Timer&) { ++oneShot; });
    auto every = Timer::scheduled(10, true, [&](Timer&) { ++repeating; });
    Clock::advance(9.9);
    EXPECT_EQ(oneShot + repeating, 0);
    Clock::advance(25.1);  // t = 35: fires at 10, 20, 30
    EXPECT_EQ(oneShot, 1);
    EXPECT_EQ(repeating, 3);
    EXPECT_FALSE(once->isValid());
    every->invalidate();
    Clock::advance(100);
    EXPECT_EQ(repeating, 3);
    EXPECT_EQ(Clock::pendingCount(), 0u);
}

TEST_F(VirtualClock, TimerOnSerialQueueAndInvalidateFromItsOwnBlock) {
    auto q = DispatchQueue::serial("com.brindlecue.test.timer");
    std::atomic<int> fired{0};
    Timer::scheduled(
        1, true,
        [&](Timer& t) {
            if (++fired == 2) t.invalidate();
        },
        q);
    for (int i = 0; i < 5; ++i) {
        Clock::advance(1);
        q->sync([] {});
    }
    EXPECT_EQ(fired.load(), 2);
}

TEST_F(VirtualClock, SemaphoreAndGroupTimeOutsFollowTheVirtualClock) {
    // The waiter reads the clock when it starts waiting, so time is advanced in small steps until it
    // gives up; it must never give up before its time-out has passed on the virtual clock.
    auto timedWait = [](const std::function<bool()>& wait, double timeout) {
        std::atomic<int> result{-1};
        std::atomic<double> returnedAt{-1};
        std::thread waiter([&] {
            result = wait() ? 1 : 0;
            returnedAt = Clock::uptime();
        });
        const double start = Clock::uptime();
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (result.load() == -1 && std::chrono::steady_clock::now() < limit) {
            Clock::advance(0.25);
            std::this_thread::yield();
        }
        waiter.join();
        EXPECT_EQ(result.load(), 0);
        EXPECT_GE(returnedAt.load() - start, timeout);
    };

    DispatchSemaphore sem(0);
    timedWait([&] { return sem.wait(5.0); }, 5.0);

    DispatchSemaphore open(1);
    EXPECT_TRUE(open.wait(0));
    EXPECT_FALSE(open.wait(0));

    auto group = DispatchGroup::create();
    group->enter();
    timedWait([&] { return group->wait(1.0); }, 1.0);
    group->leave();
    EXPECT_TRUE(group->wait(0));
}

TEST(DispatchGroup, NotifyRunsOnceAllWorkHasLeft) {
    auto group = DispatchGroup::create();
    auto q = DispatchQueue::global(DispatchQueue::Priority::High);
    std::atomic<int> done{0};
    for (int i = 0; i < 20; ++i) q->async(group, [&] { ++done; });
    int notifiedWith = -1;
    group->notify(DispatchQueue::main(), [&] { notifiedWith = done.load(); });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return notifiedWith != -1; }));
    EXPECT_EQ(notifiedWith, 20);

    group->leave();  // an unbalanced leave is ignored
    int immediate = 0;
    group->notify(DispatchQueue::main(), [&] { ++immediate; });
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(immediate, 1);
}

TEST(DispatchOnce, RunsTheBlockOnceAcrossThreads) {
    DispatchOnceToken token;
    std::atomic<int> runs{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&] { dispatchOnce(token, [&] { ++runs; }); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(runs.load(), 1);
}

TEST(OperationQueue, RespectsMaxConcurrentCountAndCancelAll) {
    auto queue = OperationQueue::create("com.brindlecue.test.ops");
    queue->setMaxConcurrentOperationCount(1);
    std::mutex m;
    std::vector<int> order;
    std::atomic<int> inside{0}, maxInside{0};
    DispatchSemaphore gate(0);
    queue->addOperation([&] { gate.wait(); });
    for (int i = 0; i < 10; ++i) {
        queue->addOperation([&, i] {
            int now = ++inside;
            int prev = maxInside.load();
            while (now > prev && !maxInside.compare_exchange_weak(prev, now)) {
            }
            std::lock_guard lock(m);
            order.push_back(i);
            --inside;
        });
    }
    auto cancelled = Operation::block([&] { order.push_back(99); });
    bool completionRan = false;
    cancelled->setCompletionBlock([&] { completionRan = true; });
    queue->addOperation(cancelled);
    cancelled->cancel();
    EXPECT_EQ(queue->operationCount(), 12u);
    gate.signal();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(maxInside.load(), 1);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(cancelled->isFinished());
    EXPECT_TRUE(completionRan);
    EXPECT_EQ(queue->operationCount(), 0u);
}

TEST(OperationQueue, ReadyOperationsStartByPriorityAndCancelAllReachesSubclasses) {
    auto queue = OperationQueue::create("com.brindlecue.test.priority");
    queue->setMaxConcurrentOperationCount(1);
    std::mutex m;
    std::vector<std::string> order;
    auto record = [&](std::string name, int priority = Operation::Normal) {
        auto op = Operation::block([&, name] {
            std::lock_guard lock(m);
            order.push_back(name);
        });
        op->setQueuePriority(priority);
        return op;
    };
    // Nothing starts while the queue is suspended.
    queue->setSuspended(true);
    std::atomic<bool> ran{false};
    queue->addOperation([&] { ran = true; });
    EXPECT_EQ(queue->operationCount(), 1u);
    EXPECT_FALSE(ran);
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(ran);

    DispatchSemaphore gate(0);
    queue->addOperation([&] { gate.wait(); });
    auto first = record("first");
    auto second = record("second");
    // The operation added first runs after the one it depends on.
    first->addDependency(second);
    for (const auto& op :
         {record("low", Operation::Low), record("normal"), record("high", Operation::High), first, second})
        queue->addOperation(op);
    gate.signal();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(order, (std::vector<std::string>{"high", "normal", "second", "first", "low"}));

    // A subclass that stops its work when cancelled hears cancelAllOperations.
    class Stoppable final : public Operation {
    public:
        Stoppable() : Operation(nullptr) {}
        void cancel() override {
            Operation::cancel();
            stopped = true;
        }
        std::atomic<bool> stopped{false};
    };
    DispatchSemaphore hold(0);
    queue->addOperation([&] { hold.wait(); });
    auto stoppable = std::make_shared<Stoppable>();
    queue->addOperation(stoppable);  // waits behind the held operation
    queue->cancelAllOperations();
    EXPECT_TRUE(stoppable->stopped);
    hold.signal();
    queue->waitUntilAllOperationsAreFinished();
}

// Dropped or finished deadlines may own objects whose destructors read the clock (a connection
// that starts its close deadline while it goes away): they are never destroyed under its lock.
TEST_F(VirtualClock, WorkThatReadsTheClockWhenDestroyedNeverDeadlocks) {
    struct ReadsTheClock {
        explicit ReadsTheClock(std::atomic<int>* r) : reads(r) {}
        std::atomic<int>* reads;
        ~ReadsTheClock() {
            Clock::uptime();
            ++*reads;
        }
    };
    std::atomic<int> reads{0};
    auto holder = [&] { return std::make_shared<ReadsTheClock>(&reads); };

    Clock::schedule(1, [h = holder()] {});
    Clock::advance(1);  // fired, then destroyed
    auto id = Clock::schedule(5, [h = holder()] {});
    Clock::cancel(id);
    Clock::schedule(5, [h = holder()] {});
    Clock::useVirtual();  // dropped with the rest
    Clock::schedule(5, [h = holder()] {});
    Clock::useReal();
    EXPECT_EQ(reads.load(), 4);
}
