#include "network/library/KJAFURLSessionManager.h"

#include <cstdio>
#include <filesystem>
#include <future>

#include "network/library/KJAFJSONResponseSerializer.h"
#include "network/library/KJAFNetworkReachabilityManager.h"
#include "network/library/KJAFSecurityPolicy.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchOnce.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionDelegate.h"
#include "platform/foundation/URLSessionTask.h"

namespace brindlecue {

using platform::Error;
using platform::NotificationCenter;
using platform::URLSessionAuthChallengeDisposition;
using platform::URLSessionTask;

namespace {

constexpr const char* kTaskDidResumeInternal = "com.quernwick.networking.nsurlsessiontask.resume";
constexpr const char* kTaskDidSuspendInternal = "com.quernwick.networking.nsurlsessiontask.suspend";

// Every task of the process announces its resume (when it was not running) and its suspend (when
// it was not suspended), on the calling thread; managers pick out their own tasks.
void installTaskStateAnnouncements() {
    static platform::DispatchOnceToken token;
    platform::dispatchOnce(token, [] {
        URLSessionTask::setStateHook([](const std::shared_ptr<URLSessionTask>& task, bool resumed,
                                        URLSessionTask::State previous) {
            if (resumed && previous != URLSessionTask::State::Running) {
                NotificationCenter::defaultCenter().post(kTaskDidResumeInternal, task);
            } else if (!resumed && previous != URLSessionTask::State::Suspended) {
                NotificationCenter::defaultCenter().post(kTaskDidSuspendInternal, task);
            }
        });
    });
}

}  // namespace

// The session's delegate. It holds the manager weakly, so that the session (which keeps its
// delegate until it is invalidated) does not keep the manager alive.
class KJAFURLSessionManager::SessionDelegate final : public platform::URLSessionDelegate {
public:
    explicit SessionDelegate(std::weak_ptr<KJAFURLSessionManager> manager) : manager_(std::move(manager)) {}

