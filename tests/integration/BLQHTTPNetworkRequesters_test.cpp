// The HTTP requesters against the sample server: each request reaches its path and its answer
// becomes JSON.

#include <gtest/gtest.h>

#include <mutex>

#include "network/BLQFeedHTTPNetworkRequester.h"
#include "network/BLQHTTPManager.h"
#include "network/BLQHTTPRequestError.h"
#include "network/BLQInstallHTTPNetworkRequester.h"
#include "network/BLQNetworkTestDoubles_test.h"
#include "network/BLQTagHTTPNetworkRequester.h"
#include "network/BLQUpdateHTTPNetworkRequester.h"
#include "platform/dispatch/RunLoop.h"

namespace brindlecue {
namespace {

using platform::URL;
using platform::Value;

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

BLQInstallDTO install(std::optional<std::string> installId) {
    return BLQInstallDTO(std::move(installId), 7, "app-key", "3.0.3", "1.0", "Other", "x86_64", "native",
                         "17.0", std::nullopt, std::nullopt, std::nullopt, false, std::nullopt, std::nullopt,
                         std::nullopt);
}

TEST(HTTPRequestersServerTest, EachRequestReachesItsPathAndItsAnswerBecomesJSON) {
    sampleserver::SampleServer server;
    server.start();
    server.addRoute(testing::route("POST", "/v3/installs", 201, R"({"id":"abc"})"));
    server.addRoute(testing::route("PATCH", "/v3/installs/abc", 200, R"({"updated":true})"));
    server.addRoute(testing::route("DELETE", "/v3/tags/.*", 204));
    auto config = std::make_shared<testing::FakeConfigManager>();
    config->host = server.baseURL();
    auto details = std::make_shared<testing::FakeAppDetails>();
    details->id = 42;
    details->install = "abc";
    auto http =
        std::make_shared<BLQHTTPManager>(details, std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>{});

    Callbacks installed, updated, fetched, deleted;
    std::make_shared<BLQInstallHTTPNetworkRequester>(http, config)
        ->sendInstallRequest(install({}), installed.success(), installed.failure());
    ASSERT_TRUE(installed.wait());
    std::make_shared<BLQUpdateHTTPNetworkRequester>(http, config)
        ->sendInstallUpdateRequest(install("abc"), updated.success(), updated.failure());
    ASSERT_TRUE(updated.wait());
    std::make_shared<BLQFeedHTTPNetworkRequester>(http, config)
        ->fetchFeeds(fetched.success(), fetched.failure());
    ASSERT_TRUE(fetched.wait());
    std::make_shared<BLQTagHTTPNetworkRequester>(http, config, details)
        ->sendDeleteRequest("plan", deleted.success(), deleted.failure());
    ASSERT_TRUE(deleted.wait());

    EXPECT_EQ((*installed.json)["id"].stringValue(), "abc");
    EXPECT_EQ(installed.url->absoluteString(), server.baseURL() + "/v3/installs");
    EXPECT_TRUE((*updated.json)["updated"].boolValue());
    EXPECT_EQ(fetched.requestError().underlyingError()->code(), 404);  // the feed has no route
    EXPECT_EQ(*deleted.json, Value::dictionary());

    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(journal[0].method + " " + journal[0].path, "POST /v3/installs");
    EXPECT_EQ((*Value::fromJSON(journal[0].body))["app_key"].stringValue(), "app-key");
    EXPECT_EQ(journal[1].method + " " + journal[1].path, "PATCH /v3/installs/abc");
    EXPECT_EQ(journal[2].method + " " + journal[2].path, "GET /v3/feeds");
    EXPECT_EQ(journal[3].method + " " + journal[3].path, "DELETE /v3/tags/42%7Cabc%7Cplan");
}

}  // namespace
}  // namespace brindlecue
