// The URL cache as sessions use it: which answers are kept, when a kept answer is used as it is,
// when it is checked with the server first, and what the delegate decides.

#include "platform/foundation/URLCache.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "sample-server/SampleServer.h"
#include "support/RecordingSessionDelegate.h"
#include "support/SampleRoutes.h"

namespace brindlecue::platform {
namespace {

using testsupport::RecordingSessionDelegate;

class URLCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        server.start();
        auto configuration = URLSessionConfiguration::ephemeralSessionConfiguration();
        cache = configuration.urlCache;
        session = URLSession::create(configuration, recorder, recorder->queue);
    }
    void TearDown() override {
        session->invalidateAndCancel();
        Clock::useReal();
    }
    URLRequest request(const std::string& path) {
        return URLRequest(URL::fromString(server.baseURL() + path));
    }
    // Loads the request through the delegate and returns the events of that load.
    std::vector<std::string> load(const URLRequest& r) {
        recorder->reset();
        session->dataTaskWithRequest(r)->resume();
        EXPECT_TRUE(recorder->waitForCompletions(1));
        return recorder->eventList();
    }

    sampleserver::SampleServer server;
    std::shared_ptr<RecordingSessionDelegate> recorder = std::make_shared<RecordingSessionDelegate>();
    std::shared_ptr<URLCache> cache;
    std::shared_ptr<URLSession> session;
};

TEST_F(URLCacheTest, FreshAnswersComeFromTheCacheAndStaleOnesAreCheckedWithTheServer) {
    auto image = testsupport::route("GET", "/img", 200, "PNGDATA", {{"Cache-Control", "max-age=60"}});
    image.etag = "\"v1\"";
    server.addRoute(image);

    EXPECT_EQ(load(request("/img")), (std::vector<std::string>{"response 200", "will cache", "complete"}));
    EXPECT_EQ(recorder->bodyText(), "PNGDATA");
    ASSERT_TRUE(cache->cachedResponseForRequest(request("/img")));

    // Fresh: no traffic.
    EXPECT_EQ(load(request("/img")), (std::vector<std::string>{"response 200", "complete"}));
    EXPECT_EQ(recorder->bodyText(), "PNGDATA");
    EXPECT_EQ(server.journal().size(), 1u);

    // Stale: asked again with the entity tag; the 304 hands on the kept answer.
    Clock::advance(61);
    EXPECT_EQ(load(request("/img")), (std::vector<std::string>{"response 200", "complete"}));
    EXPECT_EQ(recorder->bodyText(), "PNGDATA");
    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[1].header("If-None-Match"), "\"v1\"");
    EXPECT_EQ(journal[1].status, 304);
    // Kept afresh: fresh again for another minute.
    EXPECT_EQ(load(request("/img")), (std::vector<std::string>{"response 200", "complete"}));
    EXPECT_EQ(server.journal().size(), 2u);

    // Reloading ignores what is kept, and keeps the new answer.
    URLRequest reload = request("/img");
    reload.setCachePolicy(URLRequest::CachePolicy::ReloadIgnoringLocalCacheData);
    EXPECT_EQ(load(reload), (std::vector<std::string>{"response 200", "will cache", "complete"}));
    journal = server.journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[2].header("If-None-Match"), "");
    EXPECT_EQ(journal[2].status, 200);
}

TEST_F(URLCacheTest, TheDelegateAndTheAnswerDecideWhatIsKept) {
    server.addRoute(testsupport::route("GET", "/a", 200, "first", {{"Cache-Control", "max-age=60"}}));
    server.addRoute(testsupport::route("GET", "/private", 200, "secret", {{"Cache-Control", "no-store"}}));
    server.addRoute(testsupport::route("*", "/post", 200, "posted", {{"Cache-Control", "max-age=60"}}));

    recorder->onWillCache = [](const std::shared_ptr<CachedURLResponse>&) { return nullptr; };
    load(request("/a"));
    EXPECT_FALSE(cache->cachedResponseForRequest(request("/a")));
    recorder->onWillCache = [](const std::shared_ptr<CachedURLResponse>& proposed) {
        return std::make_shared<CachedURLResponse>(proposed->response(), Data{'m', 'i', 'n', 'e'});
    };
    load(request("/a"));
    ASSERT_TRUE(cache->cachedResponseForRequest(request("/a")));
    load(request("/a"));
    EXPECT_EQ(recorder->bodyText(), "mine");
    EXPECT_EQ(server.journal().size(), 2u);

    EXPECT_EQ(load(request("/private")), (std::vector<std::string>{"response 200", "complete"}));
    EXPECT_FALSE(cache->cachedResponseForRequest(request("/private")));
    URLRequest post = request("/post");
    post.setHTTPMethod("POST");
    load(post);
    EXPECT_EQ(cache->currentMemoryUsage(), 4u);

    // A task with a completion handler keeps its answer without asking anybody.
    server.addRoute(testsupport::route("GET", "/b", 200, "second", {{"Cache-Control", "max-age=60"}}));
    std::atomic<bool> done = false;
    session->dataTaskWithRequest(request("/b"), [&](auto, auto, auto) { done = true; })->resume();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return done.load(); }));
    ASSERT_TRUE(
        RunLoop::main().runUntil([&] { return cache->cachedResponseForRequest(request("/b")) != nullptr; }));
    EXPECT_EQ(cache->cachedResponseForRequest(request("/b"))->data(), (Data{'s', 'e', 'c', 'o', 'n', 'd'}));
}

TEST_F(URLCacheTest, FreshnessComesFromExpiresOrLastModifiedAndNoCacheAlwaysAsks) {
    // Expires a minute after the answer's date: fresh for a minute.
    server.addRoute(testsupport::route("GET", "/expires", 200, "e",
                                       {{"Date", "Tue, 01 Jan 2030 00:00:00 GMT"},
                                        {"Expires", "Tue, 01 Jan 2030 00:01:00 GMT"}}));
    // Modified ten minutes before its date: fresh for a tenth of that, a minute.
    server.addRoute(testsupport::route("GET", "/modified", 200, "m",
                                       {{"Date", "Tue, 01 Jan 2030 00:10:00 GMT"},
                                        {"Last-Modified", "Tue, 01 Jan 2030 00:00:00 GMT"}}));
    // Kept, but always checked with the server.
    server.addRoute(testsupport::route("GET", "/no-cache", 200, "n",
                                       {{"Cache-Control", "no-cache"},
                                        {"Last-Modified", "Tue, 01 Jan 2030 00:00:00 GMT"}}));
    auto requestsTo = [&](const std::string& path) {
        size_t n = 0;
        for (const auto& entry : server.journal()) n += entry.path == path;
        return n;
    };
    for (const char* path : {"/expires", "/modified", "/no-cache"}) load(request(path));
    for (const char* path : {"/expires", "/modified", "/no-cache"}) load(request(path));
    EXPECT_EQ(requestsTo("/expires"), 1u);
    EXPECT_EQ(requestsTo("/modified"), 1u);
    EXPECT_EQ(requestsTo("/no-cache"), 2u);
    auto journal = server.journal();
    EXPECT_EQ(journal.back().header("If-Modified-Since"), "Tue, 01 Jan 2030 00:00:00 GMT");

    Clock::advance(61);
    for (const char* path : {"/expires", "/modified"}) load(request(path));
    EXPECT_EQ(requestsTo("/expires"), 2u);
    EXPECT_EQ(requestsTo("/modified"), 2u);
    EXPECT_EQ(recorder->bodyText(), "m");
}

}  // namespace
}  // namespace brindlecue::platform
