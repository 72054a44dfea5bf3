// Downloads that start as data tasks, downloads that go on from resume data, and the end of a
// background session's events.

#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace brindlecue::platform
