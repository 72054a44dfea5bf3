#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/Error.h"
#include "platform/NotificationCenter.h"
#include "platform/Value.h"
#include "platform/foundation/Progress.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLResponse.h"

namespace brindlecue {

namespace platform {
class URLSession;
class URLSessionTask;
}  // namespace platform

class KJAFURLSessionManager;

// What a URL session manager keeps for one of its tasks: the body received so far, upload and
// download progress, the download destination and the caller's completion, which it delivers on
// the manager's completion queue after serializing the answer.
class KJAFURLSessionManagerTaskDelegate : public std::enable_shared_from_this<KJAFURLSessionManagerTaskDelegate> {
public:
    using CompletionHandler = std::function<void(std::shared_ptr<platform::URLResponse> response,
                                                 platform::Value responseObject, std::optional<platform::Error> error)>;
    using ProgressBlock = std::function<void(platform::Progress& progress)>;
    using DownloadDestination = std::function<std::optional<platform::URL>(
        const std::shared_ptr<platform::URLSession>& session, const std::shared_ptr<platform::URLSessionTask>& task,
        const platform::URL& location)>;

    std::weak_ptr<KJAFURLSessionManager> manager;
    const std::shared_ptr<platform::Progress> uploadProgress = std::make_shared<platform::Progress>(-1);
    const std::shared_ptr<platform::Progress> downloadProgress = std::make_shared<platform::Progress>(-1);

    // Set before the task runs; read on the session's delegate queue.
    DownloadDestination downloadTaskDidFinishDownloading;
    ProgressBlock uploadProgressBlock;
    ProgressBlock downloadProgressBlock;
    CompletionHandler completionHandler;

    std::optional<platform::URL> downloadFileURL() const;

    // Cancelling or pausing either progress cancels or suspends the task; fraction changes call
    // the progress blocks.
    void setupProgressForTask(const std::shared_ptr<platform::URLSessionTask>& task);
    void cleanUpProgressForTask(const std::shared_ptr<platform::URLSessionTask>& task);
    // Takes the task's byte counters over into the progress objects.
    void updateProgressForTask(const platform::URLSessionTask& task);

    // Session callbacks for this task, on the session's delegate queue.
    void didReceiveData(const platform::Data& data);
    void didFinishDownloadingToURL(const std::shared_ptr<platform::URLSession>& session,
                                   const std::shared_ptr<platform::URLSessionTask>& task,
                                   const platform::URL& location);
    void didCompleteWithError(const std::shared_ptr<platform::URLSessionTask>& task,
                              const std::optional<platform::Error>& error);

    // The observers of the task's resume and suspend announcements.
    std::shared_ptr<platform::NotificationObserver> resumeObserver;
    std::shared_ptr<platform::NotificationObserver> suspendObserver;

private:
    friend class KJAFURLSessionManager;
    void setDownloadFileURL(std::optional<platform::URL> url);

    mutable std::mutex mutex_;
    platform::Data mutableData_;
    std::optional<platform::URL> downloadFileURL_;
};

}  // namespace brindlecue
