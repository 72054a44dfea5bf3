// The URL session manager's blocks for challenges, caching, downloads that start as data tasks,
// resumed downloads and background sessions, against the sample server.

#include "network/library/KJAFURLSessionManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "network/library/KJAFXMLParserResponseSerializer.h"
#include "platform/AppContainer.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/Progress.h"
#include "platform/foundation/XMLParser.h"
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

namespace brindlecue {
namespace {

using platform::Error;
using platform::Notification;
using platform::NotificationCenter;
using platform::RunLoop;
using platform::Value;

// Notifications of one name, as the main queue received them.
class Heard {
public:
    explicit Heard(const char* name)
        : observer_(NotificationCenter::defaultCenter().addObserver(
              name, nullptr, nullptr, [this](const Notification& n) {
                  std::lock_guard lock(mutex_);
                  seen_.push_back(n);
              })) {}
    ~Heard() { NotificationCenter::defaultCenter().removeObserver(observer_); }
    std::vector<Notification> seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    size_t count() const { return seen().size(); }

private:
    mutable std::mutex mutex_;
    std::vector<Notification> seen_;
    std::shared_ptr<platform::NotificationObserver> observer_;
};

class KJAFURLSessionManagerTasksTest : public ::testing::Test {
protected:
    void SetUp() override { server.start(); }
    void TearDown() override { manager->session()->invalidateAndCancel(); }
    platform::URLRequest request(const std::string& path) {
        return platform::URLRequest(platform::URL::fromString(server.baseURL() + path));
    }
    platform::URLRequest post(const std::string& path) {
        auto r = request(path);
        r.setHTTPMethod("POST");
        return r;
    }
    // A route that answers only after the test is over (the task is cancelled before).
    void addStalledRoute(const std::string& path) {
        auto stalled = testsupport::route("GET", path, 200, content(100));
        stalled.stallAfterBytes = 10;
        stalled.stallSeconds = 30;
        server.addRoute(stalled);
    }

