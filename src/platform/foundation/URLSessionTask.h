#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLResponse.h"

namespace brindlecue::platform {

class OperationQueue;
class URLSession;

// One load of a session. A task starts suspended; resume() starts (or continues) it, suspend()
// holds it (no traffic, no time-out running), cancel() ends it with "cancelled" (-999). Once
// completed, none of the three does anything. Tasks are made by their session only.
class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
public:
    enum class State { Running = 0, Suspended = 1, Canceling = 2, Completed = 3 };
    static constexpr int64_t kTransferSizeUnknown = -1;

    // Called on the calling thread after every resume() (resumed true) and suspend() call of any
    // task, with the state the task had before the call.
    using StateHook = std::function<void(const std::shared_ptr<URLSessionTask>& task, bool resumed,
                                         State previousState)>;
    static void setStateHook(StateHook hook);
    // The hook installed now (none when there is none), so that a caller can put it back.
    static StateHook stateHook();

    virtual ~URLSessionTask() = default;

    // Unique within its session, counting from 1.
    uint64_t taskIdentifier() const { return identifier_; }
    const std::optional<URLRequest>& originalRequest() const { return originalRequest_; }
    // The request being loaded: after a redirection, the redirected one.
    std::optional<URLRequest> currentRequest() const;
    std::shared_ptr<URLResponse> response() const;
    std::optional<Error> error() const;
    State state() const;
    std::string taskDescription() const;
    void setTaskDescription(std::string description);
    float priority() const;
    void setPriority(float priority);

    int64_t countOfBytesReceived() const { return bytesReceived_; }
    int64_t countOfBytesSent() const { return bytesSent_; }
    int64_t countOfBytesExpectedToSend() const { return bytesExpectedToSend_; }
    int64_t countOfBytesExpectedToReceive() const { return bytesExpectedToReceive_; }

    void resume();
    void suspend();
    void cancel();

    // The session, while it exists.
    std::shared_ptr<URLSession> session() const { return session_.lock(); }

protected:
    URLSessionTask(const std::shared_ptr<URLSession>& session, uint64_t identifier,
                   std::optional<URLRequest> request);

    // The transport behind the task. The defaults drive an HTTP transfer.
    virtual void startTransport();
    virtual void setTransportSuspended(bool suspended);
    virtual void cancelTransport(bool started);

    // Runs a delegate call on the session's delegate queue after the earlier calls of this task.
    void enqueueDelegateCall(std::function<void()> call);
    // Marks the task completed with the error and hands the completion to the session. Only the
    // first call counts; returns whether it was the first.
    bool complete(std::optional<Error> error);

    void setResponse(std::shared_ptr<URLResponse> response);
    void setCurrentRequest(URLRequest request);

private:
    friend class URLSession;
    friend class URLLoader;
    friend class URLSessionWebSocketTask;
    friend class URLSessionDownloadTask;

    void drainDelegateCalls();

    std::weak_ptr<URLSession> session_;
    std::shared_ptr<OperationQueue> delegateQueue_;
    const uint64_t identifier_;
    const std::optional<URLRequest> originalRequest_;

    mutable std::mutex mutex_;
    std::optional<URLRequest> currentRequest_;
    std::shared_ptr<URLResponse> response_;
    std::optional<Error> error_;
    State state_ = State::Suspended;
    bool started_ = false;
    std::string description_;
    float priority_ = 0.5f;

    std::atomic<int64_t> bytesReceived_{0};
    std::atomic<int64_t> bytesSent_{0};
    std::atomic<int64_t> bytesExpectedToSend_{0};
    std::atomic<int64_t> bytesExpectedToReceive_{kTransferSizeUnknown};

    std::mutex callsMutex_;
    std::deque<std::function<void()>> calls_;
    bool draining_ = false;
};

// A task whose answer body arrives as data: to the delegate piece by piece, or whole to the
// completion handler it was made with.
class URLSessionDataTask : public URLSessionTask {
public:
    using CompletionHandler =
        std::function<void(std::optional<Data>, std::shared_ptr<URLResponse>, std::optional<Error>)>;

protected:
    using URLSessionTask::URLSessionTask;

private:
    friend class URLSession;
    friend class URLLoader;
    CompletionHandler completion_;
    Data received_;  // for the completion handler
};

// A data task that sends a body given apart from the request: bytes, a file, or the request's
// body stream.
class URLSessionUploadTask final : public URLSessionDataTask {
private:
    friend class URLSession;
    friend class URLLoader;
    using URLSessionDataTask::URLSessionDataTask;
    std::optional<Data> bodyData_;
    std::optional<URL> bodyFile_;
};

// A task whose answer body is written to a temporary file, handed over when it completes.
class URLSessionDownloadTask final : public URLSessionTask {
public:
    using CompletionHandler =
        std::function<void(std::optional<URL>, std::shared_ptr<URLResponse>, std::optional<Error>)>;

    // Cancels the task. When the download can go on later (a GET whose answer named an entity tag
    // or a modification date, with bytes already written) the completion gets the resume data for
    // URLSession::downloadTaskWithResumeData and the partial file is kept; otherwise none. The
    // completion runs on the session's delegate queue, before the task's completion.
    void cancelByProducingResumeData(std::function<void(std::optional<Data>)> completion);

private:
    friend class URLSession;
    friend class URLLoader;
    using URLSessionTask::URLSessionTask;
    CompletionHandler completion_;
    std::optional<URL> location_;  // the finished download, for the completion handler
    // From resume data: where the partial file is, how much of it there is, and the validator
    // (entity tag or modification date) the server must still answer to.
    struct Resume {
        std::string path;
        int64_t offset = 0;
        std::string validator;
    };
    std::optional<Resume> resume_;
    bool invalidResumeData_ = false;
};

}  // namespace brindlecue::platform
