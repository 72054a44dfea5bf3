// Copying and archiving of the session managers and of what they hold.

#include "network/library/KJAFHTTPSessionManager.h"

#include <gtest/gtest.h>

#include "network/library/KJAFJSONRequestSerializer.h"
#include "network/library/KJAFPropertyListResponseSerializer.h"
#include "network/library/KJAFSecurityPolicy.h"
#include "platform/foundation/URLSession.h"

namespace brindlecue {
namespace {

using platform::KeyedArchiver;
using platform::KeyedUnarchiver;

platform::URLSessionConfiguration configured() {
    auto configuration =
        platform::URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("bg.id");
    configuration.timeoutIntervalForRequest = 15;
    configuration.httpAdditionalHeaders = {{"X-Extra", "1"}};
    configuration.httpShouldSetCookies = false;
    return configuration;
}

void expectConfigured(const platform::URLSessionConfiguration& c) {
    EXPECT_EQ(c.identifier, "bg.id");
    EXPECT_EQ(c.timeoutIntervalForRequest, 15);
    EXPECT_EQ(c.httpAdditionalHeaders, (platform::HTTPHeaderFields{{"X-Extra", "1"}}));
    EXPECT_FALSE(c.httpShouldSetCookies);
}

std::shared_ptr<KJAFHTTPSessionManager> configuredManager() {
    auto manager = KJAFHTTPSessionManager::create(platform::URL::fromString("https://api.example.test/v3"),
                                                  configured());
    auto request = KJAFJSONRequestSerializer::serializer();
    request->setValue("key", "X-App-Key");
    manager->setRequestSerializer(request);
    manager->setResponseSerializer(KJAFPropertyListResponseSerializer::serializerWithFormat(200, 0));
    auto policy =
        KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModePublicKey, std::set<platform::Data>{});
    policy->allowInvalidCertificates = true;
    policy->validatesDomainName = false;
    manager->setSecurityPolicy(policy);
    return manager;
}

// What a copy and a manager read back from an archive must both have.
void expectSameAsConfigured(const std::shared_ptr<KJAFURLSessionManager>& made,
                            const std::shared_ptr<KJAFHTTPSessionManager>& original) {
    auto manager = std::dynamic_pointer_cast<KJAFHTTPSessionManager>(made);
    ASSERT_TRUE(manager);
    EXPECT_NE(manager, original);
    EXPECT_NE(manager->session(), original->session());
    EXPECT_EQ(manager->baseURL()->absoluteString(), "https://api.example.test/v3/");
    expectConfigured(manager->sessionConfiguration());
    auto request = std::dynamic_pointer_cast<KJAFJSONRequestSerializer>(manager->requestSerializer());
    ASSERT_TRUE(request);
    EXPECT_NE(request, original->requestSerializer());
    EXPECT_EQ(request->valueForHTTPHeaderField("X-App-Key"), "key");
    auto response =
        std::dynamic_pointer_cast<KJAFPropertyListResponseSerializer>(manager->responseSerializer());
    ASSERT_TRUE(response);
    EXPECT_EQ(response->format, 200u);
    auto policy = manager->securityPolicy();
    ASSERT_TRUE(policy);
    EXPECT_NE(policy, original->securityPolicy());
    EXPECT_EQ(policy->SSLPinningMode, KJAFSSLPinningModePublicKey);
    EXPECT_TRUE(policy->allowInvalidCertificates);
    EXPECT_FALSE(policy->validatesDomainName);
    ASSERT_TRUE(policy->pinnedCertificates());
    EXPECT_TRUE(policy->pinnedCertificates()->empty());
}

TEST(KJAFSessionManagerCoding, AnHTTPManagerIsCopiedAndArchivedWithWhatItHolds) {
    auto original = configuredManager();
    expectSameAsConfigured(original->copy(), original);
    auto back = KeyedUnarchiver::unarchivedObjectOfClass<KJAFHTTPSessionManager>(
        KeyedArchiver::archivedDataWithRootObject(*original));
    ASSERT_TRUE(back);
    expectSameAsConfigured(back, original);
    back->session()->invalidateAndCancel();
    original->session()->invalidateAndCancel();
}

TEST(KJAFSessionManagerCoding, AURLSessionManagerKeepsOnlyItsConfiguration) {
    auto original = KJAFURLSessionManager::create(configured());
    original->setResponseSerializer(KJAFPropertyListResponseSerializer::serializer());
    for (const auto& made :
         {original->copy(),
          std::dynamic_pointer_cast<KJAFURLSessionManager>(
              KeyedUnarchiver::unarchivedObject(KeyedArchiver::archivedDataWithRootObject(*original)))}) {
        ASSERT_TRUE(made);
        EXPECT_FALSE(std::dynamic_pointer_cast<KJAFHTTPSessionManager>(made));
        expectConfigured(made->sessionConfiguration());
        EXPECT_FALSE(
            std::dynamic_pointer_cast<KJAFPropertyListResponseSerializer>(made->responseSerializer()));
        made->session()->invalidateAndCancel();
    }
    original->session()->invalidateAndCancel();
}

}  // namespace
}  // namespace brindlecue
