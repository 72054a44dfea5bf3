#include "network/BLQHTTPManager.h"

#include <gtest/gtest.h>

#include <mutex>

#include "facade/BLQFacadeLink.h"
#include "network/BLQ409HTTPErrorHandler.h"
#include "network/BLQ429HTTPErrorHandler.h"
#include "network/BLQNetworkTestDoubles_test.h"
#include "platform/Date.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLError.h"

namespace brindlecue {
namespace {

using testing::route;

class BLQHTTPManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::useVirtual();
        server.start();
        BLQFacadeLink::setConfigManager(config);
    }
    void TearDown() override { BLQFacadeLink::setConfigManager(nullptr); }

    // Sends one request and waits for its completion; also returns the disabled time the
    // completion found.
    std::pair<BLQHTTPResult, std::optional<double>> send(const std::string& method, const std::string& path,
                                                         const std::string& url = "") {
        std::mutex mutex;
        std::optional<std::pair<BLQHTTPResult, std::optional<double>>> outcome;
        auto completion = [&](const BLQHTTPResult& result) {
            std::lock_guard lock(mutex);
            outcome.emplace(result, config->disabledTime());
        };
        auto target = *platform::URL::fromString(url.empty() ? server.baseURL() + path : url);
        if (method == "GET") manager->get(target, completion);
        if (method == "POST") manager->post(target, platform::Data{'{', '}'}, completion);
        if (method == "DELETE") manager->delete_(target, completion);
        EXPECT_TRUE(platform::RunLoop::main().runUntil([&] {
            std::lock_guard lock(mutex);
            return outcome.has_value();
        }));
        return *outcome;
    }
    // The disabled time stored by a 429 answer with these headers, as its failure's completion saw it.
    std::optional<double> pauseAfter429(sampleserver::Headers headers) {
        server.addRoute(route("GET", "/busy", 429, "", std::move(headers)));
        auto [result, seen] = send("GET", "/busy");
        EXPECT_EQ(result.error().code(), 429);
        return seen;
    }
    double now() const { return platform::Date::now().timeIntervalSinceReferenceDate(); }

    sampleserver::SampleServer server;
    std::shared_ptr<testing::RecordingLoggerManager> logs = testing::RecordingLoggerManager::install();
    std::shared_ptr<testing::FakeConfigManager> config = std::make_shared<testing::FakeConfigManager>();
    std::shared_ptr<testing::FakeAppDetails> details = std::make_shared<testing::FakeAppDetails>();
    std::shared_ptr<BLQHTTPManager> manager = std::make_shared<BLQHTTPManager>(
        details, std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>{
                     std::make_shared<BLQ409HTTPErrorHandler>(), std::make_shared<BLQ429HTTPErrorHandler>()});
};

TEST_F(BLQHTTPManagerTest, RequestsCarryTheAppHeadersAndKeepValuesOnceKnown) {
    server.addRoute(route("*", "/echo", 200, "{}"));
    details->key = "key-1";
    ASSERT_TRUE(send("GET", "/echo").first.isSuccess());
    details->id = 42;
    details->install = "inst-9";
    details->token = "tok";
    ASSERT_TRUE(send("POST", "/echo").first.isSuccess());
    // The provider no longer knows the install: what was sent stays on the requests.
    details->id.reset();
    details->install = details->token = std::nullopt;
    ASSERT_TRUE(send("DELETE", "/echo").first.isSuccess());

    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[0].method, "GET");
    EXPECT_EQ(journal[0].body, "");
    EXPECT_EQ(journal[0].header("X-App-Key"), "key-1");
    EXPECT_EQ(journal[0].header("X-Version"), "3.0.3");
    EXPECT_EQ(journal[0].header("X-App-Id") + journal[0].header("X-Installid"), "");
    EXPECT_EQ(journal[1].body, "{}");
    const auto& last = journal[2];
    EXPECT_EQ(last.method, "DELETE");
    EXPECT_EQ(last.header("Content-Type"), "application/json");
    EXPECT_EQ(last.header("X-App-Id"), "42");
    EXPECT_EQ(last.header("X-Installid"), "inst-9");
    EXPECT_EQ(last.header("X-Install-Token"), "tok");
}

