#include "platform/foundation/URLSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/AppContainer.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLError.h"
#include "sample-server/SampleServer.h"

namespace brindlecue::platform {
namespace {

using sampleserver::Route;
using sampleserver::SampleServer;
using sampleserver::ServerOptions;

std::string text(const Data& d) { return std::string(d.begin(), d.end()); }
Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }

Route route(std::string method, std::string path, int status, sampleserver::Headers headers = {},
            std::string body = "", double delay = 0) {
    Route r;
    r.method = std::move(method);
    r.pathPattern = std::move(path);
    r.status = status;
    r.headers = std::move(headers);
    r.body = std::move(body);
    r.delaySeconds = delay;
    return r;
}

bool waitFor(const std::function<bool()>& predicate) { return RunLoop::main().runUntil(predicate, 20); }

// Records what a session tells its delegate; the answers to decisions can be scripted.
class Recorder : public URLSessionDelegate {
public:
    std::shared_ptr<OperationQueue> queue = OperationQueue::create("test delegate queue");
    Recorder() { queue->setMaxConcurrentOperationCount(1); }

    std::function<void(const URLAuthenticationChallenge&, ChallengeCompletion)> onChallenge;
    std::function<std::optional<URLRequest>(const URLRequest&)> onRedirect;
    URLSessionResponseDisposition disposition = URLSessionResponseDisposition::Allow;

    void taskDidReceiveChallenge(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                                 const URLAuthenticationChallenge& challenge, ChallengeCompletion completion) override {
        note("challenge");
        if (onChallenge) return onChallenge(challenge, std::move(completion));
        completion(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
    }
    void taskWillPerformHTTPRedirection(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                                        const std::shared_ptr<URLResponse>& response, const URLRequest& next,
                                        std::function<void(std::optional<URLRequest>)> completion) override {
        note("redirect " + std::to_string(std::dynamic_pointer_cast<HTTPURLResponse>(response)->statusCode()));
        completion(onRedirect ? onRedirect(next) : std::optional<URLRequest>(next));
    }
    void dataTaskDidReceiveResponse(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionDataTask>&,
                                    const std::shared_ptr<URLResponse>& r,
                                    std::function<void(URLSessionResponseDisposition)> completion) override {
        note("response");
        {
            std::lock_guard lock(mutex);
            response = std::dynamic_pointer_cast<HTTPURLResponse>(r);
        }
        completion(disposition);
    }
    void dataTaskDidReceiveData(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionDataTask>&,
                                const Data& data) override {
        std::lock_guard lock(mutex);
        checkQueue();
        if (events.empty() || events.back() != "data") events.push_back("data");
        body.insert(body.end(), data.begin(), data.end());
    }
    void taskDidSendBodyData(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&, int64_t,
                             int64_t total, int64_t) override {
        std::lock_guard lock(mutex);
        sent = total;
    }
    void downloadTaskDidFinishDownloadingToURL(const std::shared_ptr<URLSession>&,
                                               const std::shared_ptr<URLSessionDownloadTask>&,
                                               const URL& location) override {
        note("downloaded");
        std::ifstream in(location.path(), std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), {});
        std::lock_guard lock(mutex);
        body = bytes(content);
        downloadPath = location.path();
    }
    void taskDidCompleteWithError(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                                  const std::optional<Error>& e) override {
        note("complete");
        std::lock_guard lock(mutex);
        error = e;
        completed = true;
    }
    void didBecomeInvalidWithError(const std::shared_ptr<URLSession>&, const std::optional<Error>&) override {
        note("invalid");
    }

    void note(const std::string& event) {
        std::lock_guard lock(mutex);
        checkQueue();
        events.push_back(event);
    }
    void checkQueue() {
        if (isMainThread() || queue->operationCount() == 0) offQueue = true;
    }
    bool isCompleted() {
        std::lock_guard lock(mutex);
        return completed;
    }
    std::vector<std::string> eventList() {
        std::lock_guard lock(mutex);
        return events;
    }

