#include "platform/foundation/SecTrust.h"

#include <arpa/inet.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace brindlecue::platform {

namespace {

constexpr int64_t kErrSecNotTrusted = -67843;

X509* parse(const Data& der) {
    const unsigned char* p = der.data();
    return d2i_X509(nullptr, &p, static_cast<long>(der.size()));
}

bool isIPAddress(const std::string& host) {
    unsigned char buf[16];
    return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

// The OpenSSL objects of one evaluation, freed together.
struct Evaluation {
    X509_STORE* store = X509_STORE_new();
    X509_STORE_CTX* ctx = X509_STORE_CTX_new();
    X509* leaf = nullptr;
    STACK_OF(X509)* untrusted = sk_X509_new_null();

    ~Evaluation() {
        X509_STORE_CTX_free(ctx);
        X509_STORE_free(store);
        X509_free(leaf);
        sk_X509_pop_free(untrusted, X509_free);
    }
};

}  // namespace

std::shared_ptr<SecPolicy> SecPolicy::createSSL(bool server, std::optional<std::string> hostname) {
    (void)server;  // only server trust is ever evaluated here
    return std::shared_ptr<SecPolicy>(new SecPolicy(true, std::move(hostname)));
}

std::shared_ptr<SecPolicy> SecPolicy::createBasicX509() {
    return std::shared_ptr<SecPolicy>(new SecPolicy(false, std::nullopt));
}

std::shared_ptr<SecTrust> SecTrust::create(std::vector<std::shared_ptr<SecCertificate>> certificates,
                                           std::vector<std::shared_ptr<SecPolicy>> policies) {
    std::erase(certificates, nullptr);
    if (certificates.empty()) return nullptr;
    std::shared_ptr<SecTrust> trust(new SecTrust());
    trust->certificates_ = std::move(certificates);
    trust->policies_ = std::move(policies);
    return trust;
}

void SecTrust::setPolicies(std::vector<std::shared_ptr<SecPolicy>> policies) {
    std::lock_guard lock(mutex_);
    policies_ = std::move(policies);
}

std::vector<std::shared_ptr<SecPolicy>> SecTrust::policies() const {
    std::lock_guard lock(mutex_);
    return policies_;
}

void SecTrust::setAnchorCertificates(std::vector<std::shared_ptr<SecCertificate>> anchors) {
    std::lock_guard lock(mutex_);
    std::erase(anchors, nullptr);
    anchors_ = std::move(anchors);
    anchorsSet_ = true;
    anchorsOnly_ = true;
}

void SecTrust::setAnchorCertificatesOnly(bool only) {
    std::lock_guard lock(mutex_);
    anchorsOnly_ = only;
}

std::shared_ptr<SecCertificate> SecTrust::certificateAtIndex(size_t index) const {
    return index < certificates_.size() ? certificates_[index] : nullptr;
}

std::shared_ptr<SecKey> SecTrust::copyPublicKey() const { return certificates_.front()->publicKey(); }

std::optional<SecTrust::Result> SecTrust::evaluate() {
    std::lock_guard lock(mutex_);
    return evaluateLocked(nullptr);
}

bool SecTrust::evaluateWithError(std::optional<Error>* error) {
    std::lock_guard lock(mutex_);
    std::string reason;
    auto result = evaluateLocked(&reason);
    bool trusted = result && (*result == Result::Unspecified || *result == Result::Proceed);
    if (!trusted && error) {
        *error = Error::withDescription("NSOSStatusErrorDomain", kErrSecNotTrusted,
                                        reason.empty() ? "The certificate chain is not trusted." : reason);
    }
    return trusted;
}

std::optional<SecTrust::Result> SecTrust::evaluateLocked(std::string* reason) {
    Evaluation e;
    if (!e.store || !e.ctx || !e.untrusted) return std::nullopt;
    e.leaf = parse(certificates_.front()->data());
    if (!e.leaf) return std::nullopt;
    for (size_t i = 1; i < certificates_.size(); ++i) {
        if (X509* c = parse(certificates_[i]->data())) sk_X509_push(e.untrusted, c);
    }

    bool useSystemRoots = !anchorsSet_ || !anchorsOnly_;
    if (useSystemRoots) X509_STORE_set_default_paths(e.store);
    for (const auto& anchor : anchors_) {
        if (X509* c = parse(anchor->data())) {
            X509_STORE_add_cert(e.store, c);
            X509_free(c);
        }
    }

    // Every policy must hold; OpenSSL checks one host name per run, so run once per policy.
    std::vector<std::shared_ptr<SecPolicy>> policies = policies_;
    if (policies.empty()) policies.push_back(SecPolicy::createBasicX509());
    for (const auto& policy : policies) {
        if (X509_STORE_CTX_init(e.ctx, e.store, e.leaf, e.untrusted) != 1) return std::nullopt;
        X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(e.ctx);
        if (!anchors_.empty()) X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
        if (policy->isSSL()) {
            X509_STORE_CTX_set_purpose(e.ctx, X509_PURPOSE_SSL_SERVER);
            if (const auto& host = policy->hostname(); host && !host->empty()) {
                int ok = isIPAddress(*host) ? X509_VERIFY_PARAM_set1_ip_asc(param, host->c_str())
                                            : X509_VERIFY_PARAM_set1_host(param, host->c_str(), host->size());
                if (ok != 1) return Result::RecoverableTrustFailure;
            }
        }
        if (X509_verify_cert(e.ctx) != 1) {
            if (reason) *reason = X509_verify_cert_error_string(X509_STORE_CTX_get_error(e.ctx));
            return Result::RecoverableTrustFailure;
        }
        X509_STORE_CTX_cleanup(e.ctx);
    }
    return Result::Unspecified;
}

}  // namespace brindlecue::platform