    sampleserver::SampleServer server;
    std::shared_ptr<KJAFURLSessionManager> manager =
        KJAFURLSessionManager::create(platform::URLSessionConfiguration::ephemeralSessionConfiguration());
};

TEST_F(KJAFURLSessionManagerTasksTest, TheManagerBlocksHearWhatEveryTaskSendsReceivesAndEndsWith) {
    server.addRoute(testsupport::route("POST", "/upload", 200, R"({"stored":true})"));
    server.addRoute(testsupport::route("GET", "/file", 200, content(5000)));
    std::mutex mutex;
    int64_t lastTotalSent = 0, expectedToSend = 0;
    size_t received = 0;
    std::vector<std::string> completed;
    manager->setTaskDidSendBodyDataBlock([&](const auto&, const auto&, int64_t, int64_t total, int64_t expected) {
        std::lock_guard lock(mutex);
        lastTotalSent = total;
        expectedToSend = expected;
    });
    manager->setDataTaskDidReceiveDataBlock([&](const auto&, const auto&, const platform::Data& data) {
        std::lock_guard lock(mutex);
        received += data.size();
    });
    manager->setTaskDidCompleteBlock([&](const auto&, const auto& task, const std::optional<Error>& error) {
        std::lock_guard lock(mutex);
        completed.push_back(task->originalRequest()->url()->path() + (error ? " failed" : " done"));
    });

    Completion upload;
    auto uploadTask = manager->uploadTaskWithRequest(post("/upload"), platform::Data(3000, 'u'), nullptr,
                                                     upload.handler());
    // While the task runs, its progress objects are those of its task delegate.
    auto uploadProgress = manager->uploadProgressForTask(uploadTask);
    ASSERT_TRUE(uploadProgress);
    EXPECT_EQ(uploadProgress, manager->delegateForTask(uploadTask)->uploadProgress);
    EXPECT_EQ(manager->downloadProgressForTask(uploadTask), manager->delegateForTask(uploadTask)->downloadProgress);
    uploadTask->resume();
    ASSERT_TRUE(upload.wait());
    EXPECT_EQ(upload.object["stored"], Value(true));
    EXPECT_EQ(uploadProgress->completedUnitCount(), 3000);
    EXPECT_EQ(uploadProgress->fractionCompleted(), 1.0);

    Completion download;
    manager->dataTaskWithRequest(request("/file"), download.handler())->resume();
    ASSERT_TRUE(download.wait());
    EXPECT_EQ(download.status(), 200);

    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        std::lock_guard lock(mutex);
        return completed.size() == 2;
    }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(lastTotalSent, 3000);
    EXPECT_EQ(expectedToSend, 3000);
    // The upload's answer and the download's body.
    EXPECT_EQ(received, 15u + 5000u);
    EXPECT_EQ(completed, (std::vector<std::string>{"/upload done", "/file done"}));
    // Once completed, a task has no delegate and so no progress.
    EXPECT_FALSE(manager->uploadProgressForTask(uploadTask));
    EXPECT_FALSE(manager->downloadProgressForTask(uploadTask));
}

TEST_F(KJAFURLSessionManagerTasksTest, AStreamedUploadTakesItsExpectedSizeFromTheContentLengthItWasGiven) {
    server.addRoute(testsupport::route("POST", "/stream", 200, "{}"));
    std::atomic<int64_t> expected{0};
    manager->setTaskDidSendBodyDataBlock(
        [&](const auto&, const auto&, int64_t, int64_t, int64_t total) { expected = total; });
    auto withLength = post("/stream");
    withLength.setHTTPBodyStream(platform::InputStream::withData(platform::Data(2000, 's')));
    withLength.setValue("2000", "Content-Length");
    Completion c;
    auto task = manager->uploadTaskWithStreamedRequest(withLength, nullptr, c.handler());
    task->resume();
    ASSERT_TRUE(c.wait());
    EXPECT_FALSE(c.error);
    EXPECT_EQ(expected, 2000);
    EXPECT_EQ(server.journal().at(0).body, std::string(2000, 's'));

    // A length that is no number leaves the total unknown.
    auto garbled = post("/stream");
    garbled.setHTTPBodyStream(platform::InputStream::withData(platform::Data(10, 's')));
    garbled.setValue("ten", "Content-Length");
    Completion second;
    manager->uploadTaskWithStreamedRequest(garbled, nullptr, second.handler())->resume();
    ASSERT_TRUE(second.wait());
    EXPECT_EQ(expected, platform::URLSessionTask::kTransferSizeUnknown);
}

TEST_F(KJAFURLSessionManagerTasksTest, TheRedirectionBlockMayRefuseOrRedirectElsewhere) {
    server.addRoute(testsupport::route("GET", "/old", 302, "", {{"Location", "/new"}}));
    server.addRoute(testsupport::route("GET", "/new", 200, R"({"at":"new"})"));
    server.addRoute(testsupport::route("GET", "/other", 200, R"({"at":"other"})"));

    // Without a block the proposed request is followed.
    Completion followed;
    manager->dataTaskWithRequest(request("/old"), followed.handler())->resume();
    ASSERT_TRUE(followed.wait());
    EXPECT_EQ(followed.object["at"], Value("new"));

    std::vector<std::string> proposed;
    manager->setTaskWillPerformHTTPRedirectionBlock(
        [&](const auto&, const auto&, const auto& response, const platform::URLRequest& next)
            -> std::optional<platform::URLRequest> {
            proposed.push_back(next.url()->path());
            EXPECT_EQ(std::dynamic_pointer_cast<platform::HTTPURLResponse>(response)->statusCode(), 302);
            if (proposed.size() == 1) return std::nullopt;
            return request("/other");
        });
    // Refused: the redirection answer itself is the answer.
    Completion refused;
    manager->dataTaskWithRequest(request("/old"), refused.handler())->resume();
    ASSERT_TRUE(refused.wait());
    EXPECT_EQ(refused.status(), 302);
    // Replaced: the block's request is sent instead.
    Completion elsewhere;
    manager->dataTaskWithRequest(request("/old"), elsewhere.handler())->resume();
    ASSERT_TRUE(elsewhere.wait());
    EXPECT_EQ(elsewhere.object["at"], Value("other"));
    EXPECT_EQ(proposed, (std::vector<std::string>{"/new", "/new"}));
}

TEST_F(KJAFURLSessionManagerTasksTest, AStreamedBodyRedirectedWithItsMethodIsSentAgainFromANewStream) {
    server.addRoute(testsupport::route("POST", "/moved", 307, "", {{"Location", "/here"}}));
    server.addRoute(testsupport::route("POST", "/here", 200, "{}"));
    auto streamed = [&] {
        auto r = post("/moved");
        r.setHTTPBodyStream(platform::InputStream::withData(platform::Data{'a', 'b', 'c'}));
        return r;
    };

    // Without a block the original request's stream is copied.
    Completion copied;
    manager->uploadTaskWithStreamedRequest(streamed(), nullptr, copied.handler())->resume();
    ASSERT_TRUE(copied.wait());
    EXPECT_FALSE(copied.error);
    ASSERT_EQ(server.journal().size(), 2u);
    EXPECT_EQ(server.journal()[1].path, "/here");
    EXPECT_EQ(server.journal()[1].body, "abc");

    // The block's stream is sent when it gives one.
    manager->setTaskNeedNewBodyStreamBlock([](const auto&, const auto&) {
        return platform::InputStream::withData(platform::Data{'x', 'y'});
    });
    Completion given;
    manager->uploadTaskWithStreamedRequest(streamed(), nullptr, given.handler())->resume();
    ASSERT_TRUE(given.wait());
    EXPECT_FALSE(given.error);
    ASSERT_EQ(server.journal().size(), 4u);
    EXPECT_EQ(server.journal()[3].body, "xy");

    // A block that gives none fails the task: the body cannot be sent again.
    manager->setTaskNeedNewBodyStreamBlock(
        [](const auto&, const auto&) { return std::shared_ptr<platform::InputStream>(); });
    Completion none;
    manager->uploadTaskWithStreamedRequest(streamed(), nullptr, none.handler())->resume();
    ASSERT_TRUE(none.wait());
    ASSERT_TRUE(none.error);
    EXPECT_EQ(none.error->domain(), "NSURLErrorDomain");
    EXPECT_EQ(server.journal().size(), 5u);
}

TEST_F(KJAFURLSessionManagerTasksTest, ListsTheSessionsUnfinishedTasksByKind) {
    auto data = manager->dataTaskWithRequest(request("/a"), nullptr);
    auto upload = manager->uploadTaskWithRequest(post("/b"), platform::Data{'1'}, nullptr, nullptr);
    auto download = manager->downloadTaskWithRequest(request("/c"), nullptr, nullptr, nullptr);
    using Tasks = std::vector<std::shared_ptr<platform::URLSessionTask>>;
    EXPECT_EQ(manager->dataTasks(), Tasks{data});
    EXPECT_EQ(manager->uploadTasks(), Tasks{upload});
    EXPECT_EQ(manager->downloadTasks(), Tasks{download});
    EXPECT_EQ(manager->tasks(), (Tasks{data, upload, download}));
    // A cancelled task is no longer listed once it has completed.
    data->cancel();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return manager->dataTasks().empty(); }));
    EXPECT_EQ(manager->tasks(), (Tasks{upload, download}));
}

