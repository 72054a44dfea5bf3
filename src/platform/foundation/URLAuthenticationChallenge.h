#pragma once

#include <memory>
#include <string>

#include "platform/foundation/SecTrust.h"
#include "platform/foundation/URLCredential.h"

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

    URLProtectionSpace(std::string host, int port, std::string protocol, std::string authenticationMethod,
                       std::shared_ptr<SecTrust> serverTrust)
        : host_(std::move(host)),
          port_(port),
          protocol_(std::move(protocol)),
          method_(std::move(authenticationMethod)),
          trust_(std::move(serverTrust)) {}

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    const std::string& protocol() const { return protocol_; }
    const std::string& authenticationMethod() const { return method_; }
    const std::shared_ptr<SecTrust>& serverTrust() const { return trust_; }

private:
    std::string host_;
    int port_;
    std::string protocol_;
    std::string method_;
    std::shared_ptr<SecTrust> trust_;
};

class URLAuthenticationChallenge {
public:
    URLAuthenticationChallenge(URLProtectionSpace space, int previousFailureCount)
        : space_(std::move(space)), previousFailureCount_(previousFailureCount) {}

    const URLProtectionSpace& protectionSpace() const { return space_; }
    int previousFailureCount() const { return previousFailureCount_; }

private:
    URLProtectionSpace space_;
    int previousFailureCount_;
};

}  // namespace brindlecue::platform