    std::mutex mutex;
    std::vector<std::string> events;
    std::shared_ptr<HTTPURLResponse> response;
    Data body;
    std::optional<Error> error;
    int64_t sent = 0;
    std::string downloadPath;
    bool completed = false;
    bool offQueue = false;
};

class URLSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = std::make_shared<Recorder>();
        session = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), recorder, recorder->queue);
    }
    void TearDown() override { session->invalidateAndCancel(); }

    void startServer(ServerOptions options = {}) {
        server = std::make_unique<SampleServer>(options);
        server->start();
    }
    URLRequest request(const std::string& path) { return URLRequest(URL::fromString(server->baseURL() + path)); }
    void run(const std::shared_ptr<URLSessionTask>& task) {
        task->resume();
        ASSERT_TRUE(waitFor([&] { return recorder->isCompleted(); }));
        EXPECT_FALSE(recorder->offQueue);
    }

    std::unique_ptr<SampleServer> server;
    std::shared_ptr<Recorder> recorder;
    std::shared_ptr<URLSession> session;
};

TEST_F(URLSessionTest, SendsEachMethodAsGivenAndAnswersOnTheDelegateQueue) {
    startServer();
    server->addRoute(route("*", "/v3/things", 201, {{"X-Answer", "yes"}}, R"({"ok":true})"));
    for (std::string method : {"GET", "POST", "PATCH", "DELETE"}) {
        SCOPED_TRACE(method);
        SetUp();
        server->clearJournal();
        auto r = request("/v3/things?q=a%20b");
        r.setHTTPMethod(method);
        r.setValue("application/json", "Content-Type");
        r.setValue("k1", "X-App-Key");
        bool hasBody = method == "POST" || method == "PATCH";
        if (hasBody) r.setHTTPBody(bytes(R"({"name":"tag","n":1})"));
        run(session->dataTaskWithRequest(r));

        EXPECT_EQ(recorder->eventList(), (std::vector<std::string>{"response", "data", "complete"}));
        EXPECT_FALSE(recorder->error);
        ASSERT_TRUE(recorder->response);
        EXPECT_EQ(recorder->response->statusCode(), 201);
        EXPECT_EQ(recorder->response->valueForHTTPHeaderField("x-ANSWER"), "yes");
        EXPECT_EQ(recorder->response->mimeType(), "application/json");
        EXPECT_EQ(text(recorder->body), R"({"ok":true})");

        auto journal = server->journal();
        ASSERT_EQ(journal.size(), 1u);
        EXPECT_EQ(journal[0].method, method);
        EXPECT_EQ(journal[0].path, "/v3/things");
        EXPECT_EQ(journal[0].query, "q=a%20b");
        EXPECT_EQ(journal[0].header("x-app-key"), "k1");
        EXPECT_EQ(journal[0].header("Content-Type"), "application/json");
        EXPECT_EQ(journal[0].body, hasBody ? R"({"name":"tag","n":1})" : "");
        EXPECT_NE(journal[0].header("User-Agent"), "");
        session->invalidateAndCancel();
    }
}

TEST_F(URLSessionTest, CompletionHandlerGetsTheWholeAnswerInsteadOfTheDelegate) {
    startServer();
    server->addRoute(route("GET", "/empty", 204));
    server->addRoute(route("GET", "/missing", 404, {}, "nope"));
    std::atomic<int> done{0};
    std::optional<Data> emptyBody, missingBody;
    std::shared_ptr<URLResponse> missingResponse;
    session->dataTaskWithRequest(request("/empty"), [&](auto data, auto, auto error) {
        emptyBody = data;
        EXPECT_FALSE(error);
        ++done;
    })->resume();
    session->dataTaskWithRequest(request("/missing"), [&](auto data, auto response, auto error) {
        missingBody = data;
        missingResponse = response;
        EXPECT_FALSE(error);
        ++done;
    })->resume();
    ASSERT_TRUE(waitFor([&] { return done == 2; }));
    ASSERT_TRUE(emptyBody);
    EXPECT_TRUE(emptyBody->empty());
    EXPECT_EQ(text(*missingBody), "nope");
    EXPECT_EQ(std::dynamic_pointer_cast<HTTPURLResponse>(missingResponse)->statusCode(), 404);
    EXPECT_TRUE(recorder->eventList().empty());
}