TEST_F(KJAFURLSessionManagerTasksTest, ATasksProgressCancelsPausesAndResumesTheTask) {
    addStalledRoute("/slow");
    Heard suspended(KJMossgroveTaskDidSuspendNotification);
    Heard resumed(KJMossgroveTaskDidResumeNotification);
    Completion c;
    auto task = manager->dataTaskWithRequest(request("/slow"), c.handler());
    task->resume();
    auto progress = manager->downloadProgressForTask(task);
    ASSERT_TRUE(progress);
    EXPECT_TRUE(progress->isPausable());
    progress->pause();
    EXPECT_EQ(task->state(), platform::URLSessionTask::State::Suspended);
    progress->resume();
    EXPECT_EQ(task->state(), platform::URLSessionTask::State::Running);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return suspended.count() == 1 && resumed.count() == 2; }));
    EXPECT_EQ(suspended.seen()[0].object(), task);

    progress->cancel();
    ASSERT_TRUE(c.wait());
    EXPECT_EQ(c.error->code(), -999);
    EXPECT_TRUE(progress->isCancelled());
}

TEST_F(KJAFURLSessionManagerTasksTest, InvalidatingCancelsTheTasksOrLetsThemFinish) {
    addStalledRoute("/slow");
    Heard invalidated(KJAFURLSessionDidInvalidateNotification);
    std::atomic<bool> blockCalled{false};
    manager->setSessionDidBecomeInvalidBlock([&](const auto& session, const std::optional<Error>& error) {
        EXPECT_EQ(session, manager->session());
        EXPECT_FALSE(error);
        blockCalled = true;
    });
    Completion cancelled;
    manager->dataTaskWithRequest(request("/slow"), cancelled.handler())->resume();
    manager->invalidateSessionCancelingTasks(true);
    ASSERT_TRUE(cancelled.wait());
    EXPECT_EQ(cancelled.error->code(), -999);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return invalidated.count() == 1; }));
    EXPECT_TRUE(blockCalled);
    EXPECT_EQ(invalidated.seen()[0].object(), manager->session());
    // An invalidated session makes no more tasks.
    EXPECT_FALSE(manager->dataTaskWithRequest(request("/x"), nullptr));

    // Letting the tasks finish: the running one completes with its answer, then the session goes.
    server.addRoute(testsupport::route("GET", "/quick", 200, R"({"ok":1})"));
    auto second = KJAFURLSessionManager::create(platform::URLSessionConfiguration::ephemeralSessionConfiguration());
    Completion finished;
    second->dataTaskWithRequest(request("/quick"), finished.handler())->resume();
    second->invalidateSessionCancelingTasks(false);
    ASSERT_TRUE(finished.wait());
    EXPECT_FALSE(finished.error);
    EXPECT_EQ(finished.object["ok"], Value(1));
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return invalidated.count() == 2; }));
}

