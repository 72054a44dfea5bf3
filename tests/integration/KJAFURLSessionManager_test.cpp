// The URL session manager's blocks for challenges, caching, downloads that start as data tasks,
// resumed downloads and background sessions, against the sample server.

#include "network/library/KJAFURLSessionManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>

#include "platform/AppContainer.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionDelegate.h"
#include "platform/foundation/URLSessionTask.h"
#include "sample-server/SampleServer.h"
#include "support/SampleRoutes.h"

namespace brindlecue {
namespace {

using platform::Error;
using platform::RunLoop;
using platform::URLSessionAuthChallengeDisposition;
using platform::Value;

std::string content(size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) text += static_cast<char>('0' + i % 10);
    return text;
}

// What a task's completion handler got.
struct Completion {
    std::atomic<bool> done{false};
    std::shared_ptr<platform::URLResponse> response;
    Value object;
    std::optional<Error> error;
    KJAFURLSessionManager::CompletionHandler handler() {
        return [this](std::shared_ptr<platform::URLResponse> r, Value o, std::optional<Error> e) {
            response = r;
            object = o;
            error = e;
            done = true;
        };
    }
    bool wait() {
        return RunLoop::main().runUntil([this] { return done.load(); }, 20);
    }
    int status() const {
        auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response);
        return http ? http->statusCode() : 0;
    }
};

class KJAFURLSessionManagerTest : public ::testing::Test {
protected:
    void SetUp() override { server.start(); }
    void TearDown() override { manager->session()->invalidateAndCancel(); }
    platform::URLRequest request(const std::string& path) {
        return platform::URLRequest(platform::URL::fromString(server.baseURL() + path));
    }

    sampleserver::SampleServer server;
    platform::URLSessionConfiguration configuration =
        platform::URLSessionConfiguration::ephemeralSessionConfiguration();
    std::shared_ptr<KJAFURLSessionManager> manager = KJAFURLSessionManager::create(configuration);
};

TEST_F(KJAFURLSessionManagerTest, TheTaskChallengeBlockAnswersAServersRequestForCredentials) {
    auto guarded = testsupport::route("GET", "/private", 200, "hello");
    guarded.basicAuth = "user:secret";
    server.addRoute(guarded);

    // Without a block, a challenge other than server trust gets default handling: the 401 is the answer.
    Completion refused;
    manager->dataTaskWithRequest(request("/private"), refused.handler())->resume();
    ASSERT_TRUE(refused.wait());
    EXPECT_EQ(refused.status(), 401);
    EXPECT_EQ(refused.error->code(), -1011);

    std::vector<int> failureCounts;
    manager->setTaskDidReceiveAuthenticationChallengeBlock(
        [&](const auto&, const auto&, const platform::URLAuthenticationChallenge& challenge,
            std::shared_ptr<platform::URLCredential>* credential) {
            failureCounts.push_back(challenge.previousFailureCount());
            *credential = platform::URLCredential::withUser("user", "secret",
                                                            platform::URLCredential::Persistence::ForSession);
            return URLSessionAuthChallengeDisposition::UseCredential;
        });
    Completion accepted;
    manager->dataTaskWithRequest(request("/private"), accepted.handler())->resume();
    ASSERT_TRUE(accepted.wait());
    EXPECT_EQ(accepted.status(), 200);
    EXPECT_EQ(accepted.object, Value("hello"));
    EXPECT_EQ(failureCounts, std::vector<int>{0});
}

TEST_F(KJAFURLSessionManagerTest, TheWillCacheBlockDecidesWhatTheURLCacheKeeps) {
    server.addRoute(testsupport::route("GET", "/a", 200, "[1]", {{"Cache-Control", "max-age=60"}}));
    server.addRoute(testsupport::route("GET", "/b", 200, "[2]", {{"Cache-Control", "max-age=60"}}));
    std::atomic<int> asked{0};
    manager->setDataTaskWillCacheResponseBlock(
        [&](const auto&, const auto&, const std::shared_ptr<platform::CachedURLResponse>& proposed) {
            ++asked;
            return proposed->response()->url()->path() == "/a" ? proposed : nullptr;
        });
    for (const char* path : {"/a", "/b"}) {
        Completion c;
        manager->dataTaskWithRequest(request(path), c.handler())->resume();
        ASSERT_TRUE(c.wait());
    }
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(configuration.urlCache->cachedResponseForRequest(request("/a")));
    EXPECT_FALSE(configuration.urlCache->cachedResponseForRequest(request("/b")));
}

