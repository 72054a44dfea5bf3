#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace brindlecue::platform {

// One unit of work for an operation queue. A cancelled operation that has not started finishes
// without running; a running one sees isCancelled() and may stop early (a subclass that overrides
// cancel() to stop its work calls the base too).
class Operation : public std::enable_shared_from_this<Operation> {
public:
    // Queue priorities, with the platform's values.
    enum QueuePriority : int { VeryLow = -8, Low = -4, Normal = 0, High = 4, VeryHigh = 8 };

    static std::shared_ptr<Operation> block(std::function<void()> work);
    explicit Operation(std::function<void()> work) : work_(std::move(work)) {}
    virtual ~Operation() = default;

    virtual void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }
    bool isExecuting() const { return executing_; }
    bool isFinished() const;
    void waitUntilFinished();
    // Runs after the operation has finished (also when it was cancelled), on the worker thread.
    void setCompletionBlock(std::function<void()> block);

    // Among the operations of a queue that are ready, those of higher priority start first.
    int queuePriority() const { return priority_; }
    void setQueuePriority(int priority) { priority_ = priority; }
    // The operation is not ready until the other has finished. A queue looks again whenever one of
    // its own operations finishes, so a dependency belongs to the same queue.
    void addDependency(const std::shared_ptr<Operation>& operation);
    bool isReady() const;

    // Runs the operation on the calling thread.
    void start();

protected:
    virtual void main();

private:
    std::function<void()> work_;
    std::function<void()> completion_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> executing_{false};
    std::atomic<int> priority_{Normal};
    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<Operation>> dependencies_;
    std::condition_variable finishedCv_;
    bool finished_ = false;
};

// Runs operations on worker threads, at most maxConcurrentOperationCount at a time
// (-1: no limit): of the operations that are ready, the one of highest queue priority first, and
// among equals in the order they were added.
class OperationQueue : public std::enable_shared_from_this<OperationQueue> {
public:
    static std::shared_ptr<OperationQueue> create(std::string name = "");

    const std::string& name() const { return name_; }
    void setMaxConcurrentOperationCount(int count);
    int maxConcurrentOperationCount() const;

    void addOperation(std::shared_ptr<Operation> operation);
    void addOperation(std::function<void()> work);
    // A suspended queue starts no operation; those running go on.
    void setSuspended(bool suspended);
    bool isSuspended() const;
    // Cancels every queued and running operation.
    void cancelAllOperations();
    void waitUntilAllOperationsAreFinished();
    // Operations added and not yet finished.
    size_t operationCount() const;

private:
    explicit OperationQueue(std::string name) : name_(std::move(name)) {}
    void startMore();
    void finished();

    std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable idle_;
    int max_ = -1;
    int running_ = 0;
    bool suspended_ = false;
    std::deque<std::shared_ptr<Operation>> waiting_;
    std::deque<std::shared_ptr<Operation>> active_;
};

}  // namespace brindlecue::platform
