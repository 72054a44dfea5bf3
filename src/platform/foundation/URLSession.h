#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/URLSessionConfiguration.h"
#include "platform/foundation/URLSessionDelegate.h"
#include "platform/foundation/URLSessionTask.h"

namespace brindlecue::platform {

class OperationQueue;
class URLSessionWebSocketTask;

// A group of tasks sharing one configuration, one delegate and one delegate queue. HTTP and
// HTTPS tasks run on the process's URL loader (one worker thread over libcurl); connections,
// TLS sessions and cookies are kept per session. The session holds its delegate strongly until
// it is invalidated, as the platform does.
class URLSession : public std::enable_shared_from_this<URLSession> {
public:
    // Keys of resume data (a property list).
    static constexpr const char* kResumeURLKey = "NSURLSessionDownloadURL";
    static constexpr const char* kResumeBytesKey = "NSURLSessionResumeBytesReceived";
    static constexpr const char* kResumeFileKey = "NSURLSessionResumeInfoLocalPath";
    static constexpr const char* kResumeValidatorKey = "NSURLSessionResumeEntityTag";

    using DataCompletion = URLSessionDataTask::CompletionHandler;
    using DownloadCompletion = URLSessionDownloadTask::CompletionHandler;

    // The process's session without delegate, made on first use.
    static std::shared_ptr<URLSession> shared();
    // Without a delegate queue the session makes a serial operation queue of its own.
    static std::shared_ptr<URLSession> create(URLSessionConfiguration configuration,
                                              std::shared_ptr<URLSessionDelegate> delegate = nullptr,
                                              std::shared_ptr<OperationQueue> delegateQueue = nullptr);
    ~URLSession();

    const URLSessionConfiguration& configuration() const { return configuration_; }
    std::shared_ptr<URLSessionDelegate> delegate() const;
    const std::shared_ptr<OperationQueue>& delegateQueue() const { return delegateQueue_; }
    std::string sessionDescription() const;
    void setSessionDescription(std::string description);

    // Tasks, created suspended. After invalidation these return null.
    std::shared_ptr<URLSessionDataTask> dataTaskWithRequest(const URLRequest& request,
                                                            DataCompletion completion = nullptr);
    std::shared_ptr<URLSessionDataTask> dataTaskWithURL(const URL& url, DataCompletion completion = nullptr);
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithRequest(const URLRequest& request, Data bodyData,
                                                                DataCompletion completion = nullptr);
    // The body is read from the file (a file URL) while it is sent.
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithRequest(const URLRequest& request, const URL& fileURL,
                                                                DataCompletion completion = nullptr);
    // The body is the request's body stream.
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithStreamedRequest(const URLRequest& request);
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithRequest(const URLRequest& request,
                                                                    DownloadCompletion completion = nullptr);
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithURL(const URL& url,
                                                                DownloadCompletion completion = nullptr);
    // Goes on with a download cancelled by cancelByProducingResumeData. Resume data that cannot be
    // used (unreadable, or its partial file is gone) gives a task that fails with "cannot open
    // file" (-3001) when resumed.
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithResumeData(
        const Data& resumeData, DownloadCompletion completion = nullptr);
    std::shared_ptr<URLSessionWebSocketTask> webSocketTaskWithURL(const URL& url);
    std::shared_ptr<URLSessionWebSocketTask> webSocketTaskWithRequest(const URLRequest& request);

    // No new tasks; once every task has completed, the delegate hears didBecomeInvalidWithError
    // (no error) and is released.
    void finishTasksAndInvalidate();
    // The same, cancelling every task first.
    void invalidateAndCancel();

    // The tasks not yet completed, by kind, handed over on the delegate queue.
    void getTasksWithCompletionHandler(
        std::function<void(std::vector<std::shared_ptr<URLSessionDataTask>>,
                           std::vector<std::shared_ptr<URLSessionUploadTask>>,
                           std::vector<std::shared_ptr<URLSessionDownloadTask>>)>
            completion);
    void getAllTasksWithCompletionHandler(std::function<void(std::vector<std::shared_ptr<URLSessionTask>>)> completion);

private:
    friend class URLSessionTask;
    friend class URLLoader;
    friend class URLSessionWebSocketTask;

    URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
               std::shared_ptr<OperationQueue> delegateQueue);
    uint64_t nextIdentifier();
    template <class T>
    std::shared_ptr<T> adopt(T* task);
    // Called once per task when it completes: delivers the completion, then forgets the task.
    void taskCompleted(const std::shared_ptr<URLSessionTask>& task);
    void forget(const std::shared_ptr<URLSessionTask>& task);
    // The response disposition BecomeDownload: a download task that takes over the data task's
    // load; the data task is over without completing. Null once the session is invalidated.
    std::shared_ptr<URLSessionDownloadTask> becomeDownloadTask(
        const std::shared_ptr<URLSessionDataTask>& dataTask);
    void invalidateIfDone();

    enum class TrustDecision { Accept, Untrusted, Cancelled };
    // Asks the delegate about a TLS server's certificate chain and waits for the answer (the
    // caller is a transport thread, never the delegate queue). Default handling evaluates the
    // chain against the system roots and the host name. A task cancelled meanwhile gives Cancelled.
    TrustDecision decideServerTrust(const std::shared_ptr<URLSessionTask>& task,
                                    const std::shared_ptr<SecTrust>& trust, const std::string& host, int port,
                                    const std::string& protocol);

    const URLSessionConfiguration configuration_;
    const std::shared_ptr<OperationQueue> delegateQueue_;

    mutable std::mutex mutex_;
    std::shared_ptr<URLSessionDelegate> delegate_;
    std::string description_;
    uint64_t lastIdentifier_ = 0;
    std::map<uint64_t, std::shared_ptr<URLSessionTask>> tasks_;
    bool invalidating_ = false;
    bool invalidated_ = false;
    std::shared_ptr<void> loaderState_;  // the URL loader's per-session connection and cookie share
};

}  // namespace brindlecue::platform
