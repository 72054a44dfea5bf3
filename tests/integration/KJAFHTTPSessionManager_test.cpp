#include "network/library/KJAFHTTPSessionManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "network/library/KJAFSecurityPolicy.h"
#include "platform/AppContainer.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionTask.h"
#include "sample-server/SampleServer.h"
#include "support/SampleRoutes.h"

namespace brindlecue {
namespace {

using platform::Error;
using platform::Notification;
using platform::NotificationCenter;
using platform::RunLoop;
using platform::Value;
using sampleserver::Route;
using testsupport::route;

// What one verb reported, and where.
struct Outcome {
    std::atomic<bool> done{false};
    std::shared_ptr<platform::URLSessionTask> task;
    Value object;
    std::optional<Error> error;
    bool onMain = false;
    std::string queueLabel;

    KJAFHTTPSessionManager::Success success() {
        return [this](const std::shared_ptr<platform::URLSessionTask>& t, const Value& o) {
            task = t;
            object = o;
            record();
        };
    }
    KJAFHTTPSessionManager::Failure failure() {
        return [this](const std::shared_ptr<platform::URLSessionTask>& t, const Error& e) {
            task = t;
            error = e;
            record();
        };
    }
    void record() {
        onMain = platform::isMainThread();
        queueLabel = platform::DispatchQueue::currentLabel();
        done = true;
    }
    bool wait() { return RunLoop::main().runUntil([this] { return done.load(); }, 20); }
};

class KJAFHTTPSessionManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.start();
        manager = KJAFHTTPSessionManager::create(platform::URL::fromString(server.baseURL() + "/api"));
    }
    void TearDown() override {
        for (auto& o : observers) NotificationCenter::defaultCenter().removeObserver(o);
    }
    void observe(const char* name, std::vector<Notification>* into) {
        observers.push_back(NotificationCenter::defaultCenter().addObserver(
            name, nullptr, nullptr, [into](const Notification& n) {
                EXPECT_TRUE(platform::isMainThread());
                into->push_back(n);
            }));
    }
    sampleserver::SampleServer server;
    std::shared_ptr<KJAFHTTPSessionManager> manager;
    std::vector<std::shared_ptr<platform::NotificationObserver>> observers;
};

TEST_F(KJAFHTTPSessionManagerTest, ResolvesAgainstTheBaseURL) {
    EXPECT_EQ(manager->baseURL()->absoluteString(), server.baseURL() + "/api/");
    auto bare = KJAFHTTPSessionManager::create(platform::URL::fromString(server.baseURL()));
    EXPECT_EQ(bare->baseURL()->absoluteString(), server.baseURL());
    server.addRoute(route("GET", "/api/x", 200, R"({"where":"api"})"));
    server.addRoute(route("GET", "/x", 200, R"({"where":"root"})"));
    Outcome relative, absolute;
    manager->GET("x", Value(), nullptr, relative.success(), relative.failure());
    manager->GET("/x", Value(), nullptr, absolute.success(), absolute.failure());
    ASSERT_TRUE(relative.wait() && absolute.wait());
    EXPECT_EQ(relative.object["where"], Value("api"));
    EXPECT_EQ(absolute.object["where"], Value("root"));
}

TEST_F(KJAFHTTPSessionManagerTest, CompletesOnTheMainQueueAndPostsTheTaskNotifications) {
    std::vector<Notification> resumed, completed;
    observe(KJMossgroveTaskDidResumeNotification, &resumed);
    observe(KJMossgroveTaskDidCompleteNotification, &completed);
    server.addRoute(route("GET", "/api/items", 200, R"({"items":[1,2]})"));

    std::vector<double> fractions;
    Outcome outcome;
    auto task = manager->GET(
        "items", Value::dictionary({{"q", "a b"}}), [&](platform::Progress& p) { fractions.push_back(p.fractionCompleted()); },
        outcome.success(), outcome.failure());
    ASSERT_TRUE(task);
    EXPECT_EQ(task->taskDescription(), manager->taskDescriptionForSessionTasks());
    ASSERT_TRUE(outcome.wait());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return completed.size() == 1; }));
    EXPECT_TRUE(outcome.onMain);
    EXPECT_EQ(outcome.task, task);
    EXPECT_EQ(outcome.object["items"], Value::array({1, 2}));
    EXPECT_EQ(server.journal().at(0).query, "q=a%20b");

    ASSERT_EQ(resumed.size(), 1u);
    EXPECT_EQ(resumed[0].object(), task);
    EXPECT_EQ(completed[0].object(), task);
    EXPECT_EQ(completed[0].userInfo()[KJMossgroveTaskDidCompleteSerializedResponseKey]["items"], Value::array({1, 2}));
    EXPECT_EQ(completed[0].userInfo()[KJMossgroveTaskDidCompleteResponseDataKey].getData()->size(), 15u);
    EXPECT_TRUE(completed[0].object<void>(KJMossgroveTaskDidCompleteResponseSerializerKey));
    EXPECT_FALSE(fractions.empty());
    EXPECT_EQ(fractions.back(), 1.0);
    // The delegate leaves the table once its task has completed (on the session's queue, which
    // may come after the notification reached the main queue).
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return !manager->delegateForTask(task); }));

    // Resuming again, or a task that is not the manager's (another description), announces nothing.
    task->resume();
    auto foreign = manager->session()->dataTaskWithRequest(platform::URLRequest(platform::URL::fromString(server.baseURL())));
    foreign->resume();
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(resumed.size(), 1u);
    foreign->cancel();
}

