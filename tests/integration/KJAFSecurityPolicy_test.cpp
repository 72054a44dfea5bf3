#include "network/library/KJAFSecurityPolicy.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/AppContainer.h"
#include "platform/Bundle.h"
#include "platform/CaptureLogSink.h"
#include "platform/KeyedArchiver.h"
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

// A certificate made here: a certificate authority of its own, or a server certificate for
// "127.0.0.1" that an authority signed.
struct Issued {
    std::shared_ptr<EVP_PKEY> key;
    std::shared_ptr<X509> certificate;
    platform::Data der;
};

Issued issue(const char* commonName, const Issued* authority) {
    Issued out;
    out.key = std::shared_ptr<EVP_PKEY>(EVP_EC_gen("P-256"), EVP_PKEY_free);
    out.certificate = std::shared_ptr<X509>(X509_new(), X509_free);
    X509* cert = out.certificate.get();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), authority ? 2 : 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 60 * 60);
    X509_set_pubkey(cert, out.key.get());
    X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* issuer = authority ? authority->certificate.get() : cert;
    X509_set_issuer_name(cert, X509_get_subject_name(issuer));
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    const std::vector<std::pair<int, const char*>> extensions =
        authority ? std::vector<std::pair<int, const char*>>{{NID_basic_constraints, "critical,CA:FALSE"},
                                                             {NID_key_usage, "critical,digitalSignature"},
                                                             {NID_ext_key_usage, "serverAuth"},
                                                             {NID_subject_alt_name, "IP:127.0.0.1"}}
                  : std::vector<std::pair<int, const char*>>{{NID_basic_constraints, "critical,CA:TRUE"},
                                                             {NID_key_usage, "critical,keyCertSign,cRLSign"},
                                                             {NID_subject_key_identifier, "hash"}};
    for (const auto& [nid, value] : extensions) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
        EXPECT_TRUE(extension) << value;
        if (!extension) continue;
        X509_add_ext(cert, extension, -1);
        X509_EXTENSION_free(extension);
    }
    EXPECT_NE(X509_sign(cert, authority ? authority->key.get() : out.key.get(), EVP_sha256()), 0);
    const int length = i2d_X509(cert, nullptr);
    out.der.resize(static_cast<size_t>(std::max(length, 0)));
    unsigned char* p = out.der.data();
    i2d_X509(cert, &p);
    return out;
}

// Certificate pinning checks the chain the server sent: one that validates against the pinned
// certificates as anchors but holds none of them is refused.
TEST(KJAFSecurityPolicyChains, AChainThatValidatesButHoldsNoPinnedCertificateIsRefused) {
    const Issued authority = issue("Pinning test authority", nullptr);
    const Issued server = issue("127.0.0.1", &authority);
    auto trustOf = [](const std::vector<const Issued*>& chain) {
        std::vector<std::shared_ptr<SecCertificate>> certificates;
        for (const Issued* c : chain) certificates.push_back(SecCertificate::createWithData(c->der));
        return SecTrust::create(certificates, {SecPolicy::createSSL(true, "127.0.0.1")});
    };
    auto anchored = trustOf({&server});
    anchored->setAnchorCertificates({SecCertificate::createWithData(authority.der)});
    ASSERT_TRUE(anchored->evaluateWithError()) << "the server's chain validates under the authority";

    auto pinned = KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModeCertificate,
                                                            std::set<platform::Data>{authority.der});
    pinned->allowInvalidCertificates = true;
    EXPECT_FALSE(pinned->evaluateServerTrust(trustOf({&server}), "127.0.0.1"));
    // The same chain with the pinned certificate in it, or a pin on the server's own certificate.
    EXPECT_TRUE(pinned->evaluateServerTrust(trustOf({&server, &authority}), "127.0.0.1"));
    auto serverPinned = KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModeCertificate,
                                                                  std::set<platform::Data>{server.der});
    serverPinned->allowInvalidCertificates = true;
    EXPECT_TRUE(serverPinned->evaluateServerTrust(trustOf({&server}), "127.0.0.1"));
}

constexpr const char* kChildCertificate = "BRINDLECUE_PIN_CERTIFICATE";
constexpr const char* kChildMark = "BRINDLECUE_PIN_MARK";

