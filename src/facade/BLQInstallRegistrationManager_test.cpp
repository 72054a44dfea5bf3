// What the exchange with the sample server (tests/integration/InstallRegistration_test.cpp) cannot
// reach: the app-id rule and answers arriving on many threads at once.

#include "facade/BLQInstallRegistrationManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <thread>

#include "support/RecordingLoggerManager.h"
#include "support/RecordingRegistrationDelegate.h"
#include "support/StubConfigManager.h"

namespace brindlecue {
namespace {

using platform::Value;

TEST(BLQInstallRegistrationManager, AppIdIsTakenOnlyFromAWholeNumberWithinSixtyFourBits) {
    auto appId = [](Value value) {
        return BLQInstallRegistrationManager::appIdFromAnswer(Value::dictionary({{"app_id", value}}));
    };
    EXPECT_EQ(appId(42), 42);
    EXPECT_EQ(appId(42.0), 42);
    EXPECT_EQ(appId(-9223372036854775808.0), INT64_MIN);
    for (Value refused :
         {Value("42"), Value(4.5), Value(9223372036854775808.0), Value(NAN), Value(true), Value()})
        EXPECT_EQ(appId(refused), std::nullopt) << refused.description();
}

class Details final : public BLQIAppDetailsProvider {
public:
    std::optional<std::string> appKey() const override { return "app-key"; }
    std::optional<int64_t> appId() const override { return std::nullopt; }
    std::optional<std::string> carrier() const override { return "Other"; }
    std::string clientVersion() const override { return "1.0+1"; }
    std::string developmentPlatform() const override { return "native"; }
    std::optional<std::string> installId() const override { return std::nullopt; }
    std::optional<std::string> installToken() const override { return std::nullopt; }
    std::optional<std::string> model() const override { return "x86_64"; }
    std::string sdkVersion() const override { return "3.0.3"; }
};

// One stored install, handed out as a fresh copy on every read.
class OneInstallStore final : public BLQIInstallDataStore {
public:
    void createInstallForAppKey(const std::string&, std::function<void(CreateResult)>) override {}
    std::shared_ptr<BLQInstallDTO> getInstallForAppKey(const std::string& key) override {
        return std::make_shared<BLQInstallDTO>("install-1", std::nullopt, key, std::nullopt, std::nullopt,
                                               std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                               std::nullopt, std::nullopt, std::nullopt, false, std::nullopt,
                                               std::nullopt, std::nullopt);
    }
    void saveInstall(const std::shared_ptr<BLQInstallDTO>&) override {}
    void deleteInstall(const std::shared_ptr<BLQInstallDTO>&) override {}
};

// Keeps each request's document and success callback for the test to call.
class KeptRequests final : public BLQIInstallNetworkRequester {
public:
    std::vector<std::pair<Value, BLQRequestSuccessBlock>> requests;
    void sendInstallRequest(const BLQInstallDTO& install, BLQRequestSuccessBlock success,
                            BLQRequestFailureBlock) override {
        requests.emplace_back(install.asDictionary(), std::move(success));
    }
};

TEST(BLQInstallRegistrationManager, AnswersOnManyThreadsReplaceTheCurrentInstallSafely) {
    auto logs = testsupport::RecordingLoggerManager::install();
    auto requester = std::make_shared<KeptRequests>();
    auto delegate = std::make_shared<testsupport::RecordingRegistrationDelegate>();
    auto manager = std::make_shared<BLQInstallRegistrationManager>(
        std::make_shared<Details>(), std::make_shared<OneInstallStore>(),
        std::make_shared<testsupport::StubConfigManager>(), requester,
        BLQResponseValidator<BLQInstallValidator>(std::make_shared<BLQInstallValidator>()));
    manager->setDelegate(delegate);
    constexpr int kRegistrations = 8, kRounds = 400;
    for (int i = 0; i < kRegistrations; ++i) manager->registerInstallWithHandler(nullptr);
    ASSERT_EQ(requester->requests.size(), size_t(kRegistrations));

    const auto url = *platform::URL::fromString("https://api.example.test/v3/installs");
    std::atomic<bool> done{false};
    std::vector<std::thread> readers, answering;
    for (int r = 0; r < 6; ++r)
        readers.emplace_back([&] {
            while (!done) EXPECT_EQ(manager->getCurrentInstall()->installId, "install-1");
        });
    for (auto& request : requester->requests)
        answering.emplace_back([&] {
            auto& [document, success] = request;
            for (int round = 0; round < kRounds; ++round) success(document, url);
        });
    for (auto& t : answering) t.join();
    done = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(delegate->outcomes().size(), size_t(kRegistrations * kRounds));
    EXPECT_TRUE(manager->getCurrentInstall()->isRegisteredWithServer);
    requester->requests.clear();  // the kept callbacks hold the manager
}

}  // namespace
}  // namespace brindlecue
