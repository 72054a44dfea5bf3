#include "network/library/KJAFHTTPSessionManager.h"

#include <cstdio>

#include "network/library/KJAFJSONResponseSerializer.h"
#include "network/library/KJAFSecurityPolicy.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/URLSessionTask.h"

namespace brindlecue {

using platform::Error;
using platform::Value;

namespace {

const bool registered = [] {
    platform::KeyedUnarchiver::registerClass("KJAFHTTPSessionManager",
                                             &KJAFHTTPSessionManager::initWithCoder);
    return true;
}();

}  // namespace

std::shared_ptr<KJAFHTTPSessionManager> KJAFHTTPSessionManager::manager() { return create(std::nullopt); }

std::shared_ptr<KJAFURLSessionManager> KJAFHTTPSessionManager::copy() const {
    auto manager = create(baseURL_, sessionConfiguration());
    manager->setRequestSerializer(requestSerializer()->copy());
    if (auto response = responseSerializer()) manager->setResponseSerializer(response->copy());
    if (auto policy = securityPolicy()) manager->setSecurityPolicy(policy->copy());
    return manager;
}

void KJAFHTTPSessionManager::encodeWithCoder(platform::KeyedArchiver& coder) const {
    // Every configuration here can be archived, so it stands under "sessionConfiguration" (written
    // by the URL session manager) rather than as its identifier.
    KJAFURLSessionManager::encodeWithCoder(coder);
    if (baseURL_) coder.encodeObject(Value(baseURL_->absoluteString()), "baseURL");
    coder.encodeObject(std::shared_ptr<const platform::SecureCoding>(requestSerializer()),
                       "requestSerializer");
    coder.encodeObject(std::shared_ptr<const platform::SecureCoding>(responseSerializer()),
                       "responseSerializer");
    coder.encodeObject(std::shared_ptr<const platform::SecureCoding>(securityPolicy()), "securityPolicy");
}

std::shared_ptr<platform::SecureCoding> KJAFHTTPSessionManager::initWithCoder(
    platform::KeyedUnarchiver& coder) {
    std::optional<platform::URL> baseURL;
    if (platform::Value textValue = coder.decodeObjectForKey("baseURL");
        const std::string* text = textValue.getString())
        baseURL = platform::URL::fromString(*text);
    std::optional<platform::URLSessionConfiguration> configuration;
    if (auto coded =
            coder.decodeObjectOfClass<platform::URLSessionConfigurationCoding>("sessionConfiguration")) {
        configuration = coded->configuration();
    } else if (platform::Value identifierValue = coder.decodeObjectForKey("identifier");
               const std::string* identifier = identifierValue.getString()) {
        configuration =
            platform::URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(*identifier);
    }
    auto manager = create(std::move(baseURL), std::move(configuration));
    // An archive without a serializer keeps the new manager's own.
    if (auto request = coder.decodeObjectOfClass<KJAFHTTPRequestSerializer>("requestSerializer")) {
        manager->setRequestSerializer(request);
    }
    if (auto response = coder.decodeObjectOfClass<KJAFHTTPResponseSerializer>("responseSerializer")) {
        manager->setResponseSerializer(response);
    }
    if (auto policy = coder.decodeObjectOfClass<KJAFSecurityPolicy>("securityPolicy"))
        manager->setSecurityPolicy(policy);
    return manager;
}

std::shared_ptr<KJAFHTTPSessionManager> KJAFHTTPSessionManager::create(
    std::optional<platform::URL> baseURL, std::optional<platform::URLSessionConfiguration> configuration) {
    return adopt(new KJAFHTTPSessionManager(std::move(baseURL), std::move(configuration)));
}

KJAFHTTPSessionManager::KJAFHTTPSessionManager(std::optional<platform::URL> baseURL,
                                               std::optional<platform::URLSessionConfiguration> configuration)
    : KJAFURLSessionManager(std::move(configuration)) {
    if (baseURL && !baseURL->path().empty() && baseURL->absoluteString().back() != '/') {
        baseURL = baseURL->appendingPathComponent("");
    }
    baseURL_ = std::move(baseURL);
    requestSerializer_ = KJAFHTTPRequestSerializer::serializer();
    setResponseSerializer(KJAFJSONResponseSerializer::serializer());
}

std::shared_ptr<KJAFHTTPRequestSerializer> KJAFHTTPSessionManager::requestSerializer() const {
    std::lock_guard lock(serializerMutex_);
    return requestSerializer_;
}

void KJAFHTTPSessionManager::setRequestSerializer(std::shared_ptr<KJAFHTTPRequestSerializer> serializer) {
    std::lock_guard lock(serializerMutex_);
    requestSerializer_ = std::move(serializer);
}

std::string KJAFHTTPSessionManager::resolve(const std::string& URLString) const {
    std::optional<platform::URL> url =
        baseURL_ ? platform::URL::fromString(URLString, *baseURL_) : platform::URL::fromString(URLString);
    // Text that is no URL is handed on as it is; the request then has no URL and its task fails.
    return url ? url->absoluteString() : URLString;
}

void KJAFHTTPSessionManager::failWithoutTask(const Failure& failure, const Error& error) const {
    if (!failure) return;
    auto queue = completionQueue();
    if (!queue) queue = platform::DispatchQueue::main();
    queue->async([failure, error] { failure(nullptr, error); });
}

std::shared_ptr<platform::URLSessionDataTask> KJAFHTTPSessionManager::dataTaskWithHTTPMethod(
    const std::string& method, const std::string& URLString, const Value& parameters, ProgressBlock uploadProgress,
    ProgressBlock downloadProgress, Success success, Failure failure) {
    std::optional<Error> serializationError;
    auto request = requestSerializer()->requestWithMethod(method, resolve(URLString), parameters, &serializationError);
    if (serializationError || !request) {
        failWithoutTask(failure, serializationError.value_or(Error(KJAFURLRequestSerializationErrorDomain, -1)));
        return nullptr;
    }
    // The completion learns its task through a weak slot, filled once the task exists.
    auto holder = std::make_shared<std::weak_ptr<platform::URLSessionDataTask>>();
    auto task = dataTaskWithRequest(*request, std::move(uploadProgress), std::move(downloadProgress),
                               [holder, success, failure](std::shared_ptr<platform::URLResponse>, Value responseObject,
                                                          std::optional<Error> error) {
                                   auto t = holder->lock();
                                   if (error) {
                                       if (failure) failure(t, *error);
                                   } else if (success) {
                                       success(t, responseObject);
                                   }
                               });
    *holder = task;
    return task;
}

std::shared_ptr<platform::URLSessionDataTask> KJAFHTTPSessionManager::GET(const std::string& URLString,
                                                                          const Value& parameters,
                                                                          ProgressBlock downloadProgress,
                                                                          Success success, Failure failure) {
    auto task = dataTaskWithHTTPMethod("GET", URLString, parameters, nullptr, std::move(downloadProgress),
                                       std::move(success), std::move(failure));
    if (task) task->resume();
    return task;
}

std::shared_ptr<platform::URLSessionDataTask> KJAFHTTPSessionManager::HEAD(const std::string& URLString,
                                                                           const Value& parameters,
                                                                           HeadSuccess success, Failure failure) {
    auto task = dataTaskWithHTTPMethod(
        "HEAD", URLString, parameters, nullptr, nullptr,
        [success](const std::shared_ptr<platform::URLSessionTask>& t, const Value&) {
            if (success) success(t);
        },
        std::move(failure));
    if (task) task->resume();
    return task;
}

std::shared_ptr<platform::URLSessionDataTask> KJAFHTTPSessionManager::POST(const std::string& URLString,
                                                                           const Value& parameters,
                                                                           ProgressBlock uploadProgress,
                                                                           Success success, Failure failure) {
    auto task = dataTaskWithHTTPMethod("POST", URLString, parameters, std::move(uploadProgress), nullptr,
                                       std::move(success), std::move(failure));
    if (task) task->resume();
    return task;
}

std::shared_ptr<platform::URLSessionDataTask> KJAFHTTPSessionManager::POST(const std::string& URLString,
                                                                           const Value& parameters,
                                                                           ConstructingBody block,
                                                                           ProgressBlock uploadProgress,
                                                                           Success success, Failure failure) {
    std::optional<Error> serializationError;
    auto request = requestSerializer()->multipartFormRequestWithMethod("POST", resolve(URLString), parameters, block,
                                                                       &serializationError);
    if (serializationError || !request) {
        failWithoutTask(failure, serializationError.value_or(Error(KJAFURLRequestSerializationErrorDomain, -1)));
        return nullptr;
    }
    auto holder = std::make_shared<std::weak_ptr<platform::URLSessionDataTask>>();
    std::shared_ptr<platform::URLSessionDataTask> task = uploadTaskWithStreamedRequest(
        *request, std::move(uploadProgress),
        [holder, success, failure](std::shared_ptr<platform::URLResponse>, Value responseObject,
                                   std::optional<Error> error) {
            auto t = holder->lock();
            if (error) {
                if (failure) failure(t, *error);
            } else if (success) {
                success(t, responseObject);
            }
        });
    *holder = task;
    if (task) task->resume();
    return task;
}

std::shared_ptr<platform::URLSessionDataTask> KJAFHTTPSessionManager::PUT(const std::string& URLString,
                                                                          const Value& parameters, Success success,
                                                                          Failure failure) {
    auto task = dataTaskWithHTTPMethod("PUT", URLString, parameters, nullptr, nullptr, std::move(success),
                                       std::move(failure));
    if (task) task->resume();
    return task;
}

std::shared_ptr<platform::URLSessionDataTask> KJAFHTTPSessionManager::PATCH(const std::string& URLString,
                                                                            const Value& parameters, Success success,
                                                                            Failure failure) {
    auto task = dataTaskWithHTTPMethod("PATCH", URLString, parameters, nullptr, nullptr, std::move(success),
                                       std::move(failure));
    if (task) task->resume();
    return task;
}

std::shared_ptr<platform::URLSessionDataTask> KJAFHTTPSessionManager::DELETE(const std::string& URLString,
                                                                              const Value& parameters,
                                                                              Success success, Failure failure) {
    auto task = dataTaskWithHTTPMethod("DELETE", URLString, parameters, nullptr, nullptr, std::move(success),
                                       std::move(failure));
    if (task) task->resume();
    return task;
}

std::string KJAFHTTPSessionManager::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return std::string("<KJAFHTTPSessionManager: ") + address +
           ", baseURL: " + (baseURL_ ? baseURL_->absoluteString() : "(null)") + ", session: <URLSession: " +
           std::to_string(reinterpret_cast<uintptr_t>(session().get())) +
           ">, operationQueue: <OperationQueue: " + operationQueue()->name() + ">>";
}

}  // namespace brindlecue
