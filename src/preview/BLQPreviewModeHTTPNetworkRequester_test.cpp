#include "preview/BLQPreviewModeHTTPNetworkRequester.h"

#include <gtest/gtest.h>

#include "network/BLQHTTPRequestError.h"
#include "network/BLQNetworkTestDoubles_test.h"
#include "preview/BLQPreviewModeValidator.h"
#include "preview/PreviewScene_test.h"

namespace brindlecue {
namespace {

using namespace platform;

struct Outcome {
    std::vector<Value> documents;
    std::vector<std::string> urls;
    std::vector<std::string> errors;
    BLQRequestSuccessBlock success() {
        return [this](const Value& json, const URL& url) {
            documents.push_back(json);
            urls.push_back(url.absoluteString());
        };
    }
    BLQRequestFailureBlock failure() {
        return [this](const Error& error) { errors.push_back(error.localizedDescription()); };
    }
};

class PreviewModeRequesterTest : public ::testing::Test {
protected:
    std::shared_ptr<previewscene::HeldHTTPManager> http = std::make_shared<previewscene::HeldHTTPManager>();
    std::shared_ptr<testing::FakeConfigManager> config = std::make_shared<testing::FakeConfigManager>();
    std::shared_ptr<testing::FakeAppDetails> details = std::make_shared<testing::FakeAppDetails>();
    std::shared_ptr<BLQPreviewModeHTTPNetworkRequester> requester =
        std::make_shared<BLQPreviewModeHTTPNetworkRequester>(http, config, details);
    Outcome outcome;
};

TEST_F(PreviewModeRequesterTest, TheStatusCheckGetsTheAppStatusDocument) {
    requester->fetchPreviewModeStatus(outcome.success(), outcome.failure());
    EXPECT_EQ(outcome.errors, std::vector<std::string>{"PreviewMode: No appKey found yet"});
    EXPECT_TRUE(http->held.empty());

    details->key = "key-1";
    config->host = "https://api.example.test:bad port";
    outcome = {};
    requester->fetchPreviewModeStatus(outcome.success(), outcome.failure());
    EXPECT_EQ(outcome.errors,
              std::vector<std::string>{
                  "PreviewMode: Invalid URL for Preview Mode request: https://api.example.test:bad "
                  "port/v3/apps/key-1/status"});
    EXPECT_TRUE(http->held.empty());

    config->host = "https://api.example.test";
    outcome = {};
    requester->fetchPreviewModeStatus(outcome.success(), outcome.failure());
    ASSERT_EQ(http->held.size(), 1u);
    EXPECT_EQ(http->held[0].method, "GET");
    EXPECT_EQ(http->held[0].url.absoluteString(), "https://api.example.test/v3/apps/key-1/status");
    const std::string body = R"({"app_status":{"preview_mode":"2026-01-01T10:00:00.000Z"}})";
    http->answer(0, 200, body);
    ASSERT_EQ(outcome.documents.size(), 1u);
    EXPECT_EQ(outcome.documents[0]["app_status"]["preview_mode"], Value("2026-01-01T10:00:00.000Z"));
    EXPECT_EQ(outcome.urls, std::vector<std::string>{"https://api.example.test/v3/apps/key-1/status"});

    requester->fetchPreviewModeStatus(outcome.success(), outcome.failure());
    http->answer(1, 503, "");
    ASSERT_EQ(outcome.errors.size(), 1u);
    EXPECT_EQ(outcome.errors[0].rfind("PreviewMode", 0), 0u) << outcome.errors[0];
}

TEST_F(PreviewModeRequesterTest, AcknowledgementFetchesTheFeedAndExitDeletesThePreviewTag) {
    int acked = 0, exited = 0;
    std::vector<std::string> failures;
    auto failed = [&](const Error& error) { failures.push_back(error.localizedDescription()); };

    // Without the facade neither has anyone to ask; the exit still succeeds.
    requester->ackPreviewModeConnection(
        "2026-01-01T10:00:00.000Z", [&] { ++acked; }, failed);
    requester->exitPreviewMode([&] { ++exited; }, failed);
    EXPECT_EQ(exited, 1);

    auto facade = std::make_shared<previewscene::Facade>();
    BLQPreviewModeLink::setFacade(facade);
    requester->ackPreviewModeConnection(
        "2026-01-01T10:00:00.000Z", [&] { ++acked; }, failed);
    ASSERT_EQ(facade->feeds->fetches.size(), 1u);
    EXPECT_FALSE(facade->feeds->fetches[0].has_value()) << "no since-date";
    EXPECT_EQ(acked, 0) << "the acknowledgement reports nothing";
    requester->exitPreviewMode([&] { ++exited; }, failed);
    EXPECT_EQ(facade->tags->deleted, std::vector<std::string>{"kj_preview_mode"});
    EXPECT_EQ(exited, 2);
    EXPECT_TRUE(failures.empty());
    EXPECT_TRUE(http->held.empty());

    BLQPreviewModeValidator validator;
    EXPECT_TRUE(validator.validateResponse(Value(), nullptr, "PreviewMode"));
}

}  // namespace
}  // namespace brindlecue
