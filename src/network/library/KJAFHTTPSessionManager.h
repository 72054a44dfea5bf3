#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "network/library/KJAFHTTPRequestSerializer.h"
#include "network/library/KJAFURLSessionManager.h"

namespace brindlecue {

// An HTTP client over the URL session manager: one operation per verb, each building its request
// with the request serializer against an optional base URL and reporting through a success block
// (task, answer object) or a failure block (task, error). Exactly one of them runs for a task
// that was created; a request that cannot be built gets the failure block with no task.
class KJAFHTTPSessionManager : public KJAFURLSessionManager {
public:
    using Success = std::function<void(const std::shared_ptr<platform::URLSessionTask>& task,
                                       const platform::Value& responseObject)>;
    using HeadSuccess = std::function<void(const std::shared_ptr<platform::URLSessionTask>& task)>;
    using Failure = std::function<void(const std::shared_ptr<platform::URLSessionTask>& task,
                                       const platform::Error& error)>;
    using ConstructingBody = std::function<void(KJAFMultipartFormData& formData)>;

    static std::shared_ptr<KJAFHTTPSessionManager> manager();
    // A base URL with a non-empty path gets a trailing "/".
    static std::shared_ptr<KJAFHTTPSessionManager> create(
        std::optional<platform::URL> baseURL,
        std::optional<platform::URLSessionConfiguration> configuration = std::nullopt);

    const std::optional<platform::URL>& baseURL() const { return baseURL_; }
    std::shared_ptr<KJAFHTTPRequestSerializer> requestSerializer() const;
    void setRequestSerializer(std::shared_ptr<KJAFHTTPRequestSerializer> serializer);

    std::shared_ptr<platform::URLSessionDataTask> GET(const std::string& URLString, const platform::Value& parameters,
                                                      ProgressBlock downloadProgress, Success success, Failure failure);
    std::shared_ptr<platform::URLSessionDataTask> HEAD(const std::string& URLString, const platform::Value& parameters,
                                                       HeadSuccess success, Failure failure);
    std::shared_ptr<platform::URLSessionDataTask> POST(const std::string& URLString, const platform::Value& parameters,
                                                       ProgressBlock uploadProgress, Success success, Failure failure);
    // A multipart body built by the block, sent as a streamed upload.
    std::shared_ptr<platform::URLSessionDataTask> POST(const std::string& URLString, const platform::Value& parameters,
                                                       ConstructingBody block, ProgressBlock uploadProgress,
                                                       Success success, Failure failure);
    std::shared_ptr<platform::URLSessionDataTask> PUT(const std::string& URLString, const platform::Value& parameters,
                                                      Success success, Failure failure);
    std::shared_ptr<platform::URLSessionDataTask> PATCH(const std::string& URLString, const platform::Value& parameters,
                                                        Success success, Failure failure);
    std::shared_ptr<platform::URLSessionDataTask> DELETE(const std::string& URLString,
                                                          const platform::Value& parameters, Success success,
                                                          Failure failure);

    // The shared step of the verbs: the data task, not yet resumed; none when the request could
    // not be built (the failure block then runs on the completion queue without a task).
    std::shared_ptr<platform::URLSessionDataTask> dataTaskWithHTTPMethod(const std::string& method,
                                                                         const std::string& URLString,
                                                                         const platform::Value& parameters,
                                                                         ProgressBlock uploadProgress,
                                                                         ProgressBlock downloadProgress,
                                                                         Success success, Failure failure);

    std::string description() const;

    // The same base URL and session configuration, with copies of the request and response
    // serializers and of the security policy.
    std::shared_ptr<KJAFURLSessionManager> copy() const override;
    std::vector<std::string> archivedClassNames() const override {
        return {"KJAFHTTPSessionManager", "KJAFURLSessionManager"};
    }
    // The session configuration, the base URL, both serializers and the security policy.
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<platform::SecureCoding> initWithCoder(platform::KeyedUnarchiver& coder);

protected:
    KJAFHTTPSessionManager(std::optional<platform::URL> baseURL,
                           std::optional<platform::URLSessionConfiguration> configuration);
    template <class T>
    static std::shared_ptr<T> adopt(T* manager) {
        std::shared_ptr<T> shared(manager);
        shared->setUpSession();
        return shared;
    }

private:
    // The URL text resolved against the base URL.
    std::string resolve(const std::string& URLString) const;
    void failWithoutTask(const Failure& failure, const platform::Error& error) const;

    std::optional<platform::URL> baseURL_;
    mutable std::mutex serializerMutex_;
    std::shared_ptr<KJAFHTTPRequestSerializer> requestSerializer_;
};

}  // namespace brindlecue
