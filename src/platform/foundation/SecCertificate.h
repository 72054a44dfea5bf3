#pragma once

#include <memory>
#include <string>

#include "platform/Value.h"

namespace brindlecue::platform {

// A public key taken from a certificate, compared by its DER SubjectPublicKeyInfo bytes.
class SecKey {
public:
    explicit SecKey(Data subjectPublicKeyInfo) : der_(std::move(subjectPublicKeyInfo)) {}
    const Data& externalRepresentation() const { return der_; }
    bool operator==(const SecKey& other) const { return der_ == other.der_; }

private:
    Data der_;
};

// An X.509 certificate, made from its DER bytes.
class SecCertificate {
public:
    // Null when the bytes are not exactly one DER certificate.
    static std::shared_ptr<SecCertificate> createWithData(const Data& der);
    // Null when the text holds no PEM certificate (the first one is taken).
    static std::shared_ptr<SecCertificate> createWithPEM(const std::string& pem);

    const Data& data() const { return der_; }
    // The subject's common name, else the whole subject in one line.
    std::string subjectSummary() const;
    std::shared_ptr<SecKey> publicKey() const;

    bool operator==(const SecCertificate& other) const { return der_ == other.der_; }

private:
    explicit SecCertificate(Data der) : der_(std::move(der)) {}
    Data der_;
};

}  // namespace brindlecue::platform
