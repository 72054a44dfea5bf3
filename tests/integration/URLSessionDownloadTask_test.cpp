// Downloads that start as data tasks, downloads that go on from resume data, and the end of a
// background session's events.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "platform/AppContainer.h"
#include "platform/Value.h"
#include "platform/dispatch/RunLoop.h"

#include "platform/foundation/URLError.h"
#include "sample-server/SampleServer.h"
#include "support/RecordingSessionDelegate.h"
#include "support/SampleRoutes.h"

namespace brindlecue::platform {
namespace {

using testsupport::RecordingSessionDelegate;

std::string content(size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) text += static_cast<char>('a' + i % 26);
    return text;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override { server.start(); }
    void TearDown() override {
        if (session) session->invalidateAndCancel();
    }
    void makeSession(
        URLSessionConfiguration configuration = URLSessionConfiguration::ephemeralSessionConfiguration()) {
        session = URLSession::create(std::move(configuration), recorder, recorder->queue);
    }
    std::optional<URL> url(const std::string& path) { return URL::fromString(server.baseURL() + path); }

    sampleserver::SampleServer server;
    std::shared_ptr<RecordingSessionDelegate> recorder = std::make_shared<RecordingSessionDelegate>();
    std::shared_ptr<URLSession> session;
};

TEST_F(DownloadTest, ADataTaskBecomesADownloadTaskThatFinishesTheLoad) {
    server.addRoute(testsupport::route("GET", "/file", 200, content(5000)));
    makeSession();
    recorder->disposition = URLSessionResponseDisposition::BecomeDownload;
    auto dataTask = session->dataTaskWithURL(*url("/file"));
    dataTask->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_EQ(recorder->eventList(),
              (std::vector<std::string>{"response 200", "became download", "downloaded", "complete"}));
    EXPECT_EQ(recorder->bodyText(), content(5000));
    EXPECT_EQ(dataTask->state(), URLSessionTask::State::Completed);
    ASSERT_TRUE(recorder->downloadTask);
    EXPECT_NE(recorder->downloadTask->taskIdentifier(), dataTask->taskIdentifier());
    EXPECT_EQ(recorder->downloadTask->countOfBytesReceived(), 5000);
}

TEST_F(DownloadTest, ACancelledDownloadGoesOnFromItsResumeData) {
    auto big = testsupport::route("GET", "/big", 200, content(100000));
    big.etag = "\"r1\"";
    big.acceptsRanges = true;
    big.stallAfterBytes = 40000;
    big.stallSeconds = 30;
    server.addRoute(big);
    makeSession();

    auto task = session->downloadTaskWithURL(*url("/big"));
    task->resume();
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        std::lock_guard lock(recorder->mutex);
        return recorder->written == 40000;
    }));
    std::optional<std::optional<Data>> resumeData;
    task->cancelByProducingResumeData([&](std::optional<Data> data) { resumeData = data; });
    ASSERT_TRUE(recorder->waitForCompletions(1));
    ASSERT_TRUE(resumeData && *resumeData);
    EXPECT_EQ(recorder->eventList(), std::vector<std::string>{"complete -999"});

    recorder->reset();
    session->downloadTaskWithResumeData(**resumeData)->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_EQ(recorder->eventList(),
              (std::vector<std::string>{"resumed 40000 of 100000", "downloaded", "complete"}));
    EXPECT_EQ(recorder->bodyText(), content(100000));
    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[1].header("Range"), "bytes=40000-");
    EXPECT_EQ(journal[1].header("If-Range"), "\"r1\"");
    EXPECT_EQ(journal[1].status, 206);
}

TEST_F(DownloadTest, DownloadsThatCannotGoOnGiveNoResumeData) {
    auto plain = testsupport::route("GET", "/plain", 200, content(1000));
    plain.stallAfterBytes = 500;
    plain.stallSeconds = 30;
    server.addRoute(plain);
    makeSession();

    // No entity tag nor date: the server could not be asked for the rest.
    auto task = session->downloadTaskWithURL(*url("/plain"));
    task->resume();
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        std::lock_guard lock(recorder->mutex);
        return recorder->written == 500;
    }));
    std::optional<std::optional<Data>> resumeData;
    task->cancelByProducingResumeData([&](std::optional<Data> data) { resumeData = data; });
    ASSERT_TRUE(recorder->waitForCompletions(1));
    ASSERT_TRUE(resumeData);
    EXPECT_FALSE(*resumeData);

    recorder->reset();
    session->downloadTaskWithResumeData(Data{'n', 'o'})->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_EQ(recorder->eventList(), std::vector<std::string>{"complete -3001"});
}

