#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Bundle.h"
#include "platform/KeyedArchiver.h"
#include "platform/Value.h"
#include "platform/foundation/SecCertificate.h"
#include "platform/foundation/SecTrust.h"

namespace brindlecue {

enum KJAFSSLPinningMode : uint64_t {
    KJAFSSLPinningModeNone = 0,
    KJAFSSLPinningModePublicKey = 1,
    KJAFSSLPinningModeCertificate = 2,
};

// Decides whether a server's TLS trust is accepted for a host: standard evaluation, optionally
// pinned to certificates (DER data) or to their public keys.
class KJAFSecurityPolicy : public platform::SecureCoding {
public:
    // No pinning, domain names checked, invalid certificates refused.
    static std::shared_ptr<KJAFSecurityPolicy> defaultPolicy();
    static std::shared_ptr<KJAFSecurityPolicy> policyWithPinningMode(uint64_t pinningMode);
    static std::shared_ptr<KJAFSecurityPolicy> policyWithPinningMode(
        uint64_t pinningMode, const std::optional<std::set<platform::Data>>& pinnedCertificates);
    // The "cer" resources of the library's resource bundle, read once per process.
    static std::set<platform::Data> defaultPinnedCertificates();
    // The contents of every "<name>.cer" at the bundle's root.
    static std::set<platform::Data> certificatesInBundle(const platform::Bundle& bundle);

    uint64_t SSLPinningMode = KJAFSSLPinningModeNone;
    bool allowInvalidCertificates = false;
    bool validatesDomainName = true;

    const std::optional<std::set<platform::Data>>& pinnedCertificates() const { return pinnedCertificates_; }
    // Also derives the pinned public keys (none for none).
    void setPinnedCertificates(const std::optional<std::set<platform::Data>>& certificates);
    const std::optional<std::vector<std::shared_ptr<platform::SecKey>>>& pinnedPublicKeys() const {
        return pinnedPublicKeys_;
    }

    // Whether the trust is accepted for the host (none: no host to check). Never fails otherwise.
    bool evaluateServerTrust(const std::shared_ptr<platform::SecTrust>& serverTrust,
                             const std::optional<std::string>& domain) const;

    // The same mode and flags and a copy of the certificates (the public keys derived anew).
    std::shared_ptr<KJAFSecurityPolicy> copy() const;
    std::vector<std::string> archivedClassNames() const override { return {"KJAFSecurityPolicy"}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<platform::SecureCoding> initWithCoder(platform::KeyedUnarchiver& coder);

private:
    std::optional<std::set<platform::Data>> pinnedCertificates_;
    std::optional<std::vector<std::shared_ptr<platform::SecKey>>> pinnedPublicKeys_;
};

}  // namespace brindlecue