TEST_F(BLQHTTPManagerTest, StatusesBelow400SucceedAndErrorStatusesFailInTheClientsDomain) {
    server.addRoute(route("GET", "/empty", 204));
    auto empty = send("GET", "/empty").first;
    ASSERT_TRUE(empty.isSuccess());
    EXPECT_TRUE(empty.data().empty());
    EXPECT_EQ(std::dynamic_pointer_cast<platform::HTTPURLResponse>(empty.response())->statusCode(), 204);

    auto missing = send("GET", "/nowhere").first;
    ASSERT_FALSE(missing.isSuccess());
    EXPECT_EQ(missing.error().domain(), "HTTPManager");
    EXPECT_EQ(missing.error().code(), 404);
    EXPECT_EQ(logs->count("Networking: "), 0u);
}

TEST_F(BLQHTTPManagerTest, ConflictIsOnlyLoggedByItsHandler) {
    server.addRoute(route("GET", "/conflict", 409));
    auto [result, seen] = send("GET", "/conflict");
    EXPECT_EQ(result.error().domain(), "HTTPManager");
    EXPECT_EQ(result.error().code(), 409);
    auto lines = logs->lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0].message.rfind("Networking: handle Response Status Code 409: <NSHTTPURLResponse> { URL: " +
                                   server.baseURL() + "/conflict }",
                               0),
        0u)
        << lines[0].message;
    EXPECT_EQ(lines[1],
              (testing::LogLine{"Networking: not yet handling 409 errors, still work-in-progress", 2}));
    EXPECT_EQ(seen, std::nullopt);
}

TEST_F(BLQHTTPManagerTest, TooManyRequestsPausesTheLibraryBeforeTheFailureArrives) {
    EXPECT_EQ(pauseAfter429({{"retry-after", "120"}}), now() + 120);
    EXPECT_EQ(logs->count("Networking: handle Response Status Code 429: "), 1u);
    // The header's name is matched whatever its letter case.
    EXPECT_EQ(pauseAfter429({{"Retry-After", "0.5"}}), now() + 0.5);
}

TEST_F(BLQHTTPManagerTest, MissingOrUnreadableRetryAfterPausesAnHour) {
    EXPECT_EQ(pauseAfter429({}), now() + 3600);
    EXPECT_EQ(pauseAfter429({{"retry-after", "inf"}}), now() + 3600);
}

TEST(BLQ429HTTPErrorHandlerTest, RetryAfterReadsOnlyWholeFiniteNumbers) {
    EXPECT_EQ(BLQ429HTTPErrorHandler::parseRetryAfter("120"), 120.0);
    EXPECT_EQ(BLQ429HTTPErrorHandler::parseRetryAfter("+3"), 3.0);
    for (const char* text :
         {"", " 120", "120 ", "120s", "Wed, 21 Oct 2026 07:28:00 GMT", "nan", "-inf", "1e999", "+", "+-1"}) {
        EXPECT_EQ(BLQ429HTTPErrorHandler::parseRetryAfter(text), std::nullopt) << text;
    }
}

TEST_F(BLQHTTPManagerTest, UnreachableHostFailsWithThePlatformsError) {
    // Nothing listens on port 1 of the loopback.
    auto result = send("GET", "", "http://127.0.0.1:1/v3/feeds").first;
    ASSERT_FALSE(result.isSuccess());
    EXPECT_EQ(result.error().domain(), platform::URLError::kDomain);
    EXPECT_TRUE(
        logs->contains("Networking: Failed to handle error as it was not a valid HTTPURLResponse object", 2));
}

}  // namespace
}  // namespace brindlecue
