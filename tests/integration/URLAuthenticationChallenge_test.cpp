// A 401 with a Basic challenge goes to the session's delegate, whose disposition decides whether
// the request is sent again with a credential, the 401 is the answer, or the load is cancelled.

#include "platform/foundation/URLAuthenticationChallenge.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/foundation/URLError.h"
#include "sample-server/SampleServer.h"
#include "support/RecordingSessionDelegate.h"
#include "support/SampleRoutes.h"

namespace brindlecue::platform {
namespace {

using Disposition = URLSessionAuthChallengeDisposition;
using testsupport::RecordingSessionDelegate;

class ChallengeTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.start();
        auto guarded = testsupport::route("GET", "/private", 200, "hello");
        guarded.basicAuth = "user:secret";
        server.addRoute(guarded);
        session = URLSession::create(URLSessionConfiguration::ephemeralSessionConfiguration(), recorder,
                                     recorder->queue);
    }
    void TearDown() override { session->invalidateAndCancel(); }
    std::vector<std::string> load() {
        session->dataTaskWithURL(*URL::fromString(server.baseURL() + "/private"))->resume();
        EXPECT_TRUE(recorder->waitForCompletions(1));
        return recorder->eventList();
    }
    void answer(Disposition disposition, std::shared_ptr<URLCredential> credential = nullptr) {
        recorder->onChallenge = [=](const URLAuthenticationChallenge&, auto completion) {
            completion(disposition, credential);
        };
    }

    sampleserver::SampleServer server;
    std::shared_ptr<RecordingSessionDelegate> recorder = std::make_shared<RecordingSessionDelegate>();
    std::shared_ptr<URLSession> session;
};

TEST_F(ChallengeTest, ACredentialIsSentAgainUntilItIsAcceptedAndFailuresAreCounted) {
    recorder->onChallenge = [](const URLAuthenticationChallenge& challenge, auto completion) {
        std::string password = challenge.previousFailureCount() == 0 ? "wrong" : "secret";
        completion(Disposition::UseCredential,
                   URLCredential::withUser("user", password, URLCredential::Persistence::ForSession));
    };
    EXPECT_EQ(load(), (std::vector<std::string>{"challenge 0", "challenge 1", "response 200", "will cache",
                                                "complete"}));
    EXPECT_EQ(recorder->bodyText(), "hello");

    const auto& challenge = recorder->challenges.at(0);
    const auto& space = challenge.protectionSpace();
    EXPECT_EQ(space.host(), "127.0.0.1");
    EXPECT_EQ(space.port(), server.port());
    EXPECT_EQ(space.protocol(), "http");
    EXPECT_EQ(space.authenticationMethod(), URLProtectionSpace::kHTTPBasic);
    EXPECT_EQ(space.realm(), "sample");
    auto failure = std::dynamic_pointer_cast<HTTPURLResponse>(challenge.failureResponse());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->statusCode(), 401);

    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[0].header("Authorization"), "");
    EXPECT_EQ(journal[2].header("Authorization"), "Basic dXNlcjpzZWNyZXQ=");
    EXPECT_EQ(journal[2].status, 200);
}

TEST_F(ChallengeTest, ACredentialDoesNotFollowARedirectionToAnotherServer) {
    auto hop = testsupport::route("GET", "/hop", 302, "",
                                  {{"Location", "http://localhost:" + std::to_string(server.port()) + "/landing"}});
    hop.basicAuth = "user:secret";
    server.addRoute(hop);
    server.addRoute(testsupport::route("GET", "/landing", 200, "landed"));
    answer(Disposition::UseCredential,
           URLCredential::withUser("user", "secret", URLCredential::Persistence::ForSession));
    session->dataTaskWithURL(*URL::fromString(server.baseURL() + "/hop"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_EQ(recorder->bodyText(), "landed");
    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[1].header("Authorization"), "Basic dXNlcjpzZWNyZXQ=");
    EXPECT_EQ(journal[2].path, "/landing");
    EXPECT_EQ(journal[2].header("Authorization"), "");
}

TEST_F(ChallengeTest, WithoutACredentialThe401IsTheAnswerAndCancellingEndsTheLoad) {
    EXPECT_EQ(load(), (std::vector<std::string>{"challenge 0", "response 401", "complete"}));
    EXPECT_EQ(recorder->bodyText(), R"({"error":"unauthorized"})");

    for (auto disposition : {Disposition::RejectProtectionSpace, Disposition::UseCredential}) {
        recorder->reset();
        answer(disposition);
        EXPECT_EQ(load(), (std::vector<std::string>{"challenge 0", "response 401", "complete"}));
    }

    recorder->reset();
    answer(Disposition::CancelAuthenticationChallenge);
    EXPECT_EQ(load(), (std::vector<std::string>{"challenge 0", "complete -999"}));

    // A session without a delegate takes the 401 as the answer.
    auto plain = URLSession::create(URLSessionConfiguration::ephemeralSessionConfiguration());
    // Written on the session's queue; read once `answered` says the writes are done.
    std::optional<int> status;
    std::optional<Data> body;
    std::atomic<bool> answered = false;
    plain
        ->dataTaskWithURL(*URL::fromString(server.baseURL() + "/private"),
                          [&](std::optional<Data> d, std::shared_ptr<URLResponse> r, std::optional<Error>) {
                              body = d;
                              status = std::dynamic_pointer_cast<HTTPURLResponse>(r)->statusCode();
                              answered = true;
                          })
        ->resume();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return answered.load(); }));
    EXPECT_EQ(*status, 401);
    EXPECT_FALSE(body->empty());
    plain->invalidateAndCancel();
}

}  // namespace
}  // namespace brindlecue::platform