TEST_F(KJAFURLSessionManagerTasksTest, AnXMLAnswerTravelsAsAParserInTheNotificationOnly) {
    server.addRoute(testsupport::route("GET", "/doc", 200, "<a><b/></a>", {{"Content-Type", "application/xml"}}));
    manager->setResponseSerializer(KJAFXMLParserResponseSerializer::serializer());
    Heard completedNotes(KJMossgroveTaskDidCompleteNotification);
    Completion c;
    manager->dataTaskWithRequest(request("/doc"), c.handler())->resume();
    ASSERT_TRUE(c.wait());
    EXPECT_FALSE(c.error);
    EXPECT_TRUE(c.object.isAbsent());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return completedNotes.count() == 1; }));
    auto note = completedNotes.seen()[0];
    auto parser = note.object<platform::XMLParser>(KJMossgroveTaskDidCompleteSerializedResponseKey);
    ASSERT_TRUE(parser);
    EXPECT_TRUE(parser->parse());
    EXPECT_TRUE(note.userInfo()[KJMossgroveTaskDidCompleteSerializedResponseKey].isAbsent());
}

TEST_F(KJAFURLSessionManagerTasksTest, ADownloadThatCannotBeMovedIsReportedByNotification) {
    server.addRoute(testsupport::route("GET", "/file", 200, content(100)));
    Heard failedMoves(KJAFURLSessionDownloadTaskDidFailToMoveFileNotification);
    auto nowhere = platform::AppContainer::temporaryDirectory() / "missing-folder" / "file.txt";
    Completion c;
    auto task = manager->downloadTaskWithRequest(
        request("/file"), nullptr,
        [&](const platform::URL&, const auto&) { return platform::URL::fileURL(nowhere.string()); }, c.handler());
    task->resume();
    ASSERT_TRUE(c.wait());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return failedMoves.count() == 1; }));
    auto note = failedMoves.seen()[0];
    EXPECT_EQ(note.object(), task);
    EXPECT_EQ(note.userInfo()["NSFilePath"], Value(nowhere.string()));
    EXPECT_FALSE(std::filesystem::exists(nowhere));

    // The manager's block, when it gives a place, takes the download there instead of the task's.
    auto chosen = platform::AppContainer::temporaryDirectory() / "chosen.txt";
    manager->setDownloadTaskDidFinishDownloadingBlock(
        [&](const auto&, const auto&, const platform::URL&) { return platform::URL::fileURL(chosen.string()); });
    Completion second;
    manager
        ->downloadTaskWithRequest(
            request("/file"), nullptr,
            [&](const platform::URL&, const auto&) { return platform::URL::fileURL(nowhere.string()); },
            second.handler())
        ->resume();
    ASSERT_TRUE(second.wait());
    EXPECT_EQ(second.object, Value(platform::URL::fileURL(chosen.string()).absoluteString()));
    EXPECT_EQ(std::filesystem::file_size(chosen), 100u);
}

