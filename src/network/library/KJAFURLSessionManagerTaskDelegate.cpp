#include "network/library/KJAFURLSessionManagerTaskDelegate.h"

#include "network/library/KJAFHTTPResponseSerializer.h"
#include "network/library/KJAFURLSessionManager.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionTask.h"

namespace brindlecue {

using platform::DispatchGroup;
using platform::DispatchQueue;
using platform::Error;
using platform::Value;

namespace {

// Process-wide, never destroyed: worker threads may still use them while the process exits.
std::shared_ptr<DispatchQueue> processingQueue() {
    static auto* queue =
        new std::shared_ptr<DispatchQueue>(DispatchQueue::concurrent("com.quernwick.networking.session.manager.processing"));
    return *queue;
}

std::shared_ptr<DispatchGroup> sharedCompletionGroup() {
    static auto* group = new std::shared_ptr<DispatchGroup>(DispatchGroup::create());
    return *group;
}

}  // namespace

std::optional<platform::URL> KJAFURLSessionManagerTaskDelegate::downloadFileURL() const {
    std::lock_guard lock(mutex_);
    return downloadFileURL_;
}

void KJAFURLSessionManagerTaskDelegate::setDownloadFileURL(std::optional<platform::URL> url) {
    std::lock_guard lock(mutex_);
    downloadFileURL_ = std::move(url);
}

void KJAFURLSessionManagerTaskDelegate::setupProgressForTask(const std::shared_ptr<platform::URLSessionTask>& task) {
    std::weak_ptr<platform::URLSessionTask> weakTask = task;
    std::weak_ptr<KJAFURLSessionManagerTaskDelegate> weakSelf = weak_from_this();
    uploadProgress->setTotalUnitCount(task->countOfBytesExpectedToSend());
    downloadProgress->setTotalUnitCount(task->countOfBytesExpectedToReceive());
    for (const auto& progress : {uploadProgress, downloadProgress}) {
        progress->setCancellable(true);
        progress->setCancellationHandler([weakTask] {
            if (auto t = weakTask.lock()) t->cancel();
        });
        progress->setPausable(true);
        progress->setPausingHandler([weakTask] {
            if (auto t = weakTask.lock()) t->suspend();
        });
        progress->setResumingHandler([weakTask] {
            if (auto t = weakTask.lock()) t->resume();
        });
    }
    downloadProgress->setFractionCompletedObserver([weakSelf](platform::Progress& progress) {
        auto self = weakSelf.lock();
        if (self && self->downloadProgressBlock) self->downloadProgressBlock(progress);
    });
    uploadProgress->setFractionCompletedObserver([weakSelf](platform::Progress& progress) {
        auto self = weakSelf.lock();
        if (self && self->uploadProgressBlock) self->uploadProgressBlock(progress);
    });
}

void KJAFURLSessionManagerTaskDelegate::cleanUpProgressForTask(const std::shared_ptr<platform::URLSessionTask>&) {
    uploadProgress->setFractionCompletedObserver(nullptr);
    downloadProgress->setFractionCompletedObserver(nullptr);
}

void KJAFURLSessionManagerTaskDelegate::updateProgressForTask(const platform::URLSessionTask& task) {
    downloadProgress->setCompletedUnitCount(task.countOfBytesReceived());
    downloadProgress->setTotalUnitCount(task.countOfBytesExpectedToReceive());
    uploadProgress->setCompletedUnitCount(task.countOfBytesSent());
    uploadProgress->setTotalUnitCount(task.countOfBytesExpectedToSend());
}

void KJAFURLSessionManagerTaskDelegate::didReceiveData(const platform::Data& data) {
    std::lock_guard lock(mutex_);
    mutableData_.insert(mutableData_.end(), data.begin(), data.end());
}

void KJAFURLSessionManagerTaskDelegate::didFinishDownloadingToURL(const std::shared_ptr<platform::URLSession>& session,
                                                                  const std::shared_ptr<platform::URLSessionTask>& task,
                                                                  const platform::URL& location) {
    setDownloadFileURL(std::nullopt);
    if (!downloadTaskDidFinishDownloading) return;
    auto destination = downloadTaskDidFinishDownloading(session, task, location);
    setDownloadFileURL(destination);
    if (destination) KJAFMoveDownloadedFile(task, location, *destination);
}

void KJAFURLSessionManagerTaskDelegate::didCompleteWithError(const std::shared_ptr<platform::URLSessionTask>& task,
                                                             const std::optional<Error>& error) {
    updateProgressForTask(*task);
    auto strongManager = manager.lock();
    std::shared_ptr<KJAFURLResponseSerialization> serializer =
        strongManager ? strongManager->responseSerializer() : nullptr;
    std::shared_ptr<DispatchQueue> queue = strongManager ? strongManager->completionQueue() : nullptr;
    if (!queue) queue = DispatchQueue::main();
    std::shared_ptr<DispatchGroup> group = strongManager ? strongManager->completionGroup() : nullptr;
    if (!group) group = sharedCompletionGroup();

    Value userInfo = Value::dictionary();
    platform::Notification::ObjectMap objects;
    if (serializer) objects[KJMossgroveTaskDidCompleteResponseSerializerKey] = serializer;

    platform::Data data;
    std::optional<platform::URL> fileURL;
    {
        std::lock_guard lock(mutex_);
        data.swap(mutableData_);
        fileURL = downloadFileURL_;
    }
    if (fileURL) {
        userInfo.set(KJMossgroveTaskDidCompleteAssetPathKey, fileURL->absoluteString());
    } else {
        userInfo.set(KJMossgroveTaskDidCompleteResponseDataKey, data);
    }

    CompletionHandler completion = completionHandler;
    std::shared_ptr<platform::URLResponse> response = task->response();
    auto post = [task](Value info, platform::Notification::ObjectMap objectMap) {
        DispatchQueue::main()->async([task, info = std::move(info), objectMap = std::move(objectMap)] {
            platform::NotificationCenter::defaultCenter().post(KJMossgroveTaskDidCompleteNotification, task, info,
                                                               objectMap);
        });
    };

    if (error) {
        objects[KJMossgroveTaskDidCompleteErrorKey] = std::make_shared<Error>(*error);
        queue->async(group, [completion, response, error, post, userInfo, objects] {
            if (completion) completion(response, Value(), error);
            post(userInfo, objects);
        });
        return;
    }

    processingQueue()->async([=]() mutable {
        std::optional<Error> serializationError;
        Value responseObject;
        if (serializer && serializer->answersWithPlatformObject()) {
            // An answer that is a platform object (an XML parser, an image) travels in the notification's
            // objects; the completion gets no value for it.
            if (auto object = serializer->platformObjectForResponse(response, data, &serializationError)) {
                if (!fileURL) objects[KJMossgroveTaskDidCompleteSerializedResponseKey] = std::move(object);
            }
        } else if (serializer) {
            responseObject = serializer->responseObjectForResponse(response, data, &serializationError);
        }
        if (fileURL) responseObject = Value(fileURL->absoluteString());
        if (!responseObject.isAbsent()) userInfo.set(KJMossgroveTaskDidCompleteSerializedResponseKey, responseObject);
        if (serializationError) objects[KJMossgroveTaskDidCompleteErrorKey] = std::make_shared<Error>(*serializationError);
        queue->async(group, [completion, response, responseObject, serializationError, post, userInfo, objects] {
            if (completion) completion(response, responseObject, serializationError);
            post(userInfo, objects);
        });
    });
}

}  // namespace brindlecue
