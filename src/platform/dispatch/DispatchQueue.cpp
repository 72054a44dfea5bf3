#include "platform/dispatch/DispatchQueue.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include <sched.h>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchWorkItem.h"
#include "platform/dispatch/RunLoop.h"

namespace brindlecue::platform {
namespace {

// The thread that ran static initialisation is the process's main thread.
const std::thread::id gMainThread = std::this_thread::get_id();

// Queues whose work the calling thread is running, innermost last.
thread_local std::vector<const DispatchQueue*> tCurrentQueues;

struct QueueScope {
    explicit QueueScope(const DispatchQueue* q) { tCurrentQueues.push_back(q); }
    ~QueueScope() { tCurrentQueues.pop_back(); }
};

// Worker threads shared by all background queues. A new thread is started whenever no worker
// is idle, so that blocking work (semaphores, sync calls) cannot starve other queues; idle
// workers retire after a while.
class ThreadPool {
public:
    static ThreadPool& shared() {
        static ThreadPool* pool = new ThreadPool();  // leaked: workers may outlive static destruction
        return *pool;
    }

    void submit(std::function<void()> work) {
        bool idleWorker = false;
        {
            std::lock_guard lock(mutex_);
            work_.push_back(std::move(work));
            // Idle workers that were already woken have not taken their job yet: count them out.
            idleWorker = static_cast<size_t>(idle_) >= work_.size();
            if (!idleWorker) ++threads_;
        }
        // Woken after the lock is let go, so that the worker does not wake only to wait for it.
        if (idleWorker)
            cv_.notify_one();
        else
            std::thread([this] { worker(); }).detach();
    }

    // True while work is waiting or running.
    bool busy() {
        std::lock_guard lock(mutex_);
        return !work_.empty() || running_ > 0;
    }

private:
    void worker() {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (work_.empty()) {
                ++idle_;
                bool woke = cv_.wait_for(lock, std::chrono::seconds(10), [this] { return !work_.empty(); });
                --idle_;
                if (!woke) {
                    --threads_;
                    return;
                }
            }
            auto job = std::move(work_.front());
            work_.pop_front();
            ++running_;
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            --running_;
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> work_;
    int idle_ = 0;
    int threads_ = 0;
    int running_ = 0;
};

class MainQueue final : public DispatchQueue {
public:
    MainQueue() : DispatchQueue("com.apple.main-thread", Kind::Main) {}

protected:
    void enqueue(std::function<void()> work) override { RunLoop::main().enqueue(std::move(work)); }
    void runSync(const std::function<void()>& work) override {
        if (isMainThread()) {
            work();
            return;
        }
        std::promise<void> done;
        enqueue([&] {
            work();
            done.set_value();
        });
        done.get_future().wait();
    }
};

class SerialQueue final : public DispatchQueue {
public:
    explicit SerialQueue(std::string label) : DispatchQueue(std::move(label), Kind::Serial) {}

protected:
    void enqueue(std::function<void()> work) override {
        {
            std::lock_guard lock(mutex_);
            work_.push_back(std::move(work));
            if (draining_) return;
            draining_ = true;
        }
        // Outside the lock: the worker's first step is to take it.
        ThreadPool::shared().submit([self = shared_from_this(), this] { drain(); });
    }

    void runSync(const std::function<void()>& work) override {
        if (isCurrent()) {
            work();
            return;
        }
        if (claimIdle()) {
            // As the platform does: an idle queue runs the block on the calling thread, which holds
            // the queue meanwhile, so that nothing else runs on it and a wait costs no hand-off.
            struct Release {
                SerialQueue* queue;
                ~Release() { queue->release(); }
            } release{this};
            QueueScope scope(this);
            work();
            return;
        }
        std::promise<void> done;
        enqueue([&] {
            work();
            done.set_value();
        });
        done.get_future().wait();
    }

private:
    // Takes the queue for the calling thread when nothing is queued or running on it.
    bool claimIdle() {
        std::lock_guard lock(mutex_);
        if (draining_ || !work_.empty()) return false;
        draining_ = true;
        return true;
    }

    // Gives a claimed queue back: what was queued meanwhile runs on a worker.
    void release() {
        {
            std::lock_guard lock(mutex_);
            if (work_.empty()) {
                draining_ = false;
                return;
            }
        }
        ThreadPool::shared().submit([self = shared_from_this(), this] { drain(); });
    }

    void drain() {
        QueueScope scope(this);
        std::unique_lock lock(mutex_);
        while (!work_.empty()) {
            auto job = std::move(work_.front());
            work_.pop_front();
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
        }
        draining_ = false;
    }