    void didBecomeInvalidWithError(const std::shared_ptr<platform::URLSession>& session,
                                   const std::optional<Error>& error) override {
        if (auto m = manager_.lock()) m->didBecomeInvalid(session, error);
    }
    void didReceiveChallenge(const std::shared_ptr<platform::URLSession>& session,
                             const platform::URLAuthenticationChallenge& challenge,
                             ChallengeCompletion completion) override {
        if (auto m = manager_.lock()) return m->didReceiveChallenge(session, nullptr, challenge, std::move(completion));
        completion(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
    }
    void taskDidReceiveChallenge(const std::shared_ptr<platform::URLSession>& session,
                                 const std::shared_ptr<URLSessionTask>& task,
                                 const platform::URLAuthenticationChallenge& challenge,
                                 ChallengeCompletion completion) override {
        if (auto m = manager_.lock()) return m->didReceiveChallenge(session, task, challenge, std::move(completion));
        completion(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
    }
    void taskWillPerformHTTPRedirection(const std::shared_ptr<platform::URLSession>& session,
                                        const std::shared_ptr<URLSessionTask>& task,
                                        const std::shared_ptr<platform::URLResponse>& response,
                                        const platform::URLRequest& newRequest,
                                        std::function<void(std::optional<platform::URLRequest>)> completion) override {
        auto m = manager_.lock();
        auto block = m ? m->blocks().taskWillPerformHTTPRedirection : nullptr;
        completion(block ? block(session, task, response, newRequest) : std::optional<platform::URLRequest>(newRequest));
    }
    void taskNeedNewBodyStream(const std::shared_ptr<platform::URLSession>& session,
                               const std::shared_ptr<URLSessionTask>& task,
                               std::function<void(std::shared_ptr<platform::InputStream>)> completion) override {
        auto m = manager_.lock();
        auto block = m ? m->blocks().taskNeedNewBodyStream : nullptr;
        if (block) return completion(block(session, task));
        const auto& original = task->originalRequest();
        std::shared_ptr<platform::InputStream> stream;
        if (original && original->httpBodyStream()) stream = original->httpBodyStream()->copy();
        completion(stream);
    }
    void taskDidSendBodyData(const std::shared_ptr<platform::URLSession>& session,
                             const std::shared_ptr<URLSessionTask>& task, int64_t bytesSent, int64_t totalBytesSent,
                             int64_t totalBytesExpectedToSend) override {
        if (auto m = manager_.lock()) m->didSendBodyData(session, task, bytesSent, totalBytesSent, totalBytesExpectedToSend);
    }
    void taskDidCompleteWithError(const std::shared_ptr<platform::URLSession>& session,
                                  const std::shared_ptr<URLSessionTask>& task,
                                  const std::optional<Error>& error) override {
        if (auto m = manager_.lock()) m->didComplete(session, task, error);
    }
    void dataTaskDidReceiveResponse(const std::shared_ptr<platform::URLSession>& session,
                                    const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
                                    const std::shared_ptr<platform::URLResponse>& response,
                                    std::function<void(platform::URLSessionResponseDisposition)> completion) override {
        auto m = manager_.lock();
        auto block = m ? m->blocks().dataTaskDidReceiveResponse : nullptr;
        completion(block ? block(session, dataTask, response) : platform::URLSessionResponseDisposition::Allow);
    }
    void dataTaskDidReceiveData(const std::shared_ptr<platform::URLSession>& session,
                                const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
                                const platform::Data& data) override {
        if (auto m = manager_.lock()) m->didReceiveData(session, dataTask, data);
    }
    void downloadTaskDidFinishDownloadingToURL(const std::shared_ptr<platform::URLSession>& session,
                                               const std::shared_ptr<platform::URLSessionDownloadTask>& downloadTask,
                                               const platform::URL& location) override {
        if (auto m = manager_.lock()) m->didFinishDownloading(session, downloadTask, location);
    }
    void didFinishEventsForBackgroundURLSession(
        const std::shared_ptr<platform::URLSession>& session) override {
        auto m = manager_.lock();
        auto block = m ? m->blocks().didFinishEventsForBackgroundURLSession : nullptr;
        if (block) platform::DispatchQueue::main()->async([block, session] { block(session); });
    }
    void dataTaskDidBecomeDownloadTask(
        const std::shared_ptr<platform::URLSession>& session,
        const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
        const std::shared_ptr<platform::URLSessionDownloadTask>& downloadTask) override {
        if (auto m = manager_.lock()) m->didBecomeDownloadTask(session, dataTask, downloadTask);
    }
    void dataTaskWillCacheResponse(
        const std::shared_ptr<platform::URLSession>& session,
        const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
        const std::shared_ptr<platform::CachedURLResponse>& proposedResponse,
        std::function<void(std::shared_ptr<platform::CachedURLResponse>)> completion) override {
        auto m = manager_.lock();
        auto block = m ? m->blocks().dataTaskWillCacheResponse : nullptr;
        completion(block ? block(session, dataTask, proposedResponse) : proposedResponse);
    }
    void downloadTaskDidResumeAtOffset(const std::shared_ptr<platform::URLSession>& session,
                                       const std::shared_ptr<platform::URLSessionDownloadTask>& downloadTask,
                                       int64_t fileOffset, int64_t expectedTotalBytes) override {
        auto m = manager_.lock();
        auto block = m ? m->blocks().downloadTaskDidResume : nullptr;
        if (block) block(session, downloadTask, fileOffset, expectedTotalBytes);
    }
    void downloadTaskDidWriteData(const std::shared_ptr<platform::URLSession>& session,
                                  const std::shared_ptr<platform::URLSessionDownloadTask>& downloadTask,
                                  int64_t bytesWritten, int64_t totalBytesWritten,
                                  int64_t totalBytesExpectedToWrite) override {
        if (auto m = manager_.lock()) {
            m->didWriteData(session, downloadTask, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
        }
    }

private:
    std::weak_ptr<KJAFURLSessionManager> manager_;
};

bool KJAFMoveDownloadedFile(const std::shared_ptr<URLSessionTask>& task, const platform::URL& from,
                            const platform::URL& to) {
    std::error_code ec;
    std::filesystem::rename(from.path(), to.path(), ec);
    if (ec) {
        // Another file system: copy instead of renaming.
        std::error_code copyError;
        std::filesystem::copy_file(from.path(), to.path(), std::filesystem::copy_options::none, copyError);
        if (!copyError) return true;
        platform::Value info = platform::Value::dictionary();
        info.set(Error::kLocalizedDescriptionKey, copyError.message());
        info.set("NSFilePath", to.path());
        NotificationCenter::defaultCenter().post(KJAFURLSessionDownloadTaskDidFailToMoveFileNotification, task, info);
        return false;
    }
    return true;
}

// ---- Creation --------------------------------------------------------------------------------

std::shared_ptr<KJAFURLSessionManager> KJAFURLSessionManager::create(
    std::optional<platform::URLSessionConfiguration> configuration) {
    std::shared_ptr<KJAFURLSessionManager> manager(new KJAFURLSessionManager(std::move(configuration)));
    manager->setUpSession();
    return manager;
}

KJAFURLSessionManager::KJAFURLSessionManager(std::optional<platform::URLSessionConfiguration> configuration)
    : sessionConfiguration_(configuration.value_or(platform::URLSessionConfiguration::defaultSessionConfiguration())) {
    installTaskStateAnnouncements();
    operationQueue_ = platform::OperationQueue::create("KJAFURLSessionManager");
    operationQueue_->setMaxConcurrentOperationCount(1);
    responseSerializer_ = KJAFJSONResponseSerializer::serializer();
    securityPolicy_ = KJAFSecurityPolicy::defaultPolicy();
    reachability_ = KJAFNetworkReachabilityManager::sharedManager();
}

void KJAFURLSessionManager::setUpSession() {
    session_ = platform::URLSession::create(sessionConfiguration_, std::make_shared<SessionDelegate>(weak_from_this()),
                                            operationQueue_);
    // Tasks a background session brings along get a delegate without blocks.
    std::weak_ptr<KJAFURLSessionManager> weakSelf = weak_from_this();
    session_->getTasksWithCompletionHandler([weakSelf](auto dataTasks, auto uploadTasks, auto downloadTasks) {
        auto self = weakSelf.lock();
        if (!self) return;
        for (const auto& t : dataTasks) self->makeDelegate(t, nullptr);
        for (const auto& t : uploadTasks) self->makeDelegate(t, nullptr);
        for (const auto& t : downloadTasks) self->makeDelegate(t, nullptr);
    });
}

KJAFURLSessionManager::~KJAFURLSessionManager() {
    std::lock_guard lock(lock_);
    for (auto& [identifier, delegate] : mutableTaskDelegatesKeyedByTaskIdentifier_) {
        NotificationCenter::defaultCenter().removeObserver(delegate->resumeObserver);
        NotificationCenter::defaultCenter().removeObserver(delegate->suspendObserver);
    }
}

// ---- Copying and archiving -------------------------------------------------------------------

namespace {

const bool registered = [] {
    platform::KeyedUnarchiver::registerClass("KJAFURLSessionManager", &KJAFURLSessionManager::initWithCoder);
    return true;
}();

}  // namespace

std::shared_ptr<KJAFURLSessionManager> KJAFURLSessionManager::copy() const {
    return create(sessionConfiguration_);
}

void KJAFURLSessionManager::encodeWithCoder(platform::KeyedArchiver& coder) const {
    coder.encodeObject(std::make_shared<const platform::URLSessionConfigurationCoding>(sessionConfiguration_),
                       "sessionConfiguration");
}

std::shared_ptr<platform::SecureCoding> KJAFURLSessionManager::initWithCoder(
    platform::KeyedUnarchiver& coder) {
    auto configuration =
        coder.decodeObjectOfClass<platform::URLSessionConfigurationCoding>("sessionConfiguration");
    return create(configuration ? std::optional(configuration->configuration()) : std::nullopt);
}

// ---- Properties ------------------------------------------------------------------------------

std::shared_ptr<KJAFURLResponseSerialization> KJAFURLSessionManager::responseSerializer() const {
    std::lock_guard lock(propertiesMutex_);
    return responseSerializer_;
}
void KJAFURLSessionManager::setResponseSerializer(std::shared_ptr<KJAFURLResponseSerialization> serializer) {
    std::lock_guard lock(propertiesMutex_);
    responseSerializer_ = std::move(serializer);
}
std::shared_ptr<KJAFSecurityPolicy> KJAFURLSessionManager::securityPolicy() const {
    std::lock_guard lock(propertiesMutex_);
    return securityPolicy_;
}
void KJAFURLSessionManager::setSecurityPolicy(std::shared_ptr<KJAFSecurityPolicy> policy) {
    std::lock_guard lock(propertiesMutex_);
    securityPolicy_ = std::move(policy);
}
std::shared_ptr<platform::DispatchQueue> KJAFURLSessionManager::completionQueue() const {
    std::lock_guard lock(propertiesMutex_);
    return completionQueue_;
}
void KJAFURLSessionManager::setCompletionQueue(std::shared_ptr<platform::DispatchQueue> queue) {
    std::lock_guard lock(propertiesMutex_);
    completionQueue_ = std::move(queue);
}
std::shared_ptr<platform::DispatchGroup> KJAFURLSessionManager::completionGroup() const {
    std::lock_guard lock(propertiesMutex_);
    return completionGroup_;
}
void KJAFURLSessionManager::setCompletionGroup(std::shared_ptr<platform::DispatchGroup> group) {
    std::lock_guard lock(propertiesMutex_);
    completionGroup_ = std::move(group);
}

KJAFURLSessionManager::Blocks KJAFURLSessionManager::blocks() const {
    std::lock_guard lock(propertiesMutex_);
    return blocks_;
}

#define KJAF_BLOCK_SETTER(setter, Type, member)      \
    void KJAFURLSessionManager::setter(Type block) { \
        std::lock_guard lock(propertiesMutex_);      \
        blocks_.member = std::move(block);           \
    }
KJAF_BLOCK_SETTER(setSessionDidBecomeInvalidBlock, SessionDidBecomeInvalidBlock, sessionDidBecomeInvalid)
KJAF_BLOCK_SETTER(setSessionDidReceiveAuthenticationChallengeBlock, SessionChallengeBlock,
                  sessionDidReceiveAuthenticationChallenge)
KJAF_BLOCK_SETTER(setTaskWillPerformHTTPRedirectionBlock, TaskRedirectionBlock, taskWillPerformHTTPRedirection)
KJAF_BLOCK_SETTER(setTaskDidReceiveAuthenticationChallengeBlock, TaskChallengeBlock,
                  taskDidReceiveAuthenticationChallenge)
KJAF_BLOCK_SETTER(setTaskNeedNewBodyStreamBlock, TaskNeedNewBodyStreamBlock, taskNeedNewBodyStream)
KJAF_BLOCK_SETTER(setTaskDidSendBodyDataBlock, TaskDidSendBodyDataBlock, taskDidSendBodyData)
KJAF_BLOCK_SETTER(setTaskDidCompleteBlock, TaskDidCompleteBlock, taskDidComplete)
KJAF_BLOCK_SETTER(setDataTaskDidReceiveResponseBlock, DataTaskDidReceiveResponseBlock, dataTaskDidReceiveResponse)
KJAF_BLOCK_SETTER(setDataTaskDidReceiveDataBlock, DataTaskDidReceiveDataBlock, dataTaskDidReceiveData)
KJAF_BLOCK_SETTER(setDownloadTaskDidFinishDownloadingBlock, DownloadTaskDidFinishDownloadingBlock,
                  downloadTaskDidFinishDownloading)
KJAF_BLOCK_SETTER(setDownloadTaskDidWriteDataBlock, DownloadTaskDidWriteDataBlock, downloadTaskDidWriteData)
KJAF_BLOCK_SETTER(setDidFinishEventsForBackgroundURLSessionBlock, DidFinishEventsForBackgroundURLSessionBlock,
                  didFinishEventsForBackgroundURLSession)
KJAF_BLOCK_SETTER(setDataTaskDidBecomeDownloadTaskBlock, DataTaskDidBecomeDownloadTaskBlock,
                  dataTaskDidBecomeDownloadTask)
KJAF_BLOCK_SETTER(setDataTaskWillCacheResponseBlock, DataTaskWillCacheResponseBlock,
                  dataTaskWillCacheResponse)
KJAF_BLOCK_SETTER(setDownloadTaskDidResumeBlock, DownloadTaskDidResumeBlock, downloadTaskDidResume)
#undef KJAF_BLOCK_SETTER

std::string KJAFURLSessionManager::taskDescriptionForSessionTasks() const {
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<const void*>(this));
    return text;
}

std::string KJAFURLSessionManager::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return std::string("<KJAFURLSessionManager: ") + address + ", session: <URLSession: " +
           std::to_string(reinterpret_cast<uintptr_t>(session_.get())) + ">, operationQueue: <OperationQueue: " +
           operationQueue_->name() + ">>";
}

// ---- Task table ------------------------------------------------------------------------------

std::shared_ptr<KJAFURLSessionManagerTaskDelegate> KJAFURLSessionManager::delegateForTask(
    const std::shared_ptr<URLSessionTask>& task) const {
    if (!task) return nullptr;
    std::lock_guard lock(lock_);
    auto it = mutableTaskDelegatesKeyedByTaskIdentifier_.find(task->taskIdentifier());
    return it == mutableTaskDelegatesKeyedByTaskIdentifier_.end() ? nullptr : it->second;
}

std::shared_ptr<KJAFURLSessionManagerTaskDelegate> KJAFURLSessionManager::makeDelegate(
    const std::shared_ptr<URLSessionTask>& task, CompletionHandler completionHandler) {
    auto delegate = std::make_shared<KJAFURLSessionManagerTaskDelegate>();
    delegate->manager = weak_from_this();
    delegate->completionHandler = std::move(completionHandler);
    task->setTaskDescription(taskDescriptionForSessionTasks());
    setDelegate(delegate, task);
    return delegate;
}

void KJAFURLSessionManager::setDelegate(const std::shared_ptr<KJAFURLSessionManagerTaskDelegate>& delegate,
                                        const std::shared_ptr<URLSessionTask>& task) {
    std::lock_guard lock(lock_);
    mutableTaskDelegatesKeyedByTaskIdentifier_[task->taskIdentifier()] = delegate;
    delegate->setupProgressForTask(task);
    addNotificationObserverForTask(delegate, task);
}

void KJAFURLSessionManager::removeDelegateForTask(const std::shared_ptr<URLSessionTask>& task) {
    auto delegate = delegateForTask(task);
    std::lock_guard lock(lock_);
    if (delegate) {
        delegate->cleanUpProgressForTask(task);
        removeNotificationObserverForTask(delegate);
    }
    mutableTaskDelegatesKeyedByTaskIdentifier_.erase(task->taskIdentifier());
}

void KJAFURLSessionManager::addNotificationObserverForTask(
    const std::shared_ptr<KJAFURLSessionManagerTaskDelegate>& delegate, const std::shared_ptr<URLSessionTask>& task) {
    std::weak_ptr<KJAFURLSessionManager> weakSelf = weak_from_this();
    auto& center = NotificationCenter::defaultCenter();
    delegate->resumeObserver = center.addObserver(kTaskDidResumeInternal, task, nullptr,
                                                  [weakSelf](const platform::Notification& note) {
                                                      if (auto self = weakSelf.lock()) {
                                                          self->taskDidChangeState(note.object(),
                                                                                   KJMossgroveTaskDidResumeNotification);
                                                      }
                                                  });
    delegate->suspendObserver = center.addObserver(kTaskDidSuspendInternal, task, nullptr,
                                                   [weakSelf](const platform::Notification& note) {
                                                       if (auto self = weakSelf.lock()) {
                                                           self->taskDidChangeState(
                                                               note.object(), KJMossgroveTaskDidSuspendNotification);
                                                       }
                                                   });
}

void KJAFURLSessionManager::removeNotificationObserverForTask(
    const std::shared_ptr<KJAFURLSessionManagerTaskDelegate>& delegate) {
    NotificationCenter::defaultCenter().removeObserver(delegate->resumeObserver);
    NotificationCenter::defaultCenter().removeObserver(delegate->suspendObserver);
    delegate->resumeObserver.reset();
    delegate->suspendObserver.reset();
}

void KJAFURLSessionManager::taskDidChangeState(const std::shared_ptr<void>& object, const char* publicName) const {
    auto task = std::static_pointer_cast<URLSessionTask>(object);
    if (!task || task->taskDescription() != taskDescriptionForSessionTasks()) return;
    std::string name = publicName;
    platform::DispatchQueue::main()->async(
        [task, name] { NotificationCenter::defaultCenter().post(name, task); });
}

// ---- Tasks -----------------------------------------------------------------------------------

std::shared_ptr<platform::URLSessionDataTask> KJAFURLSessionManager::dataTaskWithRequest(
    const platform::URLRequest& request, CompletionHandler completionHandler) {
    return dataTaskWithRequest(request, nullptr, nullptr, std::move(completionHandler));
}

std::shared_ptr<platform::URLSessionDataTask> KJAFURLSessionManager::dataTaskWithRequest(
    const platform::URLRequest& request, ProgressBlock uploadProgress, ProgressBlock downloadProgress,
    CompletionHandler completionHandler) {
    auto task = session_->dataTaskWithRequest(request);
    if (!task) return nullptr;
    auto delegate = makeDelegate(task, std::move(completionHandler));
    delegate->uploadProgressBlock = std::move(uploadProgress);
    delegate->downloadProgressBlock = std::move(downloadProgress);
    return task;
}

std::shared_ptr<platform::URLSessionUploadTask> KJAFURLSessionManager::uploadTaskWithRequest(
    const platform::URLRequest& request, const platform::URL& fromFile, ProgressBlock progress,
    CompletionHandler completionHandler) {
    auto task = session_->uploadTaskWithRequest(request, fromFile);
    if (!task && sessionConfiguration_.identifier && attemptsToRecreateUploadTasksForBackgroundSessions) {
        for (int attempt = 0; attempt < 3 && !task; ++attempt) task = session_->uploadTaskWithRequest(request, fromFile);
    }
    if (!task) return nullptr;
    makeDelegate(task, std::move(completionHandler))->uploadProgressBlock = std::move(progress);
    return task;
}

std::shared_ptr<platform::URLSessionUploadTask> KJAFURLSessionManager::uploadTaskWithRequest(
    const platform::URLRequest& request, const platform::Data& fromData, ProgressBlock progress,
    CompletionHandler completionHandler) {
    auto task = session_->uploadTaskWithRequest(request, fromData);
    if (!task) return nullptr;
    makeDelegate(task, std::move(completionHandler))->uploadProgressBlock = std::move(progress);
    return task;
}

std::shared_ptr<platform::URLSessionUploadTask> KJAFURLSessionManager::uploadTaskWithStreamedRequest(
    const platform::URLRequest& request, ProgressBlock progress, CompletionHandler completionHandler) {
    auto task = session_->uploadTaskWithStreamedRequest(request);
    if (!task) return nullptr;
    makeDelegate(task, std::move(completionHandler))->uploadProgressBlock = std::move(progress);
    return task;
}

std::shared_ptr<platform::URLSessionDownloadTask> KJAFURLSessionManager::downloadTaskWithRequest(
    const platform::URLRequest& request, ProgressBlock progress, Destination destination,
    CompletionHandler completionHandler) {
    auto task = session_->downloadTaskWithRequest(request);
    if (!task) return nullptr;
    makeDownloadDelegate(task, std::move(progress), std::move(destination), std::move(completionHandler));
    return task;
}

std::shared_ptr<platform::URLSessionDownloadTask> KJAFURLSessionManager::downloadTaskWithResumeData(
    const platform::Data& resumeData, ProgressBlock progress, Destination destination,
    CompletionHandler completionHandler) {
    auto task = session_->downloadTaskWithResumeData(resumeData);
    if (!task) return nullptr;
    makeDownloadDelegate(task, std::move(progress), std::move(destination), std::move(completionHandler));
    return task;
}

std::shared_ptr<KJAFURLSessionManagerTaskDelegate> KJAFURLSessionManager::makeDownloadDelegate(
    const std::shared_ptr<platform::URLSessionDownloadTask>& task, ProgressBlock progress,
    Destination destination, CompletionHandler completionHandler) {
    auto delegate = std::make_shared<KJAFURLSessionManagerTaskDelegate>();
    delegate->manager = weak_from_this();
    delegate->completionHandler = std::move(completionHandler);
    if (destination) {
        delegate->downloadTaskDidFinishDownloading =
            [destination](const std::shared_ptr<platform::URLSession>&, const std::shared_ptr<URLSessionTask>& t,
                          const platform::URL& location) { return destination(location, t->response()); };
    }
    task->setTaskDescription(taskDescriptionForSessionTasks());
    setDelegate(delegate, task);
    delegate->downloadProgressBlock = std::move(progress);
    return delegate;
}

std::shared_ptr<platform::Progress> KJAFURLSessionManager::uploadProgressForTask(
    const std::shared_ptr<URLSessionTask>& task) const {
    auto delegate = delegateForTask(task);
    return delegate ? delegate->uploadProgress : nullptr;
}

std::shared_ptr<platform::Progress> KJAFURLSessionManager::downloadProgressForTask(
    const std::shared_ptr<URLSessionTask>& task) const {
    auto delegate = delegateForTask(task);
    return delegate ? delegate->downloadProgress : nullptr;
}

std::vector<std::shared_ptr<URLSessionTask>> KJAFURLSessionManager::tasksForKeyPath(const std::string& keyPath) const {
    std::promise<std::vector<std::shared_ptr<URLSessionTask>>> promise;
    auto future = promise.get_future();
    session_->getTasksWithCompletionHandler([&promise, keyPath](auto dataTasks, auto uploadTasks, auto downloadTasks) {
        std::vector<std::shared_ptr<URLSessionTask>> tasks;
        if (keyPath == "dataTasks" || keyPath == "tasks") tasks.insert(tasks.end(), dataTasks.begin(), dataTasks.end());
        if (keyPath == "uploadTasks" || keyPath == "tasks") {
            tasks.insert(tasks.end(), uploadTasks.begin(), uploadTasks.end());
        }
        if (keyPath == "downloadTasks" || keyPath == "tasks") {
            tasks.insert(tasks.end(), downloadTasks.begin(), downloadTasks.end());
        }
        promise.set_value(std::move(tasks));
    });
    return future.get();
}

std::vector<std::shared_ptr<URLSessionTask>> KJAFURLSessionManager::tasks() const { return tasksForKeyPath("tasks"); }
std::vector<std::shared_ptr<URLSessionTask>> KJAFURLSessionManager::dataTasks() const {
    return tasksForKeyPath("dataTasks");
}
std::vector<std::shared_ptr<URLSessionTask>> KJAFURLSessionManager::uploadTasks() const {
    return tasksForKeyPath("uploadTasks");
}
std::vector<std::shared_ptr<URLSessionTask>> KJAFURLSessionManager::downloadTasks() const {
    return tasksForKeyPath("downloadTasks");
}

void KJAFURLSessionManager::invalidateSessionCancelingTasks(bool cancelPendingTasks) {
    auto session = session_;
    platform::DispatchQueue::main()->async([session, cancelPendingTasks] {
        if (cancelPendingTasks) {
            session->invalidateAndCancel();
        } else {
            session->finishTasksAndInvalidate();
        }
    });
}

// ---- Session delegate ------------------------------------------------------------------------

void KJAFURLSessionManager::didBecomeInvalid(const std::shared_ptr<platform::URLSession>& session,
                                             const std::optional<Error>& error) {
    if (auto block = blocks().sessionDidBecomeInvalid) block(session, error);
    NotificationCenter::defaultCenter().post(KJAFURLSessionDidInvalidateNotification, session);
}

void KJAFURLSessionManager::didReceiveChallenge(
    const std::shared_ptr<platform::URLSession>& session, const std::shared_ptr<URLSessionTask>& task,
    const platform::URLAuthenticationChallenge& challenge,
    std::function<void(URLSessionAuthChallengeDisposition, std::shared_ptr<platform::URLCredential>)> completion) {
    Blocks b = blocks();
    std::shared_ptr<platform::URLCredential> credential;
    if (task && b.taskDidReceiveAuthenticationChallenge) {
        auto disposition = b.taskDidReceiveAuthenticationChallenge(session, task, challenge, &credential);
        return completion(disposition, credential);
    }
    if (!task && b.sessionDidReceiveAuthenticationChallenge) {
        auto disposition = b.sessionDidReceiveAuthenticationChallenge(session, challenge, &credential);
        return completion(disposition, credential);
    }
    const auto& space = challenge.protectionSpace();
    if (space.authenticationMethod() != platform::URLProtectionSpace::kServerTrust) {
        return completion(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
    }
    auto policy = securityPolicy();
    if (!policy || !policy->evaluateServerTrust(space.serverTrust(), space.host())) {
        return completion(URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge, nullptr);
    }
    credential = platform::URLCredential::forTrust(space.serverTrust());
    if (task) return completion(URLSessionAuthChallengeDisposition::UseCredential, credential);
    completion(credential ? URLSessionAuthChallengeDisposition::UseCredential
                          : URLSessionAuthChallengeDisposition::PerformDefaultHandling,
               credential);
}

void KJAFURLSessionManager::didSendBodyData(const std::shared_ptr<platform::URLSession>& session,
                                            const std::shared_ptr<URLSessionTask>& task, int64_t bytesSent,
                                            int64_t totalBytesSent, int64_t totalBytesExpectedToSend) {
    int64_t expected = totalBytesExpectedToSend;
    if (expected == URLSessionTask::kTransferSizeUnknown && task->originalRequest()) {
        if (auto length = task->originalRequest()->valueForHTTPHeaderField("Content-Length")) {
            try {
                expected = std::stoll(*length);
            } catch (const std::exception&) {
                // Not a number: the total stays unknown.
            }
        }
    }
    if (auto delegate = delegateForTask(task)) {
        delegate->updateProgressForTask(*task);
        if (expected > 0 && delegate->uploadProgress->totalUnitCount() <= 0) {
            delegate->uploadProgress->setTotalUnitCount(expected);
        }
    }
    if (auto block = blocks().taskDidSendBodyData) block(session, task, bytesSent, totalBytesSent, expected);
}

void KJAFURLSessionManager::didComplete(const std::shared_ptr<platform::URLSession>& session,
                                        const std::shared_ptr<URLSessionTask>& task,
                                        const std::optional<Error>& error) {
    if (auto delegate = delegateForTask(task)) {
        delegate->didCompleteWithError(task, error);
        removeDelegateForTask(task);
    }
    if (auto block = blocks().taskDidComplete) block(session, task, error);
}

void KJAFURLSessionManager::didReceiveData(const std::shared_ptr<platform::URLSession>& session,
                                           const std::shared_ptr<platform::URLSessionDataTask>& task,
                                           const platform::Data& data) {
    if (auto delegate = delegateForTask(task)) {
        delegate->didReceiveData(data);
        delegate->updateProgressForTask(*task);
    }
    if (auto block = blocks().dataTaskDidReceiveData) block(session, task, data);
}

void KJAFURLSessionManager::didFinishDownloading(const std::shared_ptr<platform::URLSession>& session,
                                                 const std::shared_ptr<platform::URLSessionDownloadTask>& task,
                                                 const platform::URL& location) {
    auto delegate = delegateForTask(task);
    if (auto block = blocks().downloadTaskDidFinishDownloading) {
        if (auto destination = block(session, task, location)) {
            if (delegate) delegate->setDownloadFileURL(destination);
            KJAFMoveDownloadedFile(task, location, *destination);
            return;
        }
    }
    if (delegate) delegate->didFinishDownloadingToURL(session, task, location);
}

void KJAFURLSessionManager::didBecomeDownloadTask(
    const std::shared_ptr<platform::URLSession>& session,
    const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
    const std::shared_ptr<platform::URLSessionDownloadTask>& downloadTask) {
    if (auto delegate = delegateForTask(dataTask)) {
        removeDelegateForTask(dataTask);
        setDelegate(delegate, downloadTask);
    }
    if (auto block = blocks().dataTaskDidBecomeDownloadTask) block(session, dataTask, downloadTask);
}

void KJAFURLSessionManager::didWriteData(const std::shared_ptr<platform::URLSession>& session,
                                         const std::shared_ptr<platform::URLSessionDownloadTask>& task,
                                         int64_t bytesWritten, int64_t totalBytesWritten,
                                         int64_t totalBytesExpectedToWrite) {
    if (auto delegate = delegateForTask(task)) delegate->updateProgressForTask(*task);
    if (auto block = blocks().downloadTaskDidWriteData) {
        block(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    }
}

}  // namespace brindlecue