TEST_F(URLSessionTest, FollowsRedirectionsUnlessTheDelegateRefuses) {
    startServer();
    server->addRoute(route("*", "/old", 302, {{"Location", "/new?x=1"}}, "moved"));
    server->addRoute(route("*", "/see-other", 303, {{"Location", "new"}}));
    server->addRoute(route("*", "/new", 200, {}, "here"));

    auto task = session->dataTaskWithRequest(request("/old"));
    run(task);
    EXPECT_EQ(recorder->response->url()->absoluteString(), server->baseURL() + "/new?x=1");
    EXPECT_EQ(task->currentRequest()->url()->absoluteString(), server->baseURL() + "/new?x=1");
    EXPECT_EQ(text(recorder->body), "here");
    EXPECT_EQ(recorder->eventList().front(), "redirect 302");

    // A POST answered with 303 goes on as a GET without its body.
    SetUp();
    server->clearJournal();
    auto post = request("/see-other");
    post.setHTTPMethod("POST");
    post.setHTTPBody(bytes("payload"));
    run(session->dataTaskWithRequest(post));
    auto journal = server->journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[1].method, "GET");
    EXPECT_EQ(journal[1].body, "");

    SetUp();
    recorder->onRedirect = [](const URLRequest&) { return std::nullopt; };
    run(session->dataTaskWithRequest(request("/old")));
    EXPECT_EQ(recorder->response->statusCode(), 302);
    EXPECT_EQ(recorder->response->url()->absoluteString(), server->baseURL() + "/old");
    EXPECT_EQ(text(recorder->body), "moved");
}

TEST_F(URLSessionTest, AnIdleRequestTimesOutOnTheProcessClock) {
    Clock::useVirtual();
    startServer();
    server->addRoute(route("GET", "/slow", 200, {}, "late", 3.0));
    auto task = session->dataTaskWithRequest(request("/slow"));
    task->resume();
    ASSERT_TRUE(server->waitForRequests(1));
    Clock::advance(61);
    ASSERT_TRUE(waitFor([&] { return recorder->isCompleted(); }));
    ASSERT_TRUE(recorder->error);
    EXPECT_EQ(recorder->error->domain(), URLError::kDomain);
    EXPECT_EQ(recorder->error->code(), URLError::TimedOut);
    EXPECT_EQ(recorder->error->userInfo()[URLError::kFailingURLStringKey].stringValue(), server->baseURL() + "/slow");
    EXPECT_EQ(task->state(), URLSessionTask::State::Completed);
}

TEST_F(URLSessionTest, CancellingEndsATaskWithCancelled) {
    startServer();
    server->addRoute(route("GET", "/slow", 200, {}, "late", 5.0));
    auto task = session->dataTaskWithRequest(request("/slow"));
    task->resume();
    ASSERT_TRUE(server->waitForRequests(1));
    task->cancel();
    EXPECT_NE(task->state(), URLSessionTask::State::Running);  // canceling, or already completed
    ASSERT_TRUE(waitFor([&] { return recorder->isCompleted(); }));
    EXPECT_EQ(recorder->error->code(), URLError::Cancelled);
    EXPECT_EQ(task->state(), URLSessionTask::State::Completed);

    // Never started: the completion handler still hears of it.
    std::optional<Error> error;
    std::atomic<bool> heard = false;
    auto idle = session->dataTaskWithRequest(request("/slow"), [&](auto, auto, auto e) {
        error = e;
        heard = true;
    });
    idle->cancel();
    ASSERT_TRUE(waitFor([&] { return heard.load(); }));
    EXPECT_EQ(error->code(), URLError::Cancelled);
    idle->resume();
    EXPECT_EQ(idle->state(), URLSessionTask::State::Completed);
}

TEST_F(URLSessionTest, ResponseDispositionCancelStopsTheLoad) {
    startServer();
    server->addRoute(route("GET", "/x", 200, {}, std::string(100000, 'x')));
    recorder->disposition = URLSessionResponseDisposition::Cancel;
    run(session->dataTaskWithRequest(request("/x")));
    EXPECT_EQ(recorder->error->code(), URLError::Cancelled);
    EXPECT_TRUE(recorder->body.empty());
}

TEST_F(URLSessionTest, ReportsTransportFailuresAsURLErrors) {
    // A port nobody listens on.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    int port = ntohs(address.sin_port);
    close(fd);

    auto expectError = [&](URLRequest r, int64_t code) {
        SetUp();
        run(session->dataTaskWithRequest(r));
        ASSERT_TRUE(recorder->error);
        EXPECT_EQ(recorder->error->code(), code) << r.description();
    };
    expectError(URLRequest(URL::fromString("http://127.0.0.1:" + std::to_string(port) + "/")),
                URLError::CannotConnectToHost);
    expectError(URLRequest(std::nullopt), URLError::UnsupportedURL);
    expectError(URLRequest(URL::fromString("ftp://127.0.0.1/file")), URLError::UnsupportedURL);
    expectError(URLRequest(URL::fromString("http:///path")), URLError::BadURL);

    // A server that answers without a status line, and one that drops the connection.
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    address.sin_port = 0;
    length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    listen(listener, 4);
    std::thread answerer([listener] {
        for (const char* answer : {"garbage without status\r\n\r\n", ""}) {
            int client = accept(listener, nullptr, nullptr);
            char buffer[4096];
            (void)read(client, buffer, sizeof buffer);
            if (*answer) (void)write(client, answer, std::strlen(answer));
            close(client);
        }
    });
    std::string raw = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    expectError(URLRequest(URL::fromString(raw)), URLError::BadServerResponse);
    expectError(URLRequest(URL::fromString(raw)), URLError::NetworkConnectionLost);
    answerer.join();
    close(listener);
}

