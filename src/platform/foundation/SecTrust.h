#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/foundation/SecCertificate.h"

namespace brindlecue::platform {

// What a trust evaluation checks: an SSL server policy (chain for TLS server use, and the host
// name when one is given) or a basic X.509 policy (the chain alone).
class SecPolicy {
public:
    static std::shared_ptr<SecPolicy> createSSL(bool server, std::optional<std::string> hostname);
    static std::shared_ptr<SecPolicy> createBasicX509();

    bool isSSL() const { return ssl_; }
    const std::optional<std::string>& hostname() const { return hostname_; }

private:
    SecPolicy(bool ssl, std::optional<std::string> hostname) : ssl_(ssl), hostname_(std::move(hostname)) {}
    bool ssl_;
    std::optional<std::string> hostname_;
};

// A certificate chain (leaf first) with the policies to evaluate it under. By default the chain
// must lead to one of the system's root certificates; once anchor certificates are set, only
// those anchors are trusted (unless setAnchorCertificatesOnly(false) adds the system roots back).
// An anchor need not be self-signed: any certificate in the chain that is an anchor ends it.
// Certificates are checked against the current real time. Safe to use from any thread.
class SecTrust {
public:
    enum class Result {
        Invalid = 0,
        Proceed = 1,
        Deny = 3,
        Unspecified = 4,
        RecoverableTrustFailure = 5,
        FatalTrustFailure = 6,
        OtherError = 7,
    };

    // Null without a certificate.
    static std::shared_ptr<SecTrust> create(std::vector<std::shared_ptr<SecCertificate>> certificates,
                                            std::vector<std::shared_ptr<SecPolicy>> policies);

    void setPolicies(std::vector<std::shared_ptr<SecPolicy>> policies);
    std::vector<std::shared_ptr<SecPolicy>> policies() const;
    void setAnchorCertificates(std::vector<std::shared_ptr<SecCertificate>> anchors);
    void setAnchorCertificatesOnly(bool only);

    // Unspecified when the chain is trusted under every policy, RecoverableTrustFailure when it
    // is not (self-signed, unknown root, expired, wrong host, ...); none when no evaluation could
    // be made.
    std::optional<Result> evaluate();
    // True when trusted; otherwise the reason in *error when given.
    bool evaluateWithError(std::optional<Error>* error = nullptr);

    size_t certificateCount() const { return certificates_.size(); }
    std::shared_ptr<SecCertificate> certificateAtIndex(size_t index) const;
    const std::vector<std::shared_ptr<SecCertificate>>& certificates() const { return certificates_; }
    // The leaf certificate's public key.
    std::shared_ptr<SecKey> copyPublicKey() const;

private:
    SecTrust() = default;
    std::optional<Result> evaluateLocked(std::string* reason);

    std::vector<std::shared_ptr<SecCertificate>> certificates_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<SecPolicy>> policies_;
    std::vector<std::shared_ptr<SecCertificate>> anchors_;
    bool anchorsSet_ = false;
    bool anchorsOnly_ = true;
};

}  // namespace brindlecue::platform
