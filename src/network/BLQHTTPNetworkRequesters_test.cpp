// The HTTP requesters and their shared answer handling.

#include <gtest/gtest.h>

#include <list>
#include <mutex>

#include "network/BLQFeedHTTPNetworkRequester.h"
#include "network/BLQHTTPManager.h"
#include "network/BLQHTTPRequestError.h"
#include "network/BLQInstallHTTPNetworkRequester.h"
#include "network/BLQNetworkTestDoubles_test.h"
#include "network/BLQTagHTTPNetworkRequester.h"
#include "network/BLQUpdateHTTPNetworkRequester.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/HTTPURLResponse.h"

namespace brindlecue {
namespace {

using platform::URL;
using platform::Value;
using Kind = BLQHTTPRequestError::Kind;

// Answers every request at once with a canned result and records the method and URL.
class FakeHTTPManager final : public BLQIHTTPManager {
public:
    std::optional<BLQHTTPResult> answer;
    std::vector<std::string> requests;

    void delete_(const URL& url, Completion c) override { handle("DELETE", url, c); }
    void get(const URL& url, Completion c) override { handle("GET", url, c); }
    void patch(const URL& url, const platform::Data&, Completion c) override { handle("PATCH", url, c); }
    void post(const URL& url, const platform::Data&, Completion c) override { handle("POST", url, c); }

private:
    void handle(const std::string& method, const URL& url, const Completion& completion) {
        requests.push_back(method + " " + url.absoluteString());
        if (answer) completion(*answer);
    }
};

// What the callbacks of one request received.
struct Callbacks {
    std::mutex mutex;
    int calls = 0;
    std::optional<Value> json;
    std::optional<URL> url;
    std::optional<platform::Error> error;

    BLQRequestSuccessBlock success() {
        return [this](const Value& j, const URL& u) {
            std::lock_guard lock(mutex);
            ++calls, json = j, url = u;
        };
    }
    BLQRequestFailureBlock failure() {
        return [this](const platform::Error& e) {
            std::lock_guard lock(mutex);
            ++calls, error = e;
        };
    }
    bool wait() {
        return platform::RunLoop::main().runUntil([this] {
            std::lock_guard lock(mutex);
            return calls > 0;
        });
    }
    BLQHTTPRequestError requestError() const { return *BLQHTTPRequestError::fromError(*error); }
};

BLQHTTPResult answer(int status, const std::string& body,
                     const std::string& url = "https://api.example.test/x") {
    auto response = std::make_shared<platform::HTTPURLResponse>(*URL::fromString(url), status,
                                                                platform::HTTPHeaderFields{});
    return BLQHTTPResult::success(platform::Data(body.begin(), body.end()), response);
}

BLQInstallDTO install(std::optional<std::string> installId) {
    return BLQInstallDTO(std::move(installId), 7, "app-key", "3.0.3", "1.0", "Other", "x86_64", "native",
                         "17.0", std::nullopt, std::nullopt, std::nullopt, false, std::nullopt, std::nullopt,
                         std::nullopt);
}

class JSONResponseHandlerTest : public ::testing::Test {
protected:
    // The shared handling of one result with the prefix "Feed"; exactly one callback must run.
    Callbacks& handle(const BLQHTTPResult& result) {
        auto& c = callbacks.emplace_back();
        BLQIHTTPJSONResponseHandler().handleExpectedJSONResponse(result, "Feed", requestUrl, c.success(),
                                                                 c.failure());
        EXPECT_EQ(c.calls, 1);
        return c;
    }