TEST_F(KJAFHTTPSessionManagerTest, RunsCompletionsOnTheCompletionQueue) {
    manager->setCompletionQueue(platform::DispatchQueue::serial("test.completion"));
    std::vector<Notification> completed;
    observe(KJMossgroveTaskDidCompleteNotification, &completed);
    server.addRoute(route("POST", "/api/missing", 404, R"({"detail":"no"})"));
    Outcome outcome;
    manager->POST("missing", Value::dictionary({{"a", 1}}), KJAFHTTPSessionManager::ProgressBlock(), outcome.success(),
                  outcome.failure());
    ASSERT_TRUE(outcome.wait());
    EXPECT_FALSE(outcome.onMain);
    EXPECT_EQ(outcome.queueLabel, "test.completion");
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), -1011);
    EXPECT_TRUE(outcome.object.isAbsent());
    EXPECT_EQ(server.journal().at(0).body, "a=1");
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return completed.size() == 1; }));
    EXPECT_EQ(completed[0].object<Error>(KJMossgroveTaskDidCompleteErrorKey)->code(), -1011);
    EXPECT_EQ(completed[0].userInfo()[KJMossgroveTaskDidCompleteSerializedResponseKey]["detail"], Value("no"));
}

TEST_F(KJAFHTTPSessionManagerTest, TransportAndBuildingFailures) {
    std::vector<Notification> completed;
    observe(KJMossgroveTaskDidCompleteNotification, &completed);
    Route drop = route("GET", "/api/drop", 200, "");
    drop.closeConnection = true;
    server.addRoute(drop);
    Outcome dropped;
    manager->GET("drop", Value(), nullptr, dropped.success(), dropped.failure());
    ASSERT_TRUE(dropped.wait());
    ASSERT_TRUE(dropped.error);
    EXPECT_EQ(dropped.error->domain(), platform::URLError::kDomain);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return completed.size() == 1; }));
    EXPECT_TRUE(completed[0].object<Error>(KJMossgroveTaskDidCompleteErrorKey));

    auto serializer = KJAFHTTPRequestSerializer::serializer();
    serializer->setQueryStringSerializationWithBlock(
        [](const platform::URLRequest&, const Value&, std::optional<Error>* e) {
            *e = Error("test", 5);
            return std::optional<std::string>();
        });
    manager->setRequestSerializer(serializer);
    Outcome unbuilt;
    EXPECT_FALSE(manager->GET("x", Value::dictionary({{"a", 1}}), nullptr, unbuilt.success(), unbuilt.failure()));
    ASSERT_TRUE(unbuilt.wait());
    EXPECT_FALSE(unbuilt.task);
    EXPECT_EQ(unbuilt.error->code(), 5);
    EXPECT_EQ(server.journal().size(), 1u);
}

TEST_F(KJAFHTTPSessionManagerTest, EveryVerbThatCannotBuildItsRequestFailsWithoutATask) {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    serializer->setQueryStringSerializationWithBlock(
        [](const platform::URLRequest&, const Value&, std::optional<Error>* e) {
            *e = Error("test", 6);
            return std::optional<std::string>();
        });
    manager->setRequestSerializer(serializer);
    const Value parameters = Value::dictionary({{"a", 1}});
    Outcome put, patch, del, head;
    EXPECT_FALSE(manager->PUT("x", parameters, put.success(), put.failure()));
    EXPECT_FALSE(manager->PATCH("x", parameters, patch.success(), patch.failure()));
    EXPECT_FALSE(manager->DELETE("x", parameters, del.success(), del.failure()));
    EXPECT_FALSE(manager->HEAD(
        "x", parameters, [&](const std::shared_ptr<platform::URLSessionTask>&) { ADD_FAILURE(); }, head.failure()));
    // Without a failure block nothing is told, and nothing is sent either.
    EXPECT_FALSE(manager->POST("x", parameters, nullptr, nullptr, nullptr));
    for (Outcome* o : {&put, &patch, &del, &head}) {
        ASSERT_TRUE(o->wait());
        EXPECT_FALSE(o->task);
        EXPECT_EQ(o->error->code(), 6);
        EXPECT_TRUE(o->onMain);
    }
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(server.journal().empty());
}

