#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/URLAuthenticationChallenge.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLResponse.h"

namespace brindlecue::platform {

class URLSession;
class URLSessionTask;
class URLSessionDataTask;
class URLSessionDownloadTask;
class URLSessionWebSocketTask;

// BecomeDownload turns a data task that has a delegate into a download task.
enum class URLSessionResponseDisposition { Cancel = 0, Allow = 1, BecomeDownload = 2 };

// Everything a session tells its delegate, each with the platform's default behaviour, so a
// delegate overrides only what it handles. Calls arrive on the session's delegate queue, those
// of one task in order. A completion handler may be called from any thread, at once or later;
// the task waits for it (a response is not read on, a redirection not followed, a TLS
// connection not used) until it is called.
//
// Tasks made with a completion handler report their response, data, finished download and
// completion only to that handler; challenges, redirections and progress still reach the
// delegate.
class URLSessionDelegate {
public:
    using ChallengeCompletion =
        std::function<void(URLSessionAuthChallengeDisposition, std::shared_ptr<URLCredential>)>;

    virtual ~URLSessionDelegate() = default;

    // Session level.
    virtual void didBecomeInvalidWithError(const std::shared_ptr<URLSession>& session,
                                           const std::optional<Error>& error) {}
    // Default: default handling.
    virtual void didReceiveChallenge(const std::shared_ptr<URLSession>& session,
                                     const URLAuthenticationChallenge& challenge, ChallengeCompletion completion) {
        completion(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
    }
    // A session with a background configuration (one with an identifier) has delivered every
    // event of its tasks: called once each time its last running task has completed.
    virtual void didFinishEventsForBackgroundURLSession(const std::shared_ptr<URLSession>& session) {}

    // Task level. Every challenge comes here first; by default it goes on to the session level.
    virtual void taskDidReceiveChallenge(const std::shared_ptr<URLSession>& session,
                                         const std::shared_ptr<URLSessionTask>& task,
                                         const URLAuthenticationChallenge& challenge, ChallengeCompletion completion) {
        didReceiveChallenge(session, challenge, std::move(completion));
    }
    // Default: follow to the proposed request. Completing with none refuses the redirection: the
    // redirection answer itself becomes the task's response.
    virtual void taskWillPerformHTTPRedirection(const std::shared_ptr<URLSession>& session,
                                                const std::shared_ptr<URLSessionTask>& task,
                                                const std::shared_ptr<URLResponse>& response,
                                                const URLRequest& newRequest,
                                                std::function<void(std::optional<URLRequest>)> completion) {
        completion(newRequest);
    }
    // A streamed body must be sent again (a redirection that keeps the body). Default: none,
    // which fails the task.
    virtual void taskNeedNewBodyStream(const std::shared_ptr<URLSession>& session,
                                       const std::shared_ptr<URLSessionTask>& task,
                                       std::function<void(std::shared_ptr<InputStream>)> completion) {
        completion(nullptr);
    }
    // totalBytesExpectedToSend is -1 when the body's length is not known.
    virtual void taskDidSendBodyData(const std::shared_ptr<URLSession>& session,
                                     const std::shared_ptr<URLSessionTask>& task, int64_t bytesSent,
                                     int64_t totalBytesSent, int64_t totalBytesExpectedToSend) {}
    virtual void taskDidCompleteWithError(const std::shared_ptr<URLSession>& session,
                                          const std::shared_ptr<URLSessionTask>& task,
                                          const std::optional<Error>& error) {}

    // Data tasks (upload tasks included). Default: allow.
    virtual void dataTaskDidReceiveResponse(const std::shared_ptr<URLSession>& session,
                                            const std::shared_ptr<URLSessionDataTask>& dataTask,
                                            const std::shared_ptr<URLResponse>& response,
                                            std::function<void(URLSessionResponseDisposition)> completion) {
        completion(URLSessionResponseDisposition::Allow);
    }
    virtual void dataTaskDidReceiveData(const std::shared_ptr<URLSession>& session,
                                        const std::shared_ptr<URLSessionDataTask>& dataTask, const Data& data) {}
    // After the response disposition BecomeDownload: the data task is over (it completes no more)
    // and the download task carries on with the same load.
    virtual void dataTaskDidBecomeDownloadTask(const std::shared_ptr<URLSession>& session,
                                               const std::shared_ptr<URLSessionDataTask>& dataTask,
                                               const std::shared_ptr<URLSessionDownloadTask>& downloadTask) {}
    // A complete answer of a GET that the session's URL cache may keep: the completion's response
    // is kept (none keeps nothing). Default: keep the proposed one.
    virtual void dataTaskWillCacheResponse(
        const std::shared_ptr<URLSession>& session, const std::shared_ptr<URLSessionDataTask>& dataTask,
        const std::shared_ptr<CachedURLResponse>& proposedResponse,
        std::function<void(std::shared_ptr<CachedURLResponse>)> completion) {
        completion(proposedResponse);
    }

    // Download tasks. The file at location is removed once this call returns.
    virtual void downloadTaskDidFinishDownloadingToURL(const std::shared_ptr<URLSession>& session,
                                                       const std::shared_ptr<URLSessionDownloadTask>& downloadTask,
                                                       const URL& location) {}
    virtual void downloadTaskDidWriteData(const std::shared_ptr<URLSession>& session,
                                          const std::shared_ptr<URLSessionDownloadTask>& downloadTask,
                                          int64_t bytesWritten, int64_t totalBytesWritten,
                                          int64_t totalBytesExpectedToWrite) {}
    // A download made from resume data goes on at the offset (0 when the server sent it whole
    // again); expectedTotalBytes counts the whole file, -1 when unknown.
    virtual void downloadTaskDidResumeAtOffset(const std::shared_ptr<URLSession>& session,
                                               const std::shared_ptr<URLSessionDownloadTask>& downloadTask,
                                               int64_t fileOffset, int64_t expectedTotalBytes) {}

    // Websocket tasks.
    virtual void webSocketTaskDidOpenWithProtocol(const std::shared_ptr<URLSession>& session,
                                                  const std::shared_ptr<URLSessionWebSocketTask>& webSocketTask,
                                                  const std::optional<std::string>& protocol) {}
    virtual void webSocketTaskDidCloseWithCode(const std::shared_ptr<URLSession>& session,
                                               const std::shared_ptr<URLSessionWebSocketTask>& webSocketTask,
                                               int64_t closeCode, const std::optional<Data>& reason) {}
};

}  // namespace brindlecue::platform