TEST_F(DownloadTest, ABackgroundSessionSaysWhenItsEventsAreDelivered) {
    server.addRoute(testsupport::route("GET", "/ping", 200, "pong"));
    makeSession(URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("com.brindlecue.test"));
    // Both tasks exist before either runs, so the session's events end only with the second completion.
    auto first = session->dataTaskWithURL(*url("/ping"));
    auto second = session->dataTaskWithURL(*url("/ping"));
    first->resume();
    second->resume();
    ASSERT_TRUE(recorder->waitForEvent("background events finished"));
    auto events = recorder->eventList();
    EXPECT_EQ(events.back(), "background events finished");
    EXPECT_EQ(std::count(events.begin(), events.end(), "complete"), 2);
    EXPECT_EQ(std::count(events.begin(), events.end(), "background events finished"), 1);
}

TEST_F(DownloadTest, ResumeDataThatDoesNotNameAWholePartialDownloadCannotGoOn) {
    makeSession();
    auto partial = platform::AppContainer::temporaryDirectory() / "partial.bin";
    std::ofstream(partial, std::ios::binary) << "abc";
    const Value whole = Value::dictionary({{URLSession::kResumeURLKey, server.baseURL() + "/big"},
                                           {URLSession::kResumeBytesKey, 3},
                                           {URLSession::kResumeFileKey, partial.string()},
                                           {URLSession::kResumeValidatorKey, "\"v\""}});
    auto without = [&](const char* key, Value replacement = Value()) {
        Value info = whole;
        replacement.isAbsent() ? (void)info.remove(key) : (void)info.set(key, replacement);
        return *info.toPropertyList(PropertyListFormat::Binary);
    };
    const std::vector<Data> cases = {
        without(URLSession::kResumeURLKey),   without(URLSession::kResumeFileKey),
        without(URLSession::kResumeValidatorKey), without(URLSession::kResumeBytesKey, 0),
        without(URLSession::kResumeFileKey, (platform::AppContainer::temporaryDirectory() / "gone.bin").string()),
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        recorder->reset();
        session->downloadTaskWithResumeData(cases[i])->resume();
        ASSERT_TRUE(recorder->waitForCompletions(1)) << i;
        EXPECT_EQ(recorder->eventList(), std::vector<std::string>{"complete -3001"}) << i;
    }
    EXPECT_TRUE(server.journal().empty());
}

TEST_F(DownloadTest, ACompletionHandlerGetsTheFileWhileItExistsAndTheErrorWithout) {
    server.addRoute(testsupport::route("GET", "/file", 200, content(300)));
    makeSession();
    std::atomic<int> done{0};
    std::string seen;
    std::optional<URL> kept;
    session->downloadTaskWithRequest(URLRequest(url("/file")), [&](std::optional<URL> location, auto, auto error) {
        EXPECT_FALSE(error);
        ASSERT_TRUE(location);
        kept = location;
        std::ifstream in(location->path(), std::ios::binary);
        seen.assign(std::istreambuf_iterator<char>(in), {});
        ++done;
    })->resume();
    std::optional<Error> failure;
    session->downloadTaskWithRequest(URLRequest(URL::fromString("http://127.0.0.1:1/x")),
                                     [&](std::optional<URL> location, auto, auto error) {
                                         EXPECT_FALSE(location);
                                         failure = error;
                                         ++done;
                                     })->resume();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return done == 2; }));
    EXPECT_EQ(seen, content(300));
    EXPECT_FALSE(std::filesystem::exists(kept->path())) << "the file goes once the handler has run";
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), URLError::CannotConnectToHost);
    EXPECT_TRUE(recorder->eventList().empty()) << "the delegate hears nothing of tasks with handlers";

    // Every unfinished task, of any kind, is listed.
    auto waiting = session->dataTaskWithURL(*url("/file"));
    auto downloading = session->downloadTaskWithURL(*url("/file"));
    std::vector<std::shared_ptr<URLSessionTask>> all;
    std::atomic<bool> listed = false;
    session->getAllTasksWithCompletionHandler([&](auto tasks) {
        all = tasks;
        listed = true;
    });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return listed.load(); }));
    EXPECT_EQ(all.size(), 2u);
    EXPECT_NE(std::find(all.begin(), all.end(), waiting), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), downloading), all.end());
}

}  // namespace
}  // namespace brindlecue::platform
