#include "network/library/KJAFSecurityPolicy.h"

#include <gtest/gtest.h>

#include "platform/CaptureLogSink.h"
#include "sample-server/SampleServer.h"

namespace brindlecue {
namespace {

using platform::SecCertificate;
using platform::SecPolicy;
using platform::SecTrust;

class KJAFSecurityPolicyTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.start();
        other.start();
    }
    // The trust a TLS connection to the server presents.
    std::shared_ptr<SecTrust> serverTrust() {
        return SecTrust::create({SecCertificate::createWithData(server.certificateDER())},
                                {SecPolicy::createSSL(true, "127.0.0.1")});
    }
    std::set<platform::Data> pins(const sampleserver::SampleServer& s) {
        return {s.certificateDER()};
    }
    sampleserver::SampleServer server{{.tls = true}};
    sampleserver::SampleServer other{{.tls = true}};
};

TEST_F(KJAFSecurityPolicyTest, TheDefaultPolicyRefusesTheSelfSignedServer) {
    auto policy = KJAFSecurityPolicy::defaultPolicy();
    EXPECT_EQ(policy->SSLPinningMode, KJAFSSLPinningModeNone);
    EXPECT_TRUE(policy->validatesDomainName);
    EXPECT_FALSE(policy->allowInvalidCertificates);
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(), "127.0.0.1"));
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(), std::nullopt));
}

TEST_F(KJAFSecurityPolicyTest, AllowingInvalidCertificatesWithoutPinningNeedsNoHostCheck) {
    platform::CaptureLogSink log;
    auto policy = KJAFSecurityPolicy::defaultPolicy();
    policy->allowInvalidCertificates = true;
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(), "127.0.0.1"));
    ASSERT_EQ(log.messages().size(), 1u);
    EXPECT_EQ(log.messages()[0], "In order to validate a domain name for self signed certificates, you MUST use pinning.");
    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust(), std::nullopt));
}

TEST_F(KJAFSecurityPolicyTest, CertificatePinning) {
    auto policy = KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModeCertificate, pins(server));
    // Refusing invalid certificates, the self-signed server fails the first evaluation.
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(), "127.0.0.1"));
    policy->allowInvalidCertificates = true;
    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust(), "127.0.0.1"));
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(), "example.com"));

    auto wrongPin = KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModeCertificate, pins(other));
    wrongPin->allowInvalidCertificates = true;
    EXPECT_FALSE(wrongPin->evaluateServerTrust(serverTrust(), "127.0.0.1"));
}

TEST_F(KJAFSecurityPolicyTest, PublicKeyPinning) {
    auto policy = KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModePublicKey, pins(server));
    ASSERT_TRUE(policy->pinnedPublicKeys());
    EXPECT_EQ(policy->pinnedPublicKeys()->size(), 1u);
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust(), "127.0.0.1"));
    policy->allowInvalidCertificates = true;
    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust(), "127.0.0.1"));

    auto wrongKey = KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModePublicKey, pins(other));
    wrongKey->allowInvalidCertificates = true;
    EXPECT_FALSE(wrongKey->evaluateServerTrust(serverTrust(), "127.0.0.1"));

    policy->setPinnedCertificates(std::nullopt);
    EXPECT_FALSE(policy->pinnedPublicKeys());
    // Data that makes no certificate contributes no key.
    policy->setPinnedCertificates(std::set<platform::Data>{{1, 2, 3}});
    EXPECT_TRUE(policy->pinnedPublicKeys()->empty());
    EXPECT_FALSE(KJAFSecurityPolicy::policyWithPinningMode(7, pins(server))->evaluateServerTrust(serverTrust(), {}));
}

}  // namespace
}  // namespace brindlecue