// Hands out its bytes a few at a time, as a body built on the fly would.
class TrickleStream : public InputStream {
public:
    explicit TrickleStream(std::string content) : content_(std::move(content)) {}
    long read(uint8_t* buffer, size_t maxLength) override {
        size_t n = std::min({maxLength, size_t{7}, content_.size() - offset_});
        std::memcpy(buffer, content_.data() + offset_, n);
        offset_ += n;
        if (offset_ == content_.size()) setStatus(Status::AtEnd);
        return static_cast<long>(n);
    }

private:
    std::string content_;
    size_t offset_ = 0;
};

TEST_F(URLSessionTest, UploadsStreamsFilesAndBytesIntact) {
    startServer();
    server->addRoute(route("*", "/upload", 200, {}, "{}"));
    std::string content;
    for (int i = 0; i < 5000; ++i) content += "line " + std::to_string(i) + "\n";

    auto streamed = request("/upload");
    streamed.setHTTPMethod("POST");
    streamed.setHTTPBodyStream(std::make_shared<TrickleStream>(content));
    run(session->uploadTaskWithStreamedRequest(streamed));
    EXPECT_FALSE(recorder->error);
    EXPECT_EQ(recorder->sent, static_cast<int64_t>(content.size()));

    SetUp();
    auto sized = request("/upload");
    sized.setHTTPMethod("PUT");
    sized.setValue(std::to_string(content.size()), "Content-Length");
    sized.setHTTPBodyStream(InputStream::withData(bytes(content)));
    run(session->dataTaskWithRequest(sized));

    auto path = AppContainer::temporaryDirectory() / "upload.txt";
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << content;
    std::atomic<int> done{0};
    auto post = request("/upload");
    post.setHTTPMethod("POST");
    session->uploadTaskWithRequest(post, URL::fileURL(path.string()), [&](auto, auto, auto e) {
        EXPECT_FALSE(e);
        ++done;
    })->resume();
    session->uploadTaskWithRequest(post, bytes(content), [&](auto, auto, auto e) {
        EXPECT_FALSE(e);
        ++done;
    })->resume();
    ASSERT_TRUE(waitFor([&] { return done == 2; }));

    auto journal = server->journal();
    ASSERT_EQ(journal.size(), 4u);
    for (const auto& entry : journal) EXPECT_EQ(entry.body, content) << entry.method;
    EXPECT_EQ(journal[0].header("Transfer-Encoding"), "chunked");
    EXPECT_EQ(journal[1].header("Content-Length"), std::to_string(content.size()));
}

TEST_F(URLSessionTest, DownloadsToATemporaryFileThatIsRemovedAfterwards) {
    startServer();
    std::string content(300000, 'd');
    server->addRoute(route("GET", "/file", 200, {{"Content-Type", "application/octet-stream"}}, content));
    run(session->downloadTaskWithRequest(request("/file")));
    EXPECT_EQ(recorder->eventList(), (std::vector<std::string>{"downloaded", "complete"}));
    EXPECT_EQ(recorder->body.size(), content.size());
    EXPECT_FALSE(std::filesystem::exists(recorder->downloadPath));
}