platform::Data readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return platform::Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The child of the test below, in a process of its own since the default pins are read once per
// process: the resource bundle holds the certificate file given (and files that are no
// certificates); the default pins are that certificate, and pin its server. Skipped when run on
// its own.
TEST(KJAFSecurityPolicyChild, DefaultPins) {
    const char* certificateFile = std::getenv(kChildCertificate);
    const char* mark = std::getenv(kChildMark);
    if (certificateFile == nullptr || mark == nullptr) GTEST_SKIP() << "runs as a child of the test below";
    namespace fs = std::filesystem;
    const platform::Data der = readFile(certificateFile);
    ASSERT_FALSE(der.empty());
    const fs::path bundle = platform::Bundle::main()->path() / "BrindlecueResources.bundle";
    fs::create_directories(bundle / "folder.cer");
    fs::copy_file(certificateFile, bundle / "server.cer");
    std::ofstream(bundle / "notes.txt") << "not a certificate";
    std::ofstream(bundle / "server.cer.txt") << "not one either";

    EXPECT_EQ(KJAFSecurityPolicy::defaultPinnedCertificates(), std::set<platform::Data>{der});
    auto policy = KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModeCertificate);
    ASSERT_TRUE(policy->pinnedCertificates());
    EXPECT_EQ(*policy->pinnedCertificates(), std::set<platform::Data>{der});
    policy->allowInvalidCertificates = true;
    EXPECT_TRUE(policy->evaluateServerTrust(
        SecTrust::create({SecCertificate::createWithData(der)}, {SecPolicy::createSSL(true, "127.0.0.1")}),
        "127.0.0.1"));

    // Read once: a certificate added afterwards is not pinned by default.
    std::ofstream(bundle / "later.cer", std::ios::binary) << "later";
    EXPECT_EQ(KJAFSecurityPolicy::defaultPinnedCertificates().size(), 1u);
    if (!::testing::Test::HasFailure()) std::ofstream(mark) << "checked";
}

TEST_F(KJAFSecurityPolicyTest, TheDefaultPinsAreTheCertificatesOfTheResourceBundle) {
    namespace fs = std::filesystem;
    const fs::path certificate = platform::AppContainer::temporaryDirectory() / "pinned.der";
    const fs::path mark = platform::AppContainer::temporaryDirectory() / "child-checked";
    {
        const auto der = server.certificateDER();
        std::ofstream(certificate, std::ios::binary).write(reinterpret_cast<const char*>(der.data()),
                                                            static_cast<std::streamsize>(der.size()));
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A fresh image: the parent's worker threads do not exist in a forked child.
        setenv(kChildCertificate, certificate.c_str(), 1);
        setenv(kChildMark, mark.c_str(), 1);
        execl("/proc/self/exe", "integration_tests", "--gtest_filter=KJAFSecurityPolicyChild.DefaultPins", nullptr);
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(fs::exists(mark)) << "the child made its checks";
}

TEST_F(KJAFSecurityPolicyTest, APinnedPolicyKeepsItsPinsThroughACopyAndAnArchive) {
    auto policy = KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModeCertificate, pins(server));
    policy->allowInvalidCertificates = true;
    auto archived = KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModePublicKey, pins(server));
    archived->allowInvalidCertificates = true;
    archived->validatesDomainName = false;
    auto back = platform::KeyedUnarchiver::unarchivedObjectOfClass<KJAFSecurityPolicy>(
        platform::KeyedArchiver::archivedDataWithRootObject(*archived));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->SSLPinningMode, KJAFSSLPinningModePublicKey);
    EXPECT_TRUE(back->allowInvalidCertificates);
    EXPECT_FALSE(back->validatesDomainName);
    ASSERT_TRUE(back->pinnedCertificates());
    EXPECT_EQ(*back->pinnedCertificates(), pins(server));
    // The keys are derived again from the pins that came back.
    ASSERT_TRUE(back->pinnedPublicKeys());
    EXPECT_EQ(back->pinnedPublicKeys()->size(), 1u);
    EXPECT_TRUE(back->evaluateServerTrust(serverTrust(), "127.0.0.1"));

    auto copied = policy->copy();
    EXPECT_NE(copied, policy);
    EXPECT_EQ(*copied->pinnedCertificates(), pins(server));
    EXPECT_TRUE(copied->evaluateServerTrust(serverTrust(), "127.0.0.1"));

    // A policy without pins archives none and reads back without them.
    auto plain = platform::KeyedUnarchiver::unarchivedObjectOfClass<KJAFSecurityPolicy>(
        platform::KeyedArchiver::archivedDataWithRootObject(*KJAFSecurityPolicy::defaultPolicy()));
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->pinnedCertificates());
    EXPECT_TRUE(plain->validatesDomainName);
}

}  // namespace
}  // namespace brindlecue