TEST_F(KJAFURLSessionManagerTasksTest, AnInvalidatedSessionMakesNoTaskOfAnyKindEvenWhenAskedAgain) {
    auto background = KJAFURLSessionManager::create(
        platform::URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("com.brindlecue.retry"));
    background->attemptsToRecreateUploadTasksForBackgroundSessions = true;
    background->session()->invalidateAndCancel();
    auto file = platform::AppContainer::temporaryDirectory() / "upload.bin";
    std::ofstream(file) << "data";
    EXPECT_FALSE(background->uploadTaskWithRequest(post("/u"), platform::URL::fileURL(file.string()), nullptr, nullptr));
    EXPECT_FALSE(background->uploadTaskWithRequest(post("/u"), platform::Data{'1'}, nullptr, nullptr));
    EXPECT_FALSE(background->uploadTaskWithStreamedRequest(post("/u"), nullptr, nullptr));
    EXPECT_FALSE(background->downloadTaskWithRequest(request("/d"), nullptr, nullptr, nullptr));
    EXPECT_FALSE(background->downloadTaskWithResumeData(platform::Data{'x'}, nullptr, nullptr, nullptr));
    EXPECT_TRUE(background->tasks().empty());
    EXPECT_TRUE(server.journal().empty());
}

TEST_F(KJAFURLSessionManagerTasksTest, WithoutASecurityPolicyEveryServerTrustIsRefused) {
    sampleserver::SampleServer tls({.tls = true});
    tls.start();
    tls.addRoute(testsupport::route("GET", "/x", 200, "{}"));
    manager->setSecurityPolicy(nullptr);
    Completion c;
    manager->dataTaskWithRequest(platform::URLRequest(platform::URL::fromString(tls.baseURL() + "/x")), c.handler())
        ->resume();
    ASSERT_TRUE(c.wait());
    ASSERT_TRUE(c.error);
    EXPECT_EQ(c.error->code(), -999);
    EXPECT_TRUE(tls.journal().empty());
}

TEST_F(KJAFURLSessionManagerTasksTest, ASessionDoesNotKeepItsManagerAliveAndItsTasksEndWithoutIt) {
    server.addRoute(testsupport::route("GET", "/late", 200, R"({"late":true})"));
    auto session = manager->session();
    auto task = manager->dataTaskWithRequest(request("/late"), nullptr);
    std::weak_ptr<KJAFURLSessionManager> weak = manager;
    manager = KJAFURLSessionManager::create(platform::URLSessionConfiguration::ephemeralSessionConfiguration());
    EXPECT_TRUE(weak.expired());
    task->resume();
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return task->state() == platform::URLSessionTask::State::Completed; }, 20));
    EXPECT_EQ(server.journal().size(), 1u);
    session->invalidateAndCancel();
}

}  // namespace
}  // namespace brindlecue
