#include "platform/dispatch/Clock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"

namespace brindlecue::platform {
namespace {

double realUptime() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double realWallTime() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Deadlines ordered by (time, sequence) so that equal deadlines fire in scheduling order.
struct Scheduler {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::pair<double, uint64_t>, std::function<void()>> queue;
    std::unordered_map<uint64_t, double> deadlineOf;
    uint64_t nextId = 1;
    bool virtualMode = false;
    double virtualUptime = 0;
    double virtualWallOrigin = 0;
    bool threadStarted = false;
    // What the readers of the clock take, without the lock: written under it whenever the fields
    // above change, the times before the mode, so that a reader that sees the virtual mode sees
    // its times.
    std::atomic<double> readUptime{0};
    std::atomic<double> readWallTime{0};
    std::atomic<bool> readVirtual{false};

    void publishLocked() {
        readUptime.store(virtualUptime);
        readWallTime.store(virtualWallOrigin + virtualUptime);
        readVirtual.store(virtualMode);
    }

    void startThreadLocked() {
        if (threadStarted) return;
        threadStarted = true;
        std::thread([this] { loop(); }).detach();
    }

    // Real mode: fires due deadlines. Idle in virtual mode.
    void loop() {
        std::unique_lock lock(mutex);
        for (;;) {
            if (virtualMode || queue.empty()) {
                changed.wait(lock);
                continue;
            }
            auto it = queue.begin();
            double wait = it->first.first - realUptime();
            if (wait > 0) {
                changed.wait_for(lock, std::chrono::duration<double>(wait));
                continue;
            }
            auto fire = std::move(it->second);
            deadlineOf.erase(it->first.second);
            queue.erase(it);
            lock.unlock();
            fire();
            fire = nullptr;  // what it holds may end things that read the clock: never under the lock
            lock.lock();
        }
    }
};

// Leaked on purpose: detached threads may still use it while the process exits.
Scheduler& scheduler() {
    static Scheduler* s = new Scheduler();
    return *s;
}

}  // namespace

// Read on every timestamp of every thread: no lock.
double Clock::now() {
    auto& s = scheduler();
    return s.readVirtual.load() ? s.readWallTime.load() : realWallTime();
}

double Clock::uptime() {
    auto& s = scheduler();
    return s.readVirtual.load() ? s.readUptime.load() : realUptime();
}

bool Clock::isVirtual() {
    return scheduler().readVirtual.load();
}

// Dropped deadlines are destroyed after the lock is released: the work they hold may own objects
// whose destructors wait for threads that read the clock.
void Clock::useVirtual(double startWallTime) {
    auto& s = scheduler();
    decltype(s.queue) dropped;
    std::lock_guard lock(s.mutex);
    s.virtualMode = true;
    s.virtualUptime = 0;
    s.virtualWallOrigin = startWallTime;
    s.publishLocked();
    dropped.swap(s.queue);
    s.deadlineOf.clear();
    s.changed.notify_all();
}

void Clock::useReal() {
    auto& s = scheduler();
    decltype(s.queue) dropped;
    std::lock_guard lock(s.mutex);
    s.virtualMode = false;
    s.publishLocked();
    dropped.swap(s.queue);
    s.deadlineOf.clear();
    s.changed.notify_all();
}

void Clock::advance(double seconds) {
    auto& s = scheduler();
    const bool onMain = isMainThread();
    if (onMain) RunLoop::main().runUntilIdle();
    std::unique_lock lock(s.mutex);
    if (!s.virtualMode) return;
    const double target = s.virtualUptime + (seconds > 0 ? seconds : 0);
    for (;;) {
        auto it = s.queue.begin();
        if (it == s.queue.end() || it->first.first > target) break;
        if (it->first.first > s.virtualUptime) {
            s.virtualUptime = it->first.first;
            s.publishLocked();
        }
        auto fire = std::move(it->second);
        s.deadlineOf.erase(it->first.second);
        s.queue.erase(it);
        lock.unlock();
        fire();
        fire = nullptr;
        if (onMain) RunLoop::main().runUntilIdle();
        lock.lock();
    }
    s.virtualUptime = target;
    s.publishLocked();
    s.changed.notify_all();
}

Clock::TimerId Clock::schedule(double deadlineUptime, std::function<void()> fire) {
    auto& s = scheduler();
    std::lock_guard lock(s.mutex);
    const uint64_t id = s.nextId++;
    s.queue.emplace(std::make_pair(deadlineUptime, id), std::move(fire));
    s.deadlineOf.emplace(id, deadlineUptime);
    if (!s.virtualMode) s.startThreadLocked();
    s.changed.notify_all();
    return id;
}

void Clock::cancel(TimerId id) {
    auto& s = scheduler();
    std::function<void()> dropped;
    std::lock_guard lock(s.mutex);
    auto it = s.deadlineOf.find(id);
    if (it == s.deadlineOf.end()) return;
    auto entry = s.queue.find(std::make_pair(it->second, id));
    if (entry != s.queue.end()) {
        dropped = std::move(entry->second);
        s.queue.erase(entry);
    }
    s.deadlineOf.erase(it);
    s.changed.notify_all();
}

size_t Clock::pendingCount() {
    auto& s = scheduler();
    std::lock_guard lock(s.mutex);
    return s.queue.size();
}

}  // namespace brindlecue::platform
