#include "platform/dispatch/OperationQueue.h"

#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue::platform {

std::shared_ptr<Operation> Operation::block(std::function<void()> work) {
    return std::make_shared<Operation>(std::move(work));
}

void Operation::main() {
    if (work_) work_();
}

void Operation::start() {
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
    }
    if (!cancelled_) {
        executing_ = true;
        main();
        executing_ = false;
    }
    std::function<void()> completion;
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
        completion = std::move(completion_);
        finishedCv_.notify_all();
    }
    if (completion) completion();
}

void Operation::addDependency(const std::shared_ptr<Operation>& operation) {
    if (!operation || operation.get() == this) return;
    std::lock_guard lock(mutex_);
    dependencies_.push_back(operation);
}

bool Operation::isReady() const {
    std::vector<std::weak_ptr<Operation>> dependencies;
    {
        std::lock_guard lock(mutex_);
        dependencies = dependencies_;
    }
    for (const auto& weak : dependencies) {
        auto dependency = weak.lock();
        if (dependency && !dependency->isFinished()) return false;
    }
    return true;
}

bool Operation::isFinished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

void Operation::waitUntilFinished() {
    std::unique_lock lock(mutex_);
    finishedCv_.wait(lock, [this] { return finished_; });
}

void Operation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(block);
}

std::shared_ptr<OperationQueue> OperationQueue::create(std::string name) {
    return std::shared_ptr<OperationQueue>(new OperationQueue(std::move(name)));
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard lock(mutex_);
        max_ = count;
    }
    startMore();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(mutex_);
    return max_;
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(operation));
    }
    startMore();
}

void OperationQueue::addOperation(std::function<void()> work) { addOperation(Operation::block(std::move(work))); }

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(mutex_);
        suspended_ = suspended;
    }
    startMore();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard lock(mutex_);
    return suspended_;
}

void OperationQueue::startMore() {
    std::vector<std::shared_ptr<Operation>> toStart;
    {
        std::lock_guard lock(mutex_);
        while (!suspended_ && (max_ < 0 || running_ < max_)) {
            // The first ready operation of the highest priority.
            auto next = waiting_.end();
            for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
                if ((next == waiting_.end() || (*it)->queuePriority() > (*next)->queuePriority()) &&
                    ((*it)->isCancelled() || (*it)->isReady()))
                    next = it;
            }
            if (next == waiting_.end()) break;
            toStart.push_back(*next);
            active_.push_back(*next);
            waiting_.erase(next);
            ++running_;
        }
    }
    for (auto& op : toStart) {
        DispatchQueue::global()->async([self = shared_from_this(), op] {
            op->start();
            self->finished();
        });
    }
}

void OperationQueue::finished() {
    {
        std::lock_guard lock(mutex_);
        --running_;
        std::erase_if(active_, [](const auto& op) { return op->isFinished(); });
        if (running_ == 0 && waiting_.empty()) idle_.notify_all();
    }
    startMore();
}

void OperationQueue::cancelAllOperations() {
    std::lock_guard lock(mutex_);
    for (auto& op : waiting_) op->cancel();
    for (auto& op : active_) op->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return running_ == 0 && waiting_.empty(); });
}

size_t OperationQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return waiting_.size() + active_.size();
}

}  // namespace brindlecue::platform
