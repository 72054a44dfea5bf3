#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "network/library/KJAFURLSessionManagerTaskDelegate.h"
#include "platform/Error.h"
#include "platform/KeyedArchiver.h"
#include "platform/Value.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/URLAuthenticationChallenge.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLSessionConfiguration.h"

namespace brindlecue {

namespace platform {
class CachedURLResponse;
class DispatchGroup;
class DispatchQueue;
class OperationQueue;
class URLSession;
class URLSessionTask;
class URLSessionDataTask;
class URLSessionUploadTask;
class URLSessionDownloadTask;
enum class URLSessionResponseDisposition;
}  // namespace platform

class KJAFNetworkReachabilityManager;
class KJAFSecurityPolicy;
class KJAFURLResponseSerialization;

inline constexpr const char* KJMossgroveTaskDidResumeNotification = "com.quernwick.networking.task.resume";
inline constexpr const char* KJMossgroveTaskDidSuspendNotification = "com.quernwick.networking.task.suspend";
inline constexpr const char* KJMossgroveTaskDidCompleteNotification = "com.quernwick.networking.task.complete";
inline constexpr const char* KJAFURLSessionDidInvalidateNotification = "com.quernwick.networking.session.invalidate";
inline constexpr const char* KJAFURLSessionDownloadTaskDidFailToMoveFileNotification =
    "com.quernwick.networking.session.download.file-manager-error";
// Keys of the completion notification. The response serializer and the error travel as objects
// (Notification::object<T>(key)), the serialized answer, the raw data and the downloaded file's
// URL text in the user info; an answer that is a platform object (an XML parser) travels as an
// object under the serialized-answer key.
inline constexpr const char* KJMossgroveTaskDidCompleteResponseSerializerKey =
    "com.quernwick.networking.task.complete.responseserializer";
inline constexpr const char* KJMossgroveTaskDidCompleteSerializedResponseKey =
    "com.quernwick.networking.task.complete.serializedresponse";
inline constexpr const char* KJMossgroveTaskDidCompleteResponseDataKey =
    "com.quernwick.networking.complete.finish.responsedata";
inline constexpr const char* KJMossgroveTaskDidCompleteErrorKey = "com.quernwick.networking.task.complete.error";
inline constexpr const char* KJMossgroveTaskDidCompleteAssetPathKey = "com.quernwick.networking.task.complete.assetpath";

// Owns one URL session and is its only delegate. Every task it creates gets a task delegate (in a
// table guarded by a lock) that collects the body, tracks progress, serializes the answer on the
// shared processing queue and completes on the completion queue (the main queue when none is
// set), inside the completion group; the completion notification follows on the main queue.
//
// A copy is a new manager of the same class from the same session configuration, nothing else;
// an archive keeps the session configuration.
class KJAFURLSessionManager : public std::enable_shared_from_this<KJAFURLSessionManager>,
                              public platform::SecureCoding {
public:
    using CompletionHandler = KJAFURLSessionManagerTaskDelegate::CompletionHandler;
    using ProgressBlock = KJAFURLSessionManagerTaskDelegate::ProgressBlock;
    using Destination = std::function<std::optional<platform::URL>(
        const platform::URL& targetPath, const std::shared_ptr<platform::URLResponse>& response)>;

    // Without a configuration, the platform's default one.
    static std::shared_ptr<KJAFURLSessionManager> create(
        std::optional<platform::URLSessionConfiguration> configuration = std::nullopt);
    virtual ~KJAFURLSessionManager();

    const std::shared_ptr<platform::URLSession>& session() const { return session_; }
    const std::shared_ptr<platform::OperationQueue>& operationQueue() const { return operationQueue_; }
    const platform::URLSessionConfiguration& sessionConfiguration() const { return sessionConfiguration_; }
    const std::shared_ptr<KJAFNetworkReachabilityManager>& reachabilityManager() const { return reachability_; }

    std::shared_ptr<KJAFURLResponseSerialization> responseSerializer() const;
    virtual void setResponseSerializer(std::shared_ptr<KJAFURLResponseSerialization> serializer);
    std::shared_ptr<KJAFSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(std::shared_ptr<KJAFSecurityPolicy> policy);
    // None: completions run on the main queue, in one process-wide group.
    std::shared_ptr<platform::DispatchQueue> completionQueue() const;
    void setCompletionQueue(std::shared_ptr<platform::DispatchQueue> queue);
    std::shared_ptr<platform::DispatchGroup> completionGroup() const;
    void setCompletionGroup(std::shared_ptr<platform::DispatchGroup> group);
    bool attemptsToRecreateUploadTasksForBackgroundSessions = false;

    // Tasks, created suspended, each with its task delegate.
    std::shared_ptr<platform::URLSessionDataTask> dataTaskWithRequest(const platform::URLRequest& request,
                                                                      CompletionHandler completionHandler);
    std::shared_ptr<platform::URLSessionDataTask> dataTaskWithRequest(const platform::URLRequest& request,
                                                                      ProgressBlock uploadProgress,
                                                                      ProgressBlock downloadProgress,
                                                                      CompletionHandler completionHandler);
    std::shared_ptr<platform::URLSessionUploadTask> uploadTaskWithRequest(const platform::URLRequest& request,
                                                                          const platform::URL& fromFile,
                                                                          ProgressBlock progress,
                                                                          CompletionHandler completionHandler);
    std::shared_ptr<platform::URLSessionUploadTask> uploadTaskWithRequest(const platform::URLRequest& request,
                                                                          const platform::Data& fromData,
                                                                          ProgressBlock progress,
                                                                          CompletionHandler completionHandler);
    std::shared_ptr<platform::URLSessionUploadTask> uploadTaskWithStreamedRequest(const platform::URLRequest& request,
                                                                                  ProgressBlock progress,
                                                                                  CompletionHandler completionHandler);
    std::shared_ptr<platform::URLSessionDownloadTask> downloadTaskWithRequest(const platform::URLRequest& request,
                                                                              ProgressBlock progress,
                                                                              Destination destination,
                                                                              CompletionHandler completionHandler);
    // Goes on with a download cancelled with resume data (URLSessionDownloadTask).
    std::shared_ptr<platform::URLSessionDownloadTask> downloadTaskWithResumeData(
        const platform::Data& resumeData, ProgressBlock progress, Destination destination,
        CompletionHandler completionHandler);

    std::shared_ptr<platform::Progress> uploadProgressForTask(const std::shared_ptr<platform::URLSessionTask>& task) const;
    std::shared_ptr<platform::Progress> downloadProgressForTask(const std::shared_ptr<platform::URLSessionTask>& task) const;

    // The session's unfinished tasks; these wait for the session, so never call them on its
    // delegate queue.
    std::vector<std::shared_ptr<platform::URLSessionTask>> tasks() const;
    std::vector<std::shared_ptr<platform::URLSessionTask>> dataTasks() const;
    std::vector<std::shared_ptr<platform::URLSessionTask>> uploadTasks() const;
    std::vector<std::shared_ptr<platform::URLSessionTask>> downloadTasks() const;

    // On the main queue: invalidate and cancel the tasks, or let them finish first.
    void invalidateSessionCancelingTasks(bool cancelPendingTasks);
    // The manager's address as "%p" text; the description of every task it creates.
    std::string taskDescriptionForSessionTasks() const;
    std::string description() const;

    // Optional callbacks consulted by the session delegate.
    using SessionDidBecomeInvalidBlock =
        std::function<void(const std::shared_ptr<platform::URLSession>&, const std::optional<platform::Error>&)>;
    using SessionChallengeBlock = std::function<platform::URLSessionAuthChallengeDisposition(
        const std::shared_ptr<platform::URLSession>&, const platform::URLAuthenticationChallenge&,
        std::shared_ptr<platform::URLCredential>* credential)>;
    using TaskChallengeBlock = std::function<platform::URLSessionAuthChallengeDisposition(
        const std::shared_ptr<platform::URLSession>&, const std::shared_ptr<platform::URLSessionTask>&,
        const platform::URLAuthenticationChallenge&, std::shared_ptr<platform::URLCredential>* credential)>;
    using TaskRedirectionBlock = std::function<std::optional<platform::URLRequest>(
        const std::shared_ptr<platform::URLSession>&, const std::shared_ptr<platform::URLSessionTask>&,
        const std::shared_ptr<platform::URLResponse>&, const platform::URLRequest&)>;
    using TaskNeedNewBodyStreamBlock = std::function<std::shared_ptr<platform::InputStream>(
        const std::shared_ptr<platform::URLSession>&, const std::shared_ptr<platform::URLSessionTask>&)>;
    using TaskDidSendBodyDataBlock =
        std::function<void(const std::shared_ptr<platform::URLSession>&, const std::shared_ptr<platform::URLSessionTask>&,
                           int64_t bytesSent, int64_t totalBytesSent, int64_t totalBytesExpectedToSend)>;
    using TaskDidCompleteBlock =
        std::function<void(const std::shared_ptr<platform::URLSession>&, const std::shared_ptr<platform::URLSessionTask>&,
                           const std::optional<platform::Error>&)>;
    using DataTaskDidReceiveResponseBlock = std::function<platform::URLSessionResponseDisposition(
        const std::shared_ptr<platform::URLSession>&, const std::shared_ptr<platform::URLSessionDataTask>&,
        const std::shared_ptr<platform::URLResponse>&)>;
    using DataTaskDidReceiveDataBlock =
        std::function<void(const std::shared_ptr<platform::URLSession>&,
                           const std::shared_ptr<platform::URLSessionDataTask>&, const platform::Data&)>;
    using DownloadTaskDidFinishDownloadingBlock = std::function<std::optional<platform::URL>(
        const std::shared_ptr<platform::URLSession>&, const std::shared_ptr<platform::URLSessionDownloadTask>&,
        const platform::URL& location)>;
    using DownloadTaskDidWriteDataBlock =
        std::function<void(const std::shared_ptr<platform::URLSession>&,
                           const std::shared_ptr<platform::URLSessionDownloadTask>&, int64_t bytesWritten,
                           int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite)>;
    using DidFinishEventsForBackgroundURLSessionBlock =
        std::function<void(const std::shared_ptr<platform::URLSession>&)>;
    using DataTaskDidBecomeDownloadTaskBlock = std::function<void(
        const std::shared_ptr<platform::URLSession>&, const std::shared_ptr<platform::URLSessionDataTask>&,
        const std::shared_ptr<platform::URLSessionDownloadTask>&)>;
    // Returns the response to keep; none keeps nothing.
    using DataTaskWillCacheResponseBlock = std::function<std::shared_ptr<platform::CachedURLResponse>(
        const std::shared_ptr<platform::URLSession>&, const std::shared_ptr<platform::URLSessionDataTask>&,
        const std::shared_ptr<platform::CachedURLResponse>& proposedResponse)>;
    using DownloadTaskDidResumeBlock =
        std::function<void(const std::shared_ptr<platform::URLSession>&,
                           const std::shared_ptr<platform::URLSessionDownloadTask>&, int64_t fileOffset,
                           int64_t expectedTotalBytes)>;

    void setSessionDidBecomeInvalidBlock(SessionDidBecomeInvalidBlock block);
    void setSessionDidReceiveAuthenticationChallengeBlock(SessionChallengeBlock block);
    void setTaskWillPerformHTTPRedirectionBlock(TaskRedirectionBlock block);
    void setTaskDidReceiveAuthenticationChallengeBlock(TaskChallengeBlock block);
    void setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block);
    void setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block);
    void setTaskDidCompleteBlock(TaskDidCompleteBlock block);
    void setDataTaskDidReceiveResponseBlock(DataTaskDidReceiveResponseBlock block);
    void setDataTaskDidReceiveDataBlock(DataTaskDidReceiveDataBlock block);
    void setDownloadTaskDidFinishDownloadingBlock(DownloadTaskDidFinishDownloadingBlock block);
    void setDownloadTaskDidWriteDataBlock(DownloadTaskDidWriteDataBlock block);
    // Called on the main queue.
    void setDidFinishEventsForBackgroundURLSessionBlock(DidFinishEventsForBackgroundURLSessionBlock block);
    void setDataTaskDidBecomeDownloadTaskBlock(DataTaskDidBecomeDownloadTaskBlock block);
    void setDataTaskWillCacheResponseBlock(DataTaskWillCacheResponseBlock block);
    void setDownloadTaskDidResumeBlock(DownloadTaskDidResumeBlock block);

    virtual std::shared_ptr<KJAFURLSessionManager> copy() const;
    std::vector<std::string> archivedClassNames() const override { return {"KJAFURLSessionManager"}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<platform::SecureCoding> initWithCoder(platform::KeyedUnarchiver& coder);

    // The task table.
    std::shared_ptr<KJAFURLSessionManagerTaskDelegate> delegateForTask(
        const std::shared_ptr<platform::URLSessionTask>& task) const;

protected:
    explicit KJAFURLSessionManager(std::optional<platform::URLSessionConfiguration> configuration);
    // Makes the session (its delegate needs the manager's shared pointer); called once by the
    // factories right after construction.
    void setUpSession();

private:
    class SessionDelegate;
    friend class SessionDelegate;

    struct Blocks {
        SessionDidBecomeInvalidBlock sessionDidBecomeInvalid;
        SessionChallengeBlock sessionDidReceiveAuthenticationChallenge;
        TaskRedirectionBlock taskWillPerformHTTPRedirection;
        TaskChallengeBlock taskDidReceiveAuthenticationChallenge;
        TaskNeedNewBodyStreamBlock taskNeedNewBodyStream;
        TaskDidSendBodyDataBlock taskDidSendBodyData;
        TaskDidCompleteBlock taskDidComplete;
        DataTaskDidReceiveResponseBlock dataTaskDidReceiveResponse;
        DataTaskDidReceiveDataBlock dataTaskDidReceiveData;
        DownloadTaskDidFinishDownloadingBlock downloadTaskDidFinishDownloading;
        DownloadTaskDidWriteDataBlock downloadTaskDidWriteData;
        DidFinishEventsForBackgroundURLSessionBlock didFinishEventsForBackgroundURLSession;
        DataTaskDidBecomeDownloadTaskBlock dataTaskDidBecomeDownloadTask;
        DataTaskWillCacheResponseBlock dataTaskWillCacheResponse;
        DownloadTaskDidResumeBlock downloadTaskDidResume;
    };
    Blocks blocks() const;

    std::shared_ptr<KJAFURLSessionManagerTaskDelegate> makeDelegate(const std::shared_ptr<platform::URLSessionTask>& task,
                                                                    CompletionHandler completionHandler);
    void setDelegate(const std::shared_ptr<KJAFURLSessionManagerTaskDelegate>& delegate,
                     const std::shared_ptr<platform::URLSessionTask>& task);
    void removeDelegateForTask(const std::shared_ptr<platform::URLSessionTask>& task);
    void addNotificationObserverForTask(const std::shared_ptr<KJAFURLSessionManagerTaskDelegate>& delegate,
                                        const std::shared_ptr<platform::URLSessionTask>& task);
    void removeNotificationObserverForTask(const std::shared_ptr<KJAFURLSessionManagerTaskDelegate>& delegate);
    void taskDidChangeState(const std::shared_ptr<void>& object, const char* publicName) const;
    std::vector<std::shared_ptr<platform::URLSessionTask>> tasksForKeyPath(const std::string& keyPath) const;

    // Session delegate callbacks.
    void didBecomeInvalid(const std::shared_ptr<platform::URLSession>& session, const std::optional<platform::Error>& error);
    void didReceiveChallenge(const std::shared_ptr<platform::URLSession>& session,
                             const std::shared_ptr<platform::URLSessionTask>& task,
                             const platform::URLAuthenticationChallenge& challenge,
                             std::function<void(platform::URLSessionAuthChallengeDisposition,
                                                std::shared_ptr<platform::URLCredential>)> completion);
    void didSendBodyData(const std::shared_ptr<platform::URLSession>& session,
                         const std::shared_ptr<platform::URLSessionTask>& task, int64_t bytesSent,
                         int64_t totalBytesSent, int64_t totalBytesExpectedToSend);
    void didComplete(const std::shared_ptr<platform::URLSession>& session,
                     const std::shared_ptr<platform::URLSessionTask>& task, const std::optional<platform::Error>& error);
    void didReceiveData(const std::shared_ptr<platform::URLSession>& session,
                        const std::shared_ptr<platform::URLSessionDataTask>& task, const platform::Data& data);
    void didFinishDownloading(const std::shared_ptr<platform::URLSession>& session,
                              const std::shared_ptr<platform::URLSessionDownloadTask>& task,
                              const platform::URL& location);
    void didBecomeDownloadTask(const std::shared_ptr<platform::URLSession>& session,
                               const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
                               const std::shared_ptr<platform::URLSessionDownloadTask>& downloadTask);
    std::shared_ptr<KJAFURLSessionManagerTaskDelegate> makeDownloadDelegate(
        const std::shared_ptr<platform::URLSessionDownloadTask>& task, ProgressBlock progress,
        Destination destination, CompletionHandler completionHandler);
    void didWriteData(const std::shared_ptr<platform::URLSession>& session,
                      const std::shared_ptr<platform::URLSessionDownloadTask>& task, int64_t bytesWritten,
                      int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite);

    const platform::URLSessionConfiguration sessionConfiguration_;
    std::shared_ptr<platform::OperationQueue> operationQueue_;
    std::shared_ptr<platform::URLSession> session_;
    std::shared_ptr<KJAFNetworkReachabilityManager> reachability_;

    mutable std::mutex propertiesMutex_;
    std::shared_ptr<KJAFURLResponseSerialization> responseSerializer_;
    std::shared_ptr<KJAFSecurityPolicy> securityPolicy_;
    std::shared_ptr<platform::DispatchQueue> completionQueue_;
    std::shared_ptr<platform::DispatchGroup> completionGroup_;
    Blocks blocks_;

    // "com.quernwick.networking.session.manager.lock": guards the task table.
    mutable std::mutex lock_;
    std::map<uint64_t, std::shared_ptr<KJAFURLSessionManagerTaskDelegate>> mutableTaskDelegatesKeyedByTaskIdentifier_;
};

// Moves a finished download to its destination; posts the file-manager-error notification for
// the task when that fails. Shared by the manager and the task delegates.
bool KJAFMoveDownloadedFile(const std::shared_ptr<platform::URLSessionTask>& task, const platform::URL& from,
                            const platform::URL& to);

}  // namespace brindlecue
