#pragma once

#include <functional>
#include <memory>
#include <string>

#include "network/library/KJAFHTTPSessionManager.h"

namespace brindlecue {

// The older layer's form-encoding HTTP client. Relative paths go to the configured server as
// "/v3/" + path with the install id; the identification headers are set when it is built; answers
// of "/v1", "/v2" and "/v3/logs" are unwrapped from their {"code", "value"} envelope; a 429
// answer pauses the whole library. Blocks run on its serial queue "com.brindlecue.network".
class KJHTTPSessionManager : public KJAFHTTPSessionManager {
public:
    using Success = std::function<void(const std::shared_ptr<platform::URLSessionTask>& task,
                                       const platform::Value& responseObject)>;
    using Failure = std::function<void(const std::shared_ptr<platform::URLSessionTask>& task,
                                       const platform::Error& error)>;

    static std::shared_ptr<KJHTTPSessionManager> sharedInstance();
    // Test-only: forgets the shared client, so that the next sharedInstance() builds one with the
    // identification headers of that moment (the facade and the install token in the user
    // defaults of the current app container). The library never calls it; the test runner does
    // between tests.
    static void resetSharedForTesting();

    // hostVersion is accepted and not used. Each verb returns the started task, or none when the
    // request could not be built (the failure block still runs).
    std::shared_ptr<platform::URLSessionTask> GET(const std::string& path, int64_t hostVersion,
                                                  const platform::Value& parameters, Success success, Failure failure);
    std::shared_ptr<platform::URLSessionTask> POST(const std::string& path, int64_t hostVersion,
                                                   const platform::Value& body, Success success, Failure failure);
    std::shared_ptr<platform::URLSessionTask> PATCH(const std::string& path, int64_t hostVersion,
                                                    const platform::Value& body, Success success, Failure failure);
    std::shared_ptr<platform::URLSessionTask> DELETE(const std::string& path, int64_t hostVersion,
                                                     const platform::Value& parameters, Success success,
                                                     Failure failure);
    std::shared_ptr<platform::URLSessionTask> POST(const std::string& path, int64_t hostVersion,
                                                   ConstructingBody block, Success success, Failure failure);

    // The full URL text for the path (see the class comment); also sets the time-out to 60 s.
    std::string completeBrindlecueSpecialUrl(const std::string& path, int64_t hostVersion,
                                             const std::string& httpMethod);
    void processSuccessCallback(const std::shared_ptr<platform::URLSessionTask>& task,
                                const platform::Value& responseObject, const Success& success,
                                const Failure& failure);
    void processFailureCallback(const std::shared_ptr<platform::URLSessionTask>& task, const platform::Error& error,
                                const Failure& failure);

protected:
    KJHTTPSessionManager();
    // The identification headers, read from the facade.
    void setIdentificationHeaders();

private:
    Success successWrapper(Success success, Failure failure);
    Failure failureWrapper(std::string verbFormat, std::string method, Failure failure);
};

}  // namespace brindlecue