TEST_F(URLSessionTest, TLSTrustIsDecidedBeforeTheRequestIsSent) {
    startServer(ServerOptions{true});
    server->addRoute(route("GET", "/secure", 200, {}, "secret"));

    // Default handling: the self-signed server is refused and never sees the request.
    run(session->dataTaskWithRequest(request("/secure")));
    EXPECT_EQ(recorder->error->code(), URLError::ServerCertificateUntrusted);
    EXPECT_TRUE(server->journal().empty());

    // Evaluated against its own certificate as anchor, it is trusted.
    SetUp();
    auto anchor = SecCertificate::createWithData(server->certificateDER());
    std::string host;
    recorder->onChallenge = [&](const URLAuthenticationChallenge& challenge, auto completion) {
        host = challenge.protectionSpace().host();
        auto trust = challenge.protectionSpace().serverTrust();
        trust->setAnchorCertificates({anchor});
        trust->setPolicies({SecPolicy::createSSL(true, challenge.protectionSpace().host())});
        bool ok = trust->evaluateWithError();
        completion(ok ? URLSessionAuthChallengeDisposition::UseCredential
                      : URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge,
                   ok ? URLCredential::forTrust(trust) : nullptr);
    };
    run(session->dataTaskWithRequest(request("/secure")));
    EXPECT_FALSE(recorder->error);
    EXPECT_EQ(text(recorder->body), "secret");
    EXPECT_EQ(host, "127.0.0.1");

    SetUp();
    recorder->onChallenge = [](const URLAuthenticationChallenge&, auto completion) {
        completion(URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge, nullptr);
    };
    run(session->dataTaskWithRequest(request("/secure")));
    EXPECT_EQ(recorder->error->code(), URLError::Cancelled);
    EXPECT_EQ(server->journal().size(), 1u);
}

TEST_F(URLSessionTest, TheStateHookSeesEveryResumeAndSuspend) {
    std::vector<std::tuple<uint64_t, bool, URLSessionTask::State>> calls;
    // The hook is process-wide (the session managers install theirs): it is put back afterwards.
    auto previous = URLSessionTask::stateHook();
    URLSessionTask::setStateHook([&](const std::shared_ptr<URLSessionTask>& task, bool resumed, auto previous) {
        calls.emplace_back(task->taskIdentifier(), resumed, previous);
    });
    startServer();
    server->addRoute(route("GET", "/slow", 200, {}, "ok", 0.3));
    auto task = session->dataTaskWithRequest(request("/slow"));
    task->resume();
    task->resume();
    task->suspend();
    task->suspend();
    EXPECT_EQ(task->state(), URLSessionTask::State::Suspended);
    task->resume();
    ASSERT_TRUE(waitFor([&] { return recorder->isCompleted(); }));
    URLSessionTask::setStateHook(previous);
    using S = URLSessionTask::State;
    auto id = task->taskIdentifier();
    EXPECT_EQ(calls, (std::vector<std::tuple<uint64_t, bool, S>>{{id, true, S::Suspended},
                                                                 {id, true, S::Running},
                                                                 {id, false, S::Running},
                                                                 {id, false, S::Suspended},
                                                                 {id, true, S::Suspended}}));
    EXPECT_EQ(text(recorder->body), "ok");
}

TEST_F(URLSessionTest, InvalidationWaitsForRunningTasks) {
    startServer();
    server->addRoute(route("GET", "/x", 200, {}, "x", 0.2));
    auto task = session->dataTaskWithRequest(request("/x"));
    task->resume();
    session->finishTasksAndInvalidate();
    EXPECT_FALSE(session->dataTaskWithRequest(request("/x")));
    ASSERT_TRUE(waitFor([&] {
        auto events = recorder->eventList();
        return !events.empty() && events.back() == "invalid";
    }));
    EXPECT_EQ(recorder->eventList(), (std::vector<std::string>{"response", "data", "complete", "invalid"}));
    EXPECT_FALSE(session->delegate());
}

TEST_F(URLSessionTest, RedirectionsKeepOrDropTheMethodAndBodyAsTheirStatusSays) {
    startServer();
    server->addRoute(route("*", "/moved-permanently", 301, {{"Location", "/to"}}));
    server->addRoute(route("*", "/found", 302, {{"Location", "/to"}}));
    server->addRoute(route("*", "/see-other", 303, {{"Location", "/to"}}));
    server->addRoute(route("*", "/temporary", 307, {{"Location", "/to"}}));
    server->addRoute(route("*", "/permanent", 308, {{"Location", "/to"}}));
    server->addRoute(route("*", "/to", 200, {}, "arrived"));
    struct Case {
        std::string path, method, sentAs, body;
    } cases[] = {
        {"/moved-permanently", "POST", "GET", ""}, {"/found", "POST", "GET", ""},
        {"/found", "PUT", "PUT", "payload"},       {"/see-other", "PUT", "GET", ""},
        {"/see-other", "HEAD", "HEAD", ""},        {"/temporary", "POST", "POST", "payload"},
        {"/permanent", "PATCH", "PATCH", "payload"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method + " " + c.path);
        SetUp();
        server->clearJournal();
        auto r = request(c.path);
        r.setHTTPMethod(c.method);
        if (c.method != "HEAD") r.setHTTPBody(bytes("payload"));
        run(session->dataTaskWithRequest(r));
        EXPECT_FALSE(recorder->error);
        auto journal = server->journal();
        ASSERT_EQ(journal.size(), 2u);
        EXPECT_EQ(journal[1].method, c.sentAs);
        EXPECT_EQ(journal[1].body, c.body);
        session->invalidateAndCancel();
    }

    // A file body is sent again from its start.
    SetUp();
    server->clearJournal();
    auto file = AppContainer::temporaryDirectory() / "upload.txt";
    std::ofstream(file, std::ios::binary) << "from the file";
    auto upload = request("/temporary");
    upload.setHTTPMethod("POST");
    run(session->uploadTaskWithRequest(upload, URL::fileURL(file.string())));
    ASSERT_EQ(server->journal().size(), 2u);
    EXPECT_EQ(server->journal()[1].body, "from the file");
}

