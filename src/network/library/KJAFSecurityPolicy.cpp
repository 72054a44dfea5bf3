// GCC 12 at -O3 reports a memcmp bound above the largest object in std::set<std::vector<uint8_t>>'s
// ordering of two certificates: the bound is the smaller of two vector sizes, which it cannot
// prove is not negative. The warning sits in the standard headers, so it is turned off before them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
#include "network/library/KJAFSecurityPolicy.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "network/library/KJSystemLog.h"
#include "platform/dispatch/DispatchOnce.h"

namespace brindlecue {

using platform::SecCertificate;
using platform::SecKey;
using platform::SecPolicy;
using platform::SecTrust;

namespace {

bool isValid(SecTrust& trust) {
    auto result = trust.evaluate();
    return result && (*result == SecTrust::Result::Proceed || *result == SecTrust::Result::Unspecified);
}

// The public key of a one-certificate trust under a basic X.509 policy, when the evaluation runs.
std::shared_ptr<SecKey> publicKeyFor(const std::shared_ptr<SecCertificate>& certificate) {
    if (!certificate) return nullptr;
    auto trust = SecTrust::create({certificate}, {SecPolicy::createBasicX509()});
    if (!trust || !trust->evaluate()) return nullptr;
    return trust->copyPublicKey();
}

const bool registered = [] {
    platform::KeyedUnarchiver::registerClass("KJAFSecurityPolicy", &KJAFSecurityPolicy::initWithCoder);
    return true;
}();

}  // namespace

std::shared_ptr<KJAFSecurityPolicy> KJAFSecurityPolicy::copy() const {
    auto policy = std::make_shared<KJAFSecurityPolicy>();
    policy->SSLPinningMode = SSLPinningMode;
    policy->allowInvalidCertificates = allowInvalidCertificates;
    policy->validatesDomainName = validatesDomainName;
    policy->setPinnedCertificates(pinnedCertificates_);
    return policy;
}

void KJAFSecurityPolicy::encodeWithCoder(platform::KeyedArchiver& coder) const {
    coder.encodeObject(platform::Value(SSLPinningMode), "SSLPinningMode");
    coder.encodeBool(allowInvalidCertificates, "allowInvalidCertificates");
    coder.encodeBool(validatesDomainName, "validatesDomainName");
    if (pinnedCertificates_) {
        platform::Array certificates;
        for (const auto& certificate : *pinnedCertificates_)
            certificates.push_back(platform::Value(certificate));
        coder.encodeObject(platform::Value(std::move(certificates)), "pinnedCertificates");
    }
}

std::shared_ptr<platform::SecureCoding> KJAFSecurityPolicy::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto policy = std::make_shared<KJAFSecurityPolicy>();
    policy->SSLPinningMode = static_cast<uint64_t>(coder.decodeObjectForKey("SSLPinningMode").integerValue());
    policy->allowInvalidCertificates = coder.decodeBoolForKey("allowInvalidCertificates");
    policy->validatesDomainName = coder.decodeBoolForKey("validatesDomainName");
    if (platform::Value certificatesValue = coder.decodeObjectForKey("pinnedCertificates");
        const platform::Array* certificates = certificatesValue.getArray()) {
        std::set<platform::Data> set;
        for (const auto& certificate : *certificates) {
            if (const platform::Data* d = certificate.getData()) set.insert(*d);
        }
        policy->setPinnedCertificates(set);
    }
    return policy;
}

std::shared_ptr<KJAFSecurityPolicy> KJAFSecurityPolicy::defaultPolicy() {
    auto policy = std::make_shared<KJAFSecurityPolicy>();
    policy->SSLPinningMode = KJAFSSLPinningModeNone;
    return policy;
}

std::shared_ptr<KJAFSecurityPolicy> KJAFSecurityPolicy::policyWithPinningMode(uint64_t pinningMode) {
    return policyWithPinningMode(pinningMode, defaultPinnedCertificates());
}