TEST_F(KJAFHTTPSessionManagerTest, AnOutcomeWithoutItsBlockCallsNeitherBlock) {
    server.addRoute(route("PUT", "/api/put", 200, R"({"a":1})"));
    server.addRoute(route("PATCH", "/api/patch", 500, R"({"a":1})"));
    std::atomic<int> calls{0};
    // A success with only a failure block, and a failure with only a success block.
    manager->PUT("put", Value(), nullptr, [&](const auto&, const Error&) { ++calls; });
    manager->PATCH("patch", Value(), [&](const auto&, const Value&) { ++calls; }, nullptr);
    ASSERT_TRUE(server.waitForRequests(2));
    std::vector<Notification> completed;
    observe(KJMossgroveTaskDidCompleteNotification, &completed);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return completed.size() == 2; }));
    EXPECT_EQ(calls, 0);
}

TEST_F(KJAFHTTPSessionManagerTest, HeadSuccessGetsNoBody) {
    server.addRoute(route("HEAD", "/api/h", 200, R"({"a":1})"));
    std::atomic<bool> done{false};
    manager->HEAD("h", Value(), [&](const std::shared_ptr<platform::URLSessionTask>& t) { done = t != nullptr; },
                  [&](const auto&, const Error&) { ADD_FAILURE(); });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return done.load(); }));
}

TEST_F(KJAFHTTPSessionManagerTest, StreamsAMultipartBodyToTheServer) {
    auto file = platform::AppContainer::root() / "big.png";
    std::string content;
    for (int i = 0; i < 200000; ++i) content += static_cast<char>('a' + i % 26);
    std::ofstream(file, std::ios::binary) << content;
    server.addRoute(route("POST", "/api/screenshots", 201, R"({"ok":true})"));

    std::vector<double> fractions;
    Outcome outcome;
    manager->POST(
        "screenshots", Value::dictionary({{"name", "home"}}),
        [&](KJAFMultipartFormData& form) {
            std::optional<Error> error;
            EXPECT_TRUE(form.appendPartWithFileURL(platform::URL::fileURL(file.string()), "image", &error));
        },
        [&](platform::Progress& p) { fractions.push_back(p.fractionCompleted()); }, outcome.success(),
        outcome.failure());
    ASSERT_TRUE(outcome.wait());
    ASSERT_FALSE(outcome.error) << outcome.error->description();
    EXPECT_EQ(outcome.object["ok"], Value(true));
    auto entry = server.journal().at(0);
    std::string type = entry.header("Content-Type");
    ASSERT_EQ(type.rfind("multipart/form-data; boundary=Boundary+", 0), 0u);
    std::string boundary = type.substr(type.find('=') + 1);
    EXPECT_EQ(entry.header("Content-Length"), std::to_string(entry.body.size()));
    EXPECT_NE(entry.body.find("name=\"name\"\r\n\r\nhome\r\n"), std::string::npos);
    EXPECT_NE(entry.body.find("filename=\"big.png\"\r\nContent-Type: image/png\r\n\r\n" + content + "\r\n--" + boundary +
                              "--\r\n"),
              std::string::npos);
    ASSERT_FALSE(fractions.empty());
    EXPECT_EQ(fractions.back(), 1.0);
}

TEST(KJAFHTTPSessionManagerTLS, TheSecurityPolicyDecidesServerTrust) {
    sampleserver::SampleServer server({.tls = true});
    server.start();
    server.addRoute(route("GET", "/secure", 200, R"({"s":1})"));
    auto manager = KJAFHTTPSessionManager::create(std::nullopt);

    Outcome refused;
    manager->GET(server.baseURL() + "/secure", Value(), nullptr, refused.success(), refused.failure());
    ASSERT_TRUE(refused.wait());
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code(), platform::URLError::Cancelled);

    auto pinned = KJAFSecurityPolicy::policyWithPinningMode(KJAFSSLPinningModeCertificate,
                                                            std::set<platform::Data>{server.certificateDER()});
    pinned->allowInvalidCertificates = true;
    manager->setSecurityPolicy(pinned);
    Outcome accepted;
    manager->GET(server.baseURL() + "/secure", Value(), nullptr, accepted.success(), accepted.failure());
    ASSERT_TRUE(accepted.wait());
    ASSERT_FALSE(accepted.error) << accepted.error->description();
    EXPECT_EQ(accepted.object["s"], Value(1));
}

}  // namespace
}  // namespace brindlecue