    std::mutex mutex_;
    std::deque<std::function<void()>> work_;
    bool draining_ = false;
};

class ConcurrentQueue final : public DispatchQueue {
public:
    explicit ConcurrentQueue(std::string label) : DispatchQueue(std::move(label), Kind::Concurrent) {}

protected:
    void enqueue(std::function<void()> work) override {
        ThreadPool::shared().submit([self = shared_from_this(), this, work = std::move(work)] {
            QueueScope scope(this);
            work();
        });
    }
    void runSync(const std::function<void()>& work) override {
        QueueScope scope(this);
        work();
    }
};

}  // namespace

bool isMainThread() {
    return std::this_thread::get_id() == gMainThread;
}

std::shared_ptr<DispatchQueue> DispatchQueue::main() {
    static auto* q = new std::shared_ptr<DispatchQueue>(std::make_shared<MainQueue>());
    return *q;
}

bool DispatchQueue::backgroundWorkPending() { return ThreadPool::shared().busy(); }

namespace {

// The processors this process may run on (its affinity), which may be fewer than the machine
// has: more threads than that would only take turns.
size_t usableProcessors() {
    static const size_t count = [] {
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
            return static_cast<size_t>(CPU_COUNT(&set));
        return static_cast<size_t>(std::max(1u, std::thread::hardware_concurrency()));
    }();
    return count;
}

}  // namespace

void DispatchQueue::concurrentPerform(size_t iterations, const std::function<void(size_t)>& work) {
    const size_t workers = std::min<size_t>({iterations, 8, usableProcessors()});
    if (workers <= 1) {
        for (size_t i = 0; i < iterations; ++i) work(i);
        return;
    }
    // Each thread takes the next piece until none is left, so slow pieces do not hold the others.
    std::atomic<size_t> next{0};
    auto run = [&] {
        for (size_t i = next++; i < iterations; i = next++) work(i);
    };
    auto group = DispatchGroup::create();
    for (size_t w = 1; w < workers; ++w) global()->async(group, run);
    run();
    group->wait();
}

std::shared_ptr<DispatchQueue> DispatchQueue::global(Priority priority) {
    static auto* queues = new std::vector<std::shared_ptr<DispatchQueue>>{
        std::make_shared<ConcurrentQueue>("com.apple.root.user-initiated-qos"),
        std::make_shared<ConcurrentQueue>("com.apple.root.default-qos"),
        std::make_shared<ConcurrentQueue>("com.apple.root.utility-qos"),
        std::make_shared<ConcurrentQueue>("com.apple.root.background-qos"),
    };
    return (*queues)[static_cast<size_t>(priority)];
}

std::shared_ptr<DispatchQueue> DispatchQueue::serial(std::string label) {
    return std::make_shared<SerialQueue>(std::move(label));
}

std::shared_ptr<DispatchQueue> DispatchQueue::concurrent(std::string label) {
    return std::make_shared<ConcurrentQueue>(std::move(label));
}

void DispatchQueue::async(std::function<void()> work) {
    enqueue(std::move(work));
}

void DispatchQueue::async(const std::shared_ptr<DispatchWorkItem>& item) {
    enqueue([item] { item->perform(); });
}

void DispatchQueue::async(const std::shared_ptr<DispatchGroup>& group, std::function<void()> work) {
    group->enter();
    enqueue([group, work = std::move(work)] {
        work();
        group->leave();
    });
}

void DispatchQueue::sync(const std::function<void()>& work) {
    runSync(work);
}

void DispatchQueue::asyncAfter(double delay, std::function<void()> work) {
    const double deadline = Clock::uptime() + (delay > 0 ? delay : 0);
    Clock::schedule(deadline, [self = shared_from_this(), work = std::move(work)]() mutable {
        self->enqueue(std::move(work));
    });
}

void DispatchQueue::asyncAfter(double delay, const std::shared_ptr<DispatchWorkItem>& item) {
    asyncAfter(delay, [item] { item->perform(); });
}

bool DispatchQueue::isCurrent() const {
    if (kind_ == Kind::Main) return isMainThread();
    for (const auto* q : tCurrentQueues) {
        if (q == this) return true;
    }
    return false;
}

std::string DispatchQueue::currentLabel() {
    if (!tCurrentQueues.empty()) return tCurrentQueues.back()->label();
    return isMainThread() ? main()->label() : std::string();
}

}  // namespace brindlecue::platform