std::shared_ptr<KJAFSecurityPolicy> KJAFSecurityPolicy::policyWithPinningMode(
    uint64_t pinningMode, const std::optional<std::set<platform::Data>>& pinnedCertificates) {
    auto policy = std::make_shared<KJAFSecurityPolicy>();
    policy->SSLPinningMode = pinningMode;
    policy->setPinnedCertificates(pinnedCertificates);
    return policy;
}

std::set<platform::Data> KJAFSecurityPolicy::defaultPinnedCertificates() {
    static platform::DispatchOnceToken token;
    static std::set<platform::Data>* certificates = nullptr;
    platform::dispatchOnce(token, [] {
        auto bundle = platform::Bundle::withName("BrindlecueResources");
        certificates = new std::set<platform::Data>(bundle ? certificatesInBundle(*bundle) : std::set<platform::Data>());
    });
    return *certificates;
}

std::set<platform::Data> KJAFSecurityPolicy::certificatesInBundle(const platform::Bundle& bundle) {
    std::set<platform::Data> certificates;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(bundle.path(), ec)) {
        if (entry.path().extension() != ".cer" || !entry.is_regular_file(ec)) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        if (!in) continue;  // an unreadable resource pins nothing
        certificates.insert(platform::Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    }
    return certificates;
}

void KJAFSecurityPolicy::setPinnedCertificates(const std::optional<std::set<platform::Data>>& certificates) {
    pinnedCertificates_ = certificates;
    if (!certificates) {
        pinnedPublicKeys_.reset();
        return;
    }
    std::vector<std::shared_ptr<SecKey>> keys;
    for (const platform::Data& der : *certificates) {
        if (auto key = publicKeyFor(SecCertificate::createWithData(der))) keys.push_back(key);
    }
    pinnedPublicKeys_ = std::move(keys);
}

bool KJAFSecurityPolicy::evaluateServerTrust(const std::shared_ptr<SecTrust>& serverTrust,
                                             const std::optional<std::string>& domain) const {
    if (!serverTrust) return false;
    bool pinned = SSLPinningMode != KJAFSSLPinningModeNone && pinnedCertificates_ && !pinnedCertificates_->empty();
    if (domain && allowInvalidCertificates && validatesDomainName && !pinned) {
        KJSystemLog("In order to validate a domain name for self signed certificates, you MUST use pinning.");
        return false;
    }

    serverTrust->setPolicies({validatesDomainName ? SecPolicy::createSSL(true, domain) : SecPolicy::createBasicX509()});

    if (SSLPinningMode == KJAFSSLPinningModeNone) {
        return allowInvalidCertificates || isValid(*serverTrust);
    }
    if (SSLPinningMode != KJAFSSLPinningModePublicKey && SSLPinningMode != KJAFSSLPinningModeCertificate) {
        return false;
    }
    if (!isValid(*serverTrust) && !allowInvalidCertificates) return false;

    if (SSLPinningMode == KJAFSSLPinningModePublicKey) {
        if (!pinnedPublicKeys_) return false;
        size_t matches = 0;
        for (size_t i = 0; i < serverTrust->certificateCount(); ++i) {
            auto key = publicKeyFor(serverTrust->certificateAtIndex(i));
            if (!key) continue;
            for (const auto& pinnedKey : *pinnedPublicKeys_) {
                if (*pinnedKey == *key) ++matches;
            }
        }
        return matches > 0;
    }

    std::vector<std::shared_ptr<SecCertificate>> anchors;
    if (pinnedCertificates_) {
        for (const platform::Data& der : *pinnedCertificates_) {
            if (auto certificate = SecCertificate::createWithData(der)) anchors.push_back(certificate);
        }
    }
    serverTrust->setAnchorCertificates(anchors);
    if (!isValid(*serverTrust)) return false;
    const auto& chain = serverTrust->certificates();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (pinnedCertificates_ && pinnedCertificates_->count((*it)->data())) return true;
    }
    return false;
}

}  // namespace brindlecue
