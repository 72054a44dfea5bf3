#include "platform/foundation/SecTrust.h"

#include <gtest/gtest.h>

#include "sample-server/SampleServer.h"

namespace brindlecue::platform {
namespace {

// The sample server makes a fresh self-signed certificate for "127.0.0.1" and "localhost".
std::shared_ptr<SecCertificate> selfSigned(sampleserver::SampleServer& server) {
    server.start();
    return SecCertificate::createWithData(server.certificateDER());
}

TEST(SecTrust, RefusesASelfSignedServerUnlessItIsTheAnchor) {
    sampleserver::SampleServer server({.tls = true});
    auto certificate = selfSigned(server);
    ASSERT_TRUE(certificate);

    auto trust = SecTrust::create({certificate}, {SecPolicy::createSSL(true, "127.0.0.1")});
    EXPECT_EQ(trust->evaluate(), SecTrust::Result::RecoverableTrustFailure);
    std::optional<Error> error;
    EXPECT_FALSE(trust->evaluateWithError(&error));
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->localizedDescription().empty());

    trust->setAnchorCertificates({certificate});
    EXPECT_EQ(trust->evaluate(), SecTrust::Result::Unspecified);
    EXPECT_TRUE(trust->evaluateWithError());

    // The anchor does not excuse a wrong host name, under any of the policies.
    trust->setPolicies({SecPolicy::createSSL(true, "localhost"), SecPolicy::createSSL(true, "example.com")});
    EXPECT_EQ(trust->evaluate(), SecTrust::Result::RecoverableTrustFailure);
    trust->setPolicies({SecPolicy::createBasicX509()});
    EXPECT_EQ(trust->evaluate(), SecTrust::Result::Unspecified);

    // Another certificate as the only anchor does not help.
    sampleserver::SampleServer other({.tls = true});
    auto stranger = selfSigned(other);
    trust->setAnchorCertificates({stranger});
    EXPECT_EQ(trust->evaluate(), SecTrust::Result::RecoverableTrustFailure);
}

TEST(SecTrust, ExposesChainKeysAndDER) {
    sampleserver::SampleServer server({.tls = true});
    auto certificate = selfSigned(server);
    ASSERT_TRUE(certificate);
    EXPECT_EQ(certificate->data(), server.certificateDER());
    auto fromPEM = SecCertificate::createWithPEM(server.certificatePEM());
    ASSERT_TRUE(fromPEM);
    EXPECT_EQ(*fromPEM, *certificate);
    EXPECT_FALSE(certificate->subjectSummary().empty());

    auto trust = SecTrust::create({certificate}, {SecPolicy::createBasicX509()});
    EXPECT_EQ(trust->certificateCount(), 1u);
    EXPECT_EQ(trust->certificateAtIndex(0)->data(), server.certificateDER());
    EXPECT_FALSE(trust->certificateAtIndex(1));
    auto key = trust->copyPublicKey();
    ASSERT_TRUE(key);
    EXPECT_EQ(*key, *certificate->publicKey());
    EXPECT_FALSE(key->externalRepresentation().empty());

    sampleserver::SampleServer other({.tls = true});
    EXPECT_FALSE(*selfSigned(other)->publicKey() == *key);
}


}  // namespace
}  // namespace brindlecue::platform