TEST_F(KJAFURLSessionManagerTest, ADataTaskThatBecomesADownloadKeepsItsTaskDelegate) {
    server.addRoute(testsupport::route("GET", "/file", 200, content(3000)));
    manager->setDataTaskDidReceiveResponseBlock([](const auto&, const auto&, const auto&) {
        return platform::URLSessionResponseDisposition::BecomeDownload;
    });
    std::shared_ptr<platform::URLSessionDataTask> from;
    std::shared_ptr<platform::URLSessionDownloadTask> to;
    manager->setDataTaskDidBecomeDownloadTaskBlock(
        [&](const auto&, const auto& dataTask, const auto& downloadTask) {
            from = dataTask;
            to = downloadTask;
        });
    auto destination = platform::AppContainer::temporaryDirectory() / "file.txt";
    manager->setDownloadTaskDidFinishDownloadingBlock([&](const auto&, const auto&, const platform::URL&) {
        return platform::URL::fileURL(destination.string());
    });

    Completion c;
    auto task = manager->dataTaskWithRequest(request("/file"), c.handler());
    task->resume();
    ASSERT_TRUE(c.wait());
    EXPECT_EQ(from, task);
    ASSERT_TRUE(to);
    EXPECT_EQ(to->taskDescription(), manager->taskDescriptionForSessionTasks());
    // The data task's completion handler now reports the download: the file it was moved to.
    EXPECT_EQ(c.object, Value(platform::URL::fileURL(destination.string()).absoluteString()));
    EXPECT_EQ(std::filesystem::file_size(destination), 3000u);
    EXPECT_FALSE(manager->delegateForTask(task));
}

TEST_F(KJAFURLSessionManagerTest, ADownloadGoesOnFromResumeDataAndTheResumeBlockHearsWhere) {
    auto big = testsupport::route("GET", "/big", 200, content(60000));
    big.etag = "\"e\"";
    big.acceptsRanges = true;
    big.stallAfterBytes = 20000;
    big.stallSeconds = 30;
    server.addRoute(big);
    std::atomic<int64_t> written{0};
    manager->setDownloadTaskDidWriteDataBlock(
        [&](const auto&, const auto&, int64_t, int64_t total, int64_t) { written = total; });
    std::vector<std::pair<int64_t, int64_t>> resumed;
    manager->setDownloadTaskDidResumeBlock([&](const auto&, const auto&, int64_t offset, int64_t expected) {
        resumed.emplace_back(offset, expected);
    });

    Completion first;
    auto task = manager->downloadTaskWithRequest(request("/big"), nullptr, nullptr, first.handler());
    task->resume();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return written == 20000; }));
    std::optional<platform::Data> resumeData;
    std::atomic<bool> produced{false};
    task->cancelByProducingResumeData([&](std::optional<platform::Data> data) {
        resumeData = data;
        produced = true;
    });
    ASSERT_TRUE(first.wait());
    ASSERT_TRUE(produced && resumeData);
    EXPECT_EQ(first.error->code(), -999);

    auto destination = platform::AppContainer::temporaryDirectory() / "big.txt";
    Completion second;
    manager
        ->downloadTaskWithResumeData(
            *resumeData, nullptr,
            [&](const platform::URL&, const auto&) { return platform::URL::fileURL(destination.string()); },
            second.handler())
        ->resume();
    ASSERT_TRUE(second.wait());
    EXPECT_FALSE(second.error);
    EXPECT_EQ(resumed, (std::vector<std::pair<int64_t, int64_t>>{{20000, 60000}}));
    EXPECT_EQ(std::filesystem::file_size(destination), 60000u);
}

TEST_F(KJAFURLSessionManagerTest, TheBackgroundEventsBlockRunsOnTheMainQueue) {
    server.addRoute(testsupport::route("GET", "/ping", 200, "{}"));
    auto background = KJAFURLSessionManager::create(
        platform::URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("com.brindlecue.bg"));
    std::atomic<bool> called{false};
    bool onMain = false;
    background->setDidFinishEventsForBackgroundURLSessionBlock([&](const auto& session) {
        onMain = platform::isMainThread();
        EXPECT_EQ(session, background->session());
        called = true;
    });
    Completion c;
    background->dataTaskWithRequest(request("/ping"), c.handler())->resume();
    // The completion runs on its own way (serialization, then the main queue): both are awaited.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return called.load() && c.done.load(); }));
    EXPECT_TRUE(onMain);
    background->session()->invalidateAndCancel();
}

}  // namespace
}  // namespace brindlecue