TEST_F(URLSessionTest, ARedirectionLoopEndsAndALocationThatIsNoWebAddressIsTheAnswer) {
    startServer();
    server->addRoute(route("GET", "/loop", 302, {{"Location", "/loop"}}));
    server->addRoute(route("GET", "/elsewhere", 302, {{"Location", "mailto:someone@example.com"}}, "see mail"));
    auto quiet = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());
    std::optional<Error> loopError;
    std::atomic<int> done{0};
    quiet->dataTaskWithRequest(request("/loop"), [&](auto, auto, auto error) {
        loopError = error;
        ++done;
    })->resume();
    std::shared_ptr<URLResponse> mailResponse;
    std::optional<Data> mailBody;
    quiet->dataTaskWithRequest(request("/elsewhere"), [&](auto data, auto response, auto) {
        mailResponse = response;
        mailBody = data;
        ++done;
    })->resume();
    ASSERT_TRUE(waitFor([&] { return done == 2; }));
    ASSERT_TRUE(loopError);
    EXPECT_EQ(loopError->code(), URLError::HTTPTooManyRedirects);
    size_t loops = 0;
    for (const auto& entry : server->journal()) loops += entry.path == "/loop";
    EXPECT_EQ(loops, 17u);
    EXPECT_EQ(std::dynamic_pointer_cast<HTTPURLResponse>(mailResponse)->statusCode(), 302);
    EXPECT_EQ(text(*mailBody), "see mail");
    quiet->invalidateAndCancel();
}

TEST_F(URLSessionTest, ACredentialGoesOnlyToTheServerItWasGivenFor) {
    startServer();
    SampleServer other;
    other.start();
    Route guarded = route("GET", "/private", 200, {}, "secret");
    guarded.basicAuth = "user:pw";
    server->addRoute(guarded);
    server->addRoute(route("GET", "/hop", 302, {{"Location", other.baseURL() + "/landing"}}));
    server->addRoute(route("GET", "/stay", 302, {{"Location", "/private"}}));
    other.addRoute(route("GET", "/landing", 200, {}, "landed"));
    recorder->onChallenge = [](const URLAuthenticationChallenge&, auto completion) {
        completion(URLSessionAuthChallengeDisposition::UseCredential,
                   URLCredential::withUser("user", "pw", URLCredential::Persistence::ForSession));
    };
    // An authorization the caller set itself follows a redirection on the same server.
    auto stay = request("/stay");
    stay.setValue("Basic dXNlcjpwdw==", "Authorization");
    run(session->dataTaskWithRequest(stay));
    EXPECT_EQ(text(recorder->body), "secret");
    // Sent to another server, it is left behind.
    SetUp();
    recorder->onChallenge = [](const URLAuthenticationChallenge&, auto completion) {
        completion(URLSessionAuthChallengeDisposition::UseCredential,
                   URLCredential::withUser("user", "pw", URLCredential::Persistence::ForSession));
    };
    Route guardedHop = route("GET", "/guarded-hop", 302, {{"Location", other.baseURL() + "/landing"}});
    guardedHop.basicAuth = "user:pw";
    server->addRoute(guardedHop);
    run(session->dataTaskWithRequest(request("/guarded-hop")));
    EXPECT_EQ(text(recorder->body), "landed");
    ASSERT_EQ(other.journal().size(), 1u);
    EXPECT_EQ(other.journal()[0].header("Authorization"), "");
}

}  // namespace
}  // namespace brindlecue::platform
