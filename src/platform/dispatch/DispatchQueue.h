#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace brindlecue::platform {

class DispatchWorkItem;
class DispatchGroup;

// True on the process's main thread (the thread that runs the main queue).
bool isMainThread();

// A dispatch queue. The main queue is a run loop that the host runs (RunLoop::main().run()) and
// tests pump; serial queues run one block at a time in FIFO order on worker threads; concurrent
// queues (and the global queues) run blocks in parallel.
class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    enum class Kind { Main, Serial, Concurrent };
    // Priorities of the global queues.
    enum class Priority { High, Default, Low, Background };

    static std::shared_ptr<DispatchQueue> main();
    static std::shared_ptr<DispatchQueue> global(Priority priority = Priority::Default);
    static std::shared_ptr<DispatchQueue> serial(std::string label);
    static std::shared_ptr<DispatchQueue> concurrent(std::string label);

    virtual ~DispatchQueue() = default;

    const std::string& label() const { return label_; }
    Kind kind() const { return kind_; }

    void async(std::function<void()> work);
    void async(const std::shared_ptr<DispatchWorkItem>& item);
    // Enters the group now and leaves it when the work has run.
    void async(const std::shared_ptr<DispatchGroup>& group, std::function<void()> work);

    // Runs the work on this queue and waits for it. Called from work already running on this
    // queue (or on the main thread for the main queue) it runs the work at once instead of
    // deadlocking.
    void sync(const std::function<void()>& work);
    template <class F>
    auto syncValue(F&& f) -> decltype(f()) {
        std::optional<decltype(f())> out;
        sync([&] { out.emplace(f()); });
        return std::move(*out);
    }

    // Runs work(i) for every i below the count, spread over the calling thread and workers of the
    // global queue (at most one per core, eight at most), and returns when every one has run (the
    // platform's concurrentPerform). For independent pieces of work of some size.
    static void concurrentPerform(size_t iterations, const std::function<void(size_t)>& work);

    // True while a block of a background queue waits or runs. For the test runner, which lets
    // the work a test case started end before the case's files go.
    static bool backgroundWorkPending();

    // Runs the work on this queue once the clock has advanced by the delay (seconds).
    void asyncAfter(double delay, std::function<void()> work);
    void asyncAfter(double delay, const std::shared_ptr<DispatchWorkItem>& item);

    // True when the calling thread is running work of this queue (the main queue: the main thread).
    bool isCurrent() const;
    // The label of the innermost queue the calling thread is running work for ("" if none;
    // "com.apple.main-thread" on the main thread outside other queues' work).
    static std::string currentLabel();

protected:
    DispatchQueue(std::string label, Kind kind) : label_(std::move(label)), kind_(kind) {}
    virtual void enqueue(std::function<void()> work) = 0;
    virtual void runSync(const std::function<void()>& work) = 0;

private:
    std::string label_;
    Kind kind_;
};

}  // namespace brindlecue::platform
