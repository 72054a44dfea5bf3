#include "platform/foundation/URLSessionTask.h"

#include <algorithm>

#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLLoader.h"
#include "platform/foundation/URLSession.h"

namespace brindlecue::platform {

namespace {

std::mutex& hookMutex() {
    static auto* m = new std::mutex;
    return *m;
}

std::shared_ptr<URLSessionTask::StateHook>& hookSlot() {
    static auto* hook = new std::shared_ptr<URLSessionTask::StateHook>;
    return *hook;
}

void callHook(const std::shared_ptr<URLSessionTask>& task, bool resumed, URLSessionTask::State previous) {
    std::shared_ptr<URLSessionTask::StateHook> hook;
    {
        std::lock_guard lock(hookMutex());
        hook = hookSlot();
    }
    if (hook && *hook) (*hook)(task, resumed, previous);
}

}  // namespace

URLSessionTask::StateHook URLSessionTask::stateHook() {
    std::lock_guard lock(hookMutex());
    return hookSlot() ? *hookSlot() : StateHook();
}

void URLSessionTask::setStateHook(StateHook hook) {
    std::lock_guard lock(hookMutex());
    hookSlot() = hook ? std::make_shared<StateHook>(std::move(hook)) : nullptr;
}

URLSessionTask::URLSessionTask(const std::shared_ptr<URLSession>& session, uint64_t identifier,
                               std::optional<URLRequest> request)
    : session_(session),
      delegateQueue_(session->delegateQueue()),
      identifier_(identifier),
      originalRequest_(request),
      currentRequest_(std::move(request)) {}

std::optional<URLRequest> URLSessionTask::currentRequest() const {
    std::lock_guard lock(mutex_);
    return currentRequest_;
}

std::shared_ptr<URLResponse> URLSessionTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::optional<Error> URLSessionTask::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

URLSessionTask::State URLSessionTask::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::string URLSessionTask::taskDescription() const {
    std::lock_guard lock(mutex_);
    return description_;
}

void URLSessionTask::setTaskDescription(std::string description) {
    std::lock_guard lock(mutex_);
    description_ = std::move(description);
}

float URLSessionTask::priority() const {
    std::lock_guard lock(mutex_);
    return priority_;
}

void URLSessionTask::setPriority(float priority) {
    std::lock_guard lock(mutex_);
    priority_ = std::clamp(priority, 0.0f, 1.0f);
}

void URLSessionTask::setResponse(std::shared_ptr<URLResponse> response) {
    std::lock_guard lock(mutex_);
    response_ = std::move(response);
}

void URLSessionTask::setCurrentRequest(URLRequest request) {
    std::lock_guard lock(mutex_);
    currentRequest_ = std::move(request);
}

void URLSessionTask::resume() {
    State previous;
    enum { None, Start, Continue } action = None;
    {
        std::lock_guard lock(mutex_);
        previous = state_;
        if (state_ == State::Suspended) {
            state_ = State::Running;
            action = started_ ? Continue : Start;
            started_ = true;
        }
    }
    if (action == Start) startTransport();
    if (action == Continue) setTransportSuspended(false);
    callHook(shared_from_this(), true, previous);
}

void URLSessionTask::suspend() {
    State previous;
    bool pause = false;
    {
        std::lock_guard lock(mutex_);
        previous = state_;
        if (state_ == State::Running) {
            state_ = State::Suspended;
            pause = true;
        }
    }
    if (pause) setTransportSuspended(true);
    callHook(shared_from_this(), false, previous);
}

void URLSessionTask::cancel() {
    bool started;
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Running && state_ != State::Suspended) return;
        state_ = State::Canceling;
        started = started_;
    }
    cancelTransport(started);
}

void URLSessionTask::startTransport() { URLLoader::shared().start(shared_from_this()); }

void URLSessionDownloadTask::cancelByProducingResumeData(
    std::function<void(std::optional<Data>)> completion) {
    bool started;
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Running && state_ != State::Suspended) {
            started = false;
        } else {
            started = started_;
            if (started) state_ = State::Canceling;
        }
    }
    if (!started) {
        // Nothing was written yet (or the task is over): no resume data.
        cancel();
        if (completion) enqueueDelegateCall([completion] { completion(std::nullopt); });
        return;
    }
    URLLoader::shared().cancelProducingResumeData(
        std::static_pointer_cast<URLSessionDownloadTask>(shared_from_this()), std::move(completion));
}

void URLSessionTask::setTransportSuspended(bool suspended) {
    URLLoader::shared().setSuspended(shared_from_this(), suspended);
}

void URLSessionTask::cancelTransport(bool started) {
    if (started) {
        URLLoader::shared().cancel(shared_from_this());
    } else {
        auto request = currentRequest();
        complete(URLError::make(URLError::Cancelled, request ? request->url() : std::nullopt));
    }
}

bool URLSessionTask::complete(std::optional<Error> error) {
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Completed) return false;
        state_ = State::Completed;
        error_ = std::move(error);
    }
    if (auto session = session_.lock()) session->taskCompleted(shared_from_this());
    return true;
}

void URLSessionTask::enqueueDelegateCall(std::function<void()> call) {
    {
        std::lock_guard lock(callsMutex_);
        calls_.push_back(std::move(call));
        if (draining_) return;
        draining_ = true;
    }
    auto self = shared_from_this();
    delegateQueue_->addOperation([self] { self->drainDelegateCalls(); });
}

void URLSessionTask::drainDelegateCalls() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(callsMutex_);
            if (calls_.empty()) {
                draining_ = false;
                return;
            }
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
    }
}

}  // namespace brindlecue::platform
