#include "network/KJHTTPSessionManager.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <mutex>

#include "foundation/BLQDeviceUtils.h"
#include "foundation/KJLog.h"
#include "network/KJHTTPFacade.h"
#include "network/library/KJAFHTTPResponseSerializer.h"
#include "network/library/KJSystemLog.h"
#include "platform/NotificationCenter.h"
#include "platform/TestingReset.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLSessionTask.h"
#include "platform/uikit/UIApplication.h"

namespace brindlecue {

using platform::Error;
using platform::Value;

namespace {

constexpr double kSecondsFrom1970To2001 = 978307200.0;
constexpr const char* kErrorDomain = "KJErrorDomain";

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The failing answer's body, as UTF-8 text ("" when the error carries none).
std::string failingBody(const Error& error) {
    const platform::Data* data = error.userInfo()[KJMossgroveOperationFailingURLResponseDataErrorKey].getData();
    return data ? std::string(data->begin(), data->end()) : std::string();
}

std::string responseURLText(const std::shared_ptr<platform::URLSessionTask>& task) {
    auto response = task ? task->response() : nullptr;
    return response && response->url() ? response->url()->absoluteString() : "(null)";
}

}  // namespace

namespace {

// The shared client and its lock; kept through exit, since requests may still be running.
std::mutex& sharedMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<KJHTTPSessionManager>& sharedSlot() {
    static auto* shared = new std::shared_ptr<KJHTTPSessionManager>();
    return *shared;
}

}  // namespace

std::shared_ptr<KJHTTPSessionManager> KJHTTPSessionManager::sharedInstance() {
    std::lock_guard lock(sharedMutex());
    auto& shared = sharedSlot();
    if (!shared) {
        shared = adopt(new KJHTTPSessionManager());
        shared->setIdentificationHeaders();
        platform::TestingReset::add("KJHTTPSessionManager.shared", [] { resetSharedForTesting(); });
    }
    return shared;
}

void KJHTTPSessionManager::resetSharedForTesting() {
    std::lock_guard lock(sharedMutex());
    sharedSlot().reset();
}

KJHTTPSessionManager::KJHTTPSessionManager()
    : KJAFHTTPSessionManager(std::nullopt, platform::URLSessionConfiguration::defaultSessionConfiguration()) {
    setCompletionQueue(platform::DispatchQueue::serial("com.brindlecue.network"));
}

void KJHTTPSessionManager::setIdentificationHeaders() {
    auto facade = KJHTTPFacade::current();
    auto serializer = requestSerializer();
    std::optional<int64_t> appId = facade ? facade->appId() : std::nullopt;
    std::string version = facade ? facade->sdkVersion() : "";
    std::string appIdText = appId ? std::to_string(*appId) : "(null)";
    serializer->setValue(appIdText + "(" + (facade ? version : "(null)") + ")", "User-Agent");
    serializer->setValue(appId ? std::optional<std::string>(appIdText) : std::nullopt, "X-App-Id");
    serializer->setValue(facade ? std::optional<std::string>(facade->appKey()) : std::nullopt, "X-App-Key");
    serializer->setValue(facade ? std::optional<std::string>(version) : std::nullopt, "X-Version");
    std::string installId = facade ? facade->installId() : "";
    serializer->setValue(installId.empty() ? "null" : installId, "X-Installid");
    auto token = platform::UserDefaults::standard().string("KJ_INSTALL_TOKEN");
    if (token && !token->empty()) serializer->setValue(*token, "X-Install-Token");
}

// ---- URL completion --------------------------------------------------------------------------

std::string KJHTTPSessionManager::completeBrindlecueSpecialUrl(const std::string& path, int64_t,
                                                               const std::string& httpMethod) {
    requestSerializer()->setTimeoutInterval(60.0);
    std::string lowered = lower(path);
    if (startsWith(lowered, "http://") || startsWith(lowered, "https://")) return path;

    auto facade = KJHTTPFacade::current();
    std::string url = (facade ? facade->host() : "") + "/v3";
    if (!path.empty()) {
        if (!url.empty() && url.back() == '/') url.pop_back();
        std::string trimmed = path;
        if (!trimmed.empty() && trimmed.front() == '/') trimmed.erase(0, 1);
        if (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
        url += "/" + trimmed;
    }
    std::string installId = facade ? facade->installId() : "";
    if (!installId.empty()) {
        if (httpMethod == "PATCH") {
            url += "/" + installId;
        } else {
            // A path that brings its own query gets the install id as one more parameter.
            url += (url.find('?') == std::string::npos ? "?installid=" : "&installid=") + installId;
        }
    }
    return url;
}

// ---- Verbs -----------------------------------------------------------------------------------

KJHTTPSessionManager::Success KJHTTPSessionManager::successWrapper(Success success, Failure failure) {
    std::weak_ptr<KJHTTPSessionManager> weakSelf = std::static_pointer_cast<KJHTTPSessionManager>(shared_from_this());
    return [weakSelf, success, failure](const std::shared_ptr<platform::URLSessionTask>& task, const Value& object) {
        if (auto self = weakSelf.lock()) self->processSuccessCallback(task, object, success, failure);
    };
}

KJHTTPSessionManager::Failure KJHTTPSessionManager::failureWrapper(std::string verbFormat, std::string method,
                                                                   Failure failure) {
    std::weak_ptr<KJHTTPSessionManager> weakSelf = std::static_pointer_cast<KJHTTPSessionManager>(shared_from_this());
    return [weakSelf, verbFormat, method, failure](const std::shared_ptr<platform::URLSessionTask>& task,
                                                   const Error& error) {
        if (method.empty()) {
            KJSystemLog(KJLogFormat(verbFormat, {responseURLText(task), failingBody(error)}));
        } else {
            KJSystemLog(KJLogFormat(verbFormat, {method, responseURLText(task), failingBody(error)}));
        }
        if (auto self = weakSelf.lock()) self->processFailureCallback(task, error, failure);
    };
}

std::shared_ptr<platform::URLSessionTask> KJHTTPSessionManager::GET(const std::string& path, int64_t hostVersion,
                                                                    const Value& parameters, Success success,
                                                                    Failure failure) {
    std::string url = completeBrindlecueSpecialUrl(path, hostVersion, "GET");
    KJLog(2, "GET - %@", url);
    return KJAFHTTPSessionManager::GET(url, parameters, nullptr, successWrapper(success, failure),
                                       failureWrapper("failed to do GET to %@ response body ====> \n %@", "", failure));
}

std::shared_ptr<platform::URLSessionTask> KJHTTPSessionManager::POST(const std::string& path, int64_t hostVersion,
                                                                     const Value& body, Success success,
                                                                     Failure failure) {
    std::string url = completeBrindlecueSpecialUrl(path, hostVersion, "POST");
    KJLog(2, "POST - %@", url);
    return KJAFHTTPSessionManager::POST(url, body, ProgressBlock(), successWrapper(success, failure),
                                        failureWrapper("failed to do POST to %@ response body ====> \n %@", "", failure));
}

std::shared_ptr<platform::URLSessionTask> KJHTTPSessionManager::PATCH(const std::string& path, int64_t hostVersion,
                                                                      const Value& body, Success success,
                                                                      Failure failure) {
    std::string url = completeBrindlecueSpecialUrl(path, hostVersion, "PATCH");
    KJLog(2, "PATCH - %@", url);
    return KJAFHTTPSessionManager::PATCH(
        url, body, successWrapper(success, failure),
        failureWrapper("failed to do %@ to %@ response body ====> \n %@", "PATCH", failure));
}

std::shared_ptr<platform::URLSessionTask> KJHTTPSessionManager::DELETE(const std::string& path, int64_t hostVersion,
                                                                       const Value& parameters, Success success,
                                                                       Failure failure) {
    std::string url = completeBrindlecueSpecialUrl(path, hostVersion, "DELETE");
    KJLog(2, "DELETE - %@", url);
    return KJAFHTTPSessionManager::DELETE(
        url, parameters, successWrapper(success, failure),
        failureWrapper("failed to do DELETE to %@ response body ====> \n %@", "", failure));
}

std::shared_ptr<platform::URLSessionTask> KJHTTPSessionManager::POST(const std::string& path, int64_t hostVersion,
                                                                     ConstructingBody block, Success success,
                                                                     Failure failure) {
    std::string url = completeBrindlecueSpecialUrl(path, hostVersion, "POST");
    KJLog(2, "POST - %@", url);
    return KJAFHTTPSessionManager::POST(url, Value(), std::move(block), ProgressBlock(),
                                        successWrapper(success, failure),
                                        failureWrapper("failed to do POST to %@ response body ====> \n %@", "", failure));
}

// ---- Answers ---------------------------------------------------------------------------------

void KJHTTPSessionManager::processSuccessCallback(const std::shared_ptr<platform::URLSessionTask>& task,
                                                  const Value& responseObject, const Success& success,
                                                  const Failure& failure) {
    auto call = [&](const Value& object) {
        if (success) success(task, object);
    };
    auto response = task ? task->response() : nullptr;
    std::string url = lower(responseURLText(task));
    if (url.find("/v1") == std::string::npos && url.find("/v2") == std::string::npos &&
        url.find("/v3/logs") == std::string::npos) {
        return call(responseObject);
    }

    std::string mime = lower(response && response->mimeType() ? *response->mimeType() : "application/json");
    if (mime != "application/json" && mime != "text/json" && mime != "text/javascript") {
        return call(mime == "text/plain" ? responseObject : Value());
    }
    if (!responseObject.isDictionary()) return call(Value());

    const Value& codeValue = responseObject["code"];
    int32_t code = codeValue.isNumber() ? static_cast<int32_t>(codeValue.integerValue()) : 0;
    const Value& value = responseObject["value"];

    if (responseObject["push"].isDictionary()) {
        auto& defaults = platform::UserDefaults::standard();
        defaults.set("SMART_PUSH_PAYLOAD", responseObject["push"]);
        defaults.synchronize();
        if (platform::UIApplication::sharedApplication()->applicationState() == platform::UIApplicationState::Active) {
            platform::NotificationCenter::defaultCenter().post("KJ_PushBridge_Smart_Notification");
        }
    }

    if (code == 0) return call(value);

    Error error = Error::withDescription(kErrorDomain, INT32_MIN, responseObject.description());
    std::string method = task && task->originalRequest() ? task->originalRequest()->httpMethod() : "(null)";
    KJSystemLog(KJLogFormat("failed to do %@ to %@ response body ====> \n %@",
                            {method, responseURLText(task), failingBody(error)}));
    processFailureCallback(task, error, failure);
}

void KJHTTPSessionManager::processFailureCallback(const std::shared_ptr<platform::URLSessionTask>& task,
                                                  const Error& error, const Failure& failure) {
    std::string body = failingBody(error);
    if (failure) {
        failure(task, body.empty() ? error : Error::withDescription(kErrorDomain, 0, body));
    }

    auto response = task ? task->response() : nullptr;
    auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response);
    auto facade = KJHTTPFacade::current();
    int32_t mode = facade && facade->isDebugMode() ? blqAppMode() : BLQAppModeAppStore;
    if (facade && facade->isDebugMode() && mode != BLQAppModeAppStore && mode != BLQAppModeEnterprise) {
        std::string method = task && task->originalRequest() ? task->originalRequest()->httpMethod() : "(null)";
        std::string text;
        if (http) {
            text = KJLogFormat("Status(%ld) %@ - %@. Error: %@.",
                               {std::to_string(http->statusCode()), method, responseURLText(task), error.description()});
        } else {
            text = KJLogFormat("URL request error: %@ - %@. Error: %@.", {method, responseURLText(task), error.description()});
        }
        if (lower(method) == "post" && task->originalRequest()->httpBody()) {
            const platform::Data& sent = *task->originalRequest()->httpBody();
            std::string raw(sent.begin(), sent.end());
            text += KJLogFormat("\nPost body: %@.", {platform::URL::removingPercentEncoding(raw).value_or(raw)});
        }
        if (!body.empty()) text += KJLogFormat("\nError data: %@", {body});
        KJLog(1, "Add breakpoint here to know error request happen for %@.", text);
    }

    if (http && http->statusCode() == 429 && !http->headerFields().empty()) {
        int64_t retryAfter = 0;
        if (auto field = http->valueForHTTPHeaderField("retry-after")) retryAfter = Value(*field).integerValue();
        double pause = retryAfter >= 1 ? static_cast<double>(retryAfter) : 3600.0;
        if (facade) facade->setSDKDisabledTime(platform::Clock::now() - kSecondsFrom1970To2001 + pause);
    }
}

}  // namespace brindlecue