    std::shared_ptr<testing::RecordingLoggerManager> logs = testing::RecordingLoggerManager::install();
    URL requestUrl = *URL::fromString("https://api.example.test/v3/feeds");
    std::list<Callbacks> callbacks;
};

TEST_F(JSONResponseHandlerTest, SuccessCarriesTheJSONObjectOrAnEmptyOne) {
    EXPECT_EQ((*handle(answer(200, R"({"feeds":[1]})")).json)["feeds"][0].integerValue(), 1);
    for (const char* body : {"", "[1,2]", "3"})
        EXPECT_EQ(*handle(answer(200, body)).json, Value::dictionary());
    // The answer's own URL (after redirections) wins over the request's.
    EXPECT_EQ(handle(answer(204, "", "https://api.example.test/moved")).url->absoluteString(),
              "https://api.example.test/moved");
    auto lines = logs->lines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[8].message, "Feed: status code: 204");
    EXPECT_EQ(lines[9].message.rfind(
                  "Feed: response: <NSHTTPURLResponse> { URL: https://api.example.test/moved", 0),
              0u);
}

TEST_F(JSONResponseHandlerTest, FailuresBecomeRequestErrors) {
    auto failed = handle(BLQHTTPResult::failure(platform::Error("HTTPManager", 404))).requestError();
    EXPECT_EQ(failed.kind(), Kind::networkRequestFailed);
    EXPECT_EQ(failed.underlyingError()->code(), 404);
    EXPECT_TRUE(logs->lines().empty());

    auto notModified = answer(304, "");
    auto unknown = handle(notModified).requestError();
    EXPECT_EQ(unknown.kind(), Kind::unknownError);
    EXPECT_EQ(unknown.message(),
              "Feed: Error occurred. Response code: 304, response: " + notModified.response()->description());

    EXPECT_EQ(handle(answer(200, "{oops")).requestError().kind(), Kind::failedToParseResponse);

    // An answer that is not HTTP (a host of another scheme) must still reach a callback.
    auto file =
        std::make_shared<platform::URLResponse>(*URL::fromString("file:///x"), std::nullopt, 0, std::nullopt);
    EXPECT_EQ(handle(BLQHTTPResult::success({}, file)).requestError().kind(), Kind::unknownError);
}

class HTTPRequestersTest : public ::testing::Test {
protected:
    // The message of the failure one request reports at once.
    std::string failureOf(const std::function<void(Callbacks&)>& send) {
        Callbacks c;
        send(c);
        EXPECT_EQ(c.calls, 1);
        if (!c.error) return "";
        EXPECT_EQ(c.requestError().kind(), Kind::invalidURL);
        return c.requestError().message();
    }
    void deleteTag(const std::string& key) {
        Callbacks c;
        std::make_shared<BLQTagHTTPNetworkRequester>(http, config, details)
            ->sendDeleteRequest(key, c.success(), c.failure());
    }

    std::shared_ptr<FakeHTTPManager> http = std::make_shared<FakeHTTPManager>();
    std::shared_ptr<testing::FakeConfigManager> config = std::make_shared<testing::FakeConfigManager>();
    std::shared_ptr<testing::FakeAppDetails> details = std::make_shared<testing::FakeAppDetails>();
};

TEST_F(HTTPRequestersTest, RequestsThatCannotBeBuiltFailAtOnce) {
    auto updater = std::make_shared<BLQUpdateHTTPNetworkRequester>(http, config);
    EXPECT_EQ(failureOf([&](Callbacks& c) {
                  updater->sendInstallUpdateRequest(install({}), c.success(), c.failure());
              }),
              "Update: No installId on Install object for Update Registration patch request: "
              "https://api.example.test/v3/installs");

    config->host = "https://api example.test";
    auto installer = std::make_shared<BLQInstallHTTPNetworkRequester>(http, config);
    EXPECT_EQ(failureOf([&](Callbacks& c) {
                  installer->sendInstallRequest(install("i"), c.success(), c.failure());
              }),
              "Install: Invalid URL for Install Registration post: https://api example.test/v3/installs");
    EXPECT_EQ(failureOf([&](Callbacks& c) {
                  updater->sendInstallUpdateRequest(install("i"), c.success(), c.failure());
              }),
              "Update: Invalid URL for Update Registration post: https://api example.test/v3/installs");
    auto feeds = std::make_shared<BLQFeedHTTPNetworkRequester>(http, config);
    EXPECT_EQ(failureOf([&](Callbacks& c) { feeds->fetchFeeds(c.success(), c.failure()); }),
              "Feed: Invalid URL for Feed request: https://api example.test/v3/feeds");

    auto tags = std::make_shared<BLQTagHTTPNetworkRequester>(http, config, details);
    details->install = "abc";
    EXPECT_EQ(failureOf([&](Callbacks& c) { tags->sendDeleteRequest("plan", c.success(), c.failure()); }),
              "Tag: No appId for deletion request, aborting request");
    details->id = 42;
    details->install.reset();
    EXPECT_EQ(failureOf([&](Callbacks& c) { tags->sendDeleteRequest("plan", c.success(), c.failure()); }),
              "Tag: No installId for deletion request, aborting request");
    EXPECT_TRUE(http->requests.empty());
}

TEST_F(HTTPRequestersTest, TagDeletionKeepsEveryPartInsideOnePathSegment) {
    details->id = 42;
    details->install = "abc";
    deleteTag("plan");
    deleteTag("a/b?c#d e");
    config->host = "https://api example.test";  // encoded rather than refused
    deleteTag("plan");
    EXPECT_EQ(http->requests, (std::vector<std::string>{
                                  "DELETE https://api.example.test/v3/tags/42%7Cabc%7Cplan",
                                  "DELETE https://api.example.test/v3/tags/42%7Cabc%7Ca%2Fb%3Fc%23d%20e",
                                  "DELETE https://api%20example.test/v3/tags/42%7Cabc%7Cplan",
                              }));
    auto url = URL::fromString(http->requests[1].substr(7));
    EXPECT_EQ(url->query(), std::nullopt);
    EXPECT_EQ(url->lastPathComponent(), "42|abc|a/b?c#d e");
}

}  // namespace
}  // namespace brindlecue
