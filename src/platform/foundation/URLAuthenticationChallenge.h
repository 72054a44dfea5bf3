#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/SecTrust.h"
#include "platform/foundation/URLCredential.h"
#include "platform/foundation/URLResponse.h"

namespace brindlecue::platform {

// How a delegate answers a challenge.
enum class URLSessionAuthChallengeDisposition {
    UseCredential = 0,
    PerformDefaultHandling = 1,
    CancelAuthenticationChallenge = 2,
    RejectProtectionSpace = 3,
};

// The server (host, port, protocol) a challenge comes from and how it authenticates. For a TLS
// server the method is kServerTrust and serverTrust() holds the server's certificate chain.
class URLProtectionSpace {
public:
    static constexpr const char* kServerTrust = "NSURLAuthenticationMethodServerTrust";
    static constexpr const char* kHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";

    URLProtectionSpace(std::string host, int port, std::string protocol, std::string authenticationMethod,
                       std::shared_ptr<SecTrust> serverTrust, std::optional<std::string> realm = std::nullopt)
        : host_(std::move(host)),
          port_(port),
          protocol_(std::move(protocol)),
          method_(std::move(authenticationMethod)),
          trust_(std::move(serverTrust)),
          realm_(std::move(realm)) {}

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    const std::string& protocol() const { return protocol_; }
    const std::string& authenticationMethod() const { return method_; }
    const std::shared_ptr<SecTrust>& serverTrust() const { return trust_; }
    const std::optional<std::string>& realm() const { return realm_; }

private:
    std::string host_;
    int port_;
    std::string protocol_;
    std::string method_;
    std::shared_ptr<SecTrust> trust_;
    std::optional<std::string> realm_;
};

// A server's request for credentials: its protection space, how often credentials for it failed
// on this load, and for an HTTP server the answer that asked (the 401).
class URLAuthenticationChallenge {
public:
    URLAuthenticationChallenge(URLProtectionSpace space, int previousFailureCount,
                               std::shared_ptr<URLResponse> failureResponse = nullptr)
        : space_(std::move(space)),
          previousFailureCount_(previousFailureCount),
          failureResponse_(std::move(failureResponse)) {}

    const URLProtectionSpace& protectionSpace() const { return space_; }
    int previousFailureCount() const { return previousFailureCount_; }
    const std::shared_ptr<URLResponse>& failureResponse() const { return failureResponse_; }

private:
    URLProtectionSpace space_;
    int previousFailureCount_;
    std::shared_ptr<URLResponse> failureResponse_;
};

}  // namespace brindlecue::platform
