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

void OperationQueue::startMore() {
    std::vector<std::shared_ptr<Operation>> toStart;
    {
        std::lock_guard lock(mutex_);
        while (!waiting_.empty() && (max_ < 0 || running_ < max_)) {
            toStart.push_back(waiting_.front());
            active_.push_back(waiting_.front());
            waiting_.pop_front();
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
