#include "platform/foundation/SecCertificate.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace brindlecue::platform {

namespace {

struct X509Deleter {
    void operator()(X509* x) const { X509_free(x); }
};
using X509Ptr = std::unique_ptr<X509, X509Deleter>;

X509Ptr parse(const Data& der) {
    const unsigned char* p = der.data();
    X509Ptr cert(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
    if (!cert || p != der.data() + der.size()) return nullptr;
    return cert;
}

}  // namespace

std::shared_ptr<SecCertificate> SecCertificate::createWithData(const Data& der) {
    if (der.empty() || !parse(der)) return nullptr;
    return std::shared_ptr<SecCertificate>(new SecCertificate(der));
}

std::shared_ptr<SecCertificate> SecCertificate::createWithPEM(const std::string& pem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (!bio) return nullptr;
    X509Ptr cert(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr));
    BIO_free(bio);
    if (!cert) return nullptr;
    int len = i2d_X509(cert.get(), nullptr);
    if (len <= 0) return nullptr;
    Data der(static_cast<size_t>(len));
    unsigned char* out = der.data();
    i2d_X509(cert.get(), &out);
    return std::shared_ptr<SecCertificate>(new SecCertificate(std::move(der)));
}

std::string SecCertificate::subjectSummary() const {
    X509Ptr cert = parse(der_);
    if (!cert) return "";
    X509_NAME* name = X509_get_subject_name(cert.get());
    char buf[256];
    if (X509_NAME_get_text_by_NID(name, NID_commonName, buf, sizeof buf) > 0) return buf;
    char* line = X509_NAME_oneline(name, nullptr, 0);
    std::string out = line ? line : "";
    OPENSSL_free(line);
    return out;
}

std::shared_ptr<SecKey> SecCertificate::publicKey() const {
    X509Ptr cert = parse(der_);
    if (!cert) return nullptr;
    EVP_PKEY* key = X509_get0_pubkey(cert.get());
    if (!key) return nullptr;
    int len = i2d_PUBKEY(key, nullptr);
    if (len <= 0) return nullptr;
    Data der(static_cast<size_t>(len));
    unsigned char* out = der.data();
    i2d_PUBKEY(key, &out);
    return std::make_shared<SecKey>(std::move(der));
}

}  // namespace brindlecue::platform
