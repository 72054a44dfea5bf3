// The image downloader against the sample server: one download per URL however many callers,
// six at a time, its header and time-out, its notifications and errors, and hostile images.

#include "imaging/KJSDWebImageDownloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>

#include "imaging/KJSDWebImageCompat.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/URLError.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIImage.h"
#include "sample-server/SampleServer.h"
#include "support/SampleRoutes.h"
#include "support/TestImages.h"

namespace brindlecue {
namespace {

using platform::Data;
using platform::Error;
using platform::RunLoop;
using platform::UIImage;
using platform::URL;

// What one caller heard.
struct Caller {
    std::vector<bool> reports;  // the finished flag of each completion
    std::shared_ptr<UIImage> image;
    std::optional<Data> data;
    std::optional<Error> error;
    std::vector<int64_t> expected;  // expected sizes of the progress reports
    bool finished() const { return !reports.empty() && reports.back(); }
    KJSDWebImageDownloaderCompletedBlock completed() {
        return [this](std::shared_ptr<UIImage> i, std::optional<Data> d, std::optional<Error> e, bool f) {
            EXPECT_TRUE(platform::isMainThread());
            reports.push_back(f);
            image = i;
            data = d;
            error = e;
        };
    }
    KJSDWebImageDownloaderProgressBlock progress() {
        return [this](int64_t, int64_t expectedSize, const std::optional<URL>&) {
            std::lock_guard lock(mutex);
            expected.push_back(expectedSize);
        };
    }
    bool wait() { return RunLoop::main().runUntil([this] { return finished(); }, 20); }
    // The size the last progress report expected, read while reports may still come.
    int64_t lastExpected() {
        std::lock_guard lock(mutex);
        return expected.empty() ? 0 : expected.back();
    }
    std::mutex mutex;
};

Data fileBytes(const std::string& relative) {
    std::ifstream in(std::string(BRINDLECUE_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A PNG of noise, which compresses badly: its bytes arrive over many reads.
Data noisePNG(int side) {
    std::vector<platform::RGBA8> pixels(size_t(side * side));
    uint32_t seed = 7;
    for (auto& p : pixels) {
        seed = seed * 1103515245u + 12345u;
        p = {uint8_t(seed >> 16), uint8_t(seed >> 8), uint8_t(seed >> 24), 255};
    }
    return *platform::CGImageEncodePNG(*platform::CGImage::fromRGBA(side, side, pixels));
}

class DownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { server.start(); }
    void TearDown() override { downloader->cancelAllDownloads(); }
    URL url(const std::string& path) { return *URL::fromString(server.baseURL() + path); }
    std::shared_ptr<KJSDWebImageDownloadToken> download(const std::string& path, Caller& caller,
                                                        KJSDDownloadOptions options = 0) {
        return downloader->downloadImageWithURL(url(path), options, caller.progress(), caller.completed());
    }
    size_t requestsFor(const std::string& path) {
        auto journal = server.journal();
        return size_t(std::count_if(journal.begin(), journal.end(), [&](const auto& e) { return e.path == path; }));
    }

    sampleserver::SampleServer server;
    std::shared_ptr<KJSDWebImageDownloader> downloader = KJSDWebImageDownloader::create();
    const Data png = testsupport::makeTestPNG(5, 3);
};

TEST_F(DownloaderTest, CallersOfOneURLShareOneRequestUntilTheLastOneCancels) {
    auto slow = testsupport::imageRoute("/slow.png", png);
    slow.delaySeconds = 0.3;
    server.addRoute(slow);
    Caller first, second, third;
    download("/slow.png", first);
    download("/slow.png", second);
    downloader->cancel(download("/slow.png", third));
    ASSERT_TRUE(first.wait());
    ASSERT_TRUE(second.wait());
    EXPECT_EQ(requestsFor("/slow.png"), 1u);
    EXPECT_EQ(first.image, second.image);
    ASSERT_TRUE(first.image);
    EXPECT_EQ(first.image->size(), (platform::CGSize{5, 3}));
    EXPECT_EQ(first.data, png);
    EXPECT_EQ(first.reports, std::vector<bool>{true});
    EXPECT_TRUE(third.reports.empty());
    auto request = server.journal().at(0);
    EXPECT_EQ(request.header("Accept"), "image/*;q=0.8");

    // When every caller cancels, the download stops and nobody hears of it.
    std::atomic<int> stops{0};
    auto observer = platform::NotificationCenter::defaultCenter().addObserver(
        KJSDWebImageDownloadStopNotification, nullptr, nullptr, [&](const auto&) { ++stops; });
    auto stalled = testsupport::imageRoute("/stalled.png", png);
    stalled.stallAfterBytes = 10;
    stalled.stallSeconds = 2;
    server.addRoute(stalled);
    Caller a, b;
    auto tokenA = download("/stalled.png", a);
    auto tokenB = download("/stalled.png", b);
    ASSERT_TRUE(server.waitForRequests(2));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return b.lastExpected() > 0; }));
    downloader->cancel(tokenA);
    downloader->cancel(tokenB);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return stops == 1 && downloader->currentDownloadCount() == 0; }));
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(a.reports.empty());
    EXPECT_TRUE(b.reports.empty());
    platform::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(DownloaderTest, NotificationsFollowTheDownloadAndFailuresCarryTheirErrors) {
    std::mutex mutex;
    std::vector<std::string> posted;
    std::vector<std::shared_ptr<platform::NotificationObserver>> observers;
    for (const char* name : {KJSDWebImageDownloadStartNotification, KJSDWebImageDownloadReceiveResponseNotification,
                             KJSDWebImageDownloadStopNotification, KJSDWebImageDownloadFinishNotification}) {
        observers.push_back(platform::NotificationCenter::defaultCenter().addObserver(
            name, nullptr, nullptr, [&, name](const platform::Notification& n) {
                EXPECT_TRUE(platform::isMainThread());
                std::lock_guard lock(mutex);
                posted.push_back(std::string(name).substr(std::string("KJSDWebImageDownload").size()));
            }));
    }
    server.addRoute(testsupport::imageRoute("/ok.png", png));
    Caller ok;
    download("/ok.png", ok);
    ASSERT_TRUE(ok.wait());
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(posted, (std::vector<std::string>{"StartNotification", "ReceiveResponseNotification",
                                                "StopNotification", "FinishNotification"}));
    EXPECT_EQ(ok.expected, (std::vector<int64_t>{-1, int64_t(png.size()), int64_t(png.size())}));

    // A 404 is refused when its answer arrives: the cancellation error, no progress beyond the start.
    posted.clear();
    Caller missing;
    download("/missing.png", missing);
    ASSERT_TRUE(missing.wait());
    ASSERT_TRUE(missing.error);
    EXPECT_EQ(missing.error->domain(), platform::URLError::kDomain);
    EXPECT_EQ(missing.error->code(), platform::URLError::Cancelled);
    EXPECT_EQ(missing.expected, std::vector<int64_t>{-1});
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(posted,
              (std::vector<std::string>{"StartNotification", "ReceiveResponseNotification", "StopNotification"}));

    // Bodies that are no whole image of a size fail that download with an error.
    Data truncated(png.begin(), png.begin() + png.size() * 2 / 3);
    Data corrupt = png;
    for (size_t i = 40; i < corrupt.size(); ++i) corrupt[i] ^= 0x5A;
    const std::vector<std::pair<std::string, Data>> hostile = {
        {"/text", Data{'h', 'e', 'l', 'l', 'o'}},
        {"/truncated.png", truncated},
        {"/corrupt.png", corrupt},
        {"/enormous.png", fileBytes("src/platform/graphics/test-data/huge-declared-size.png")},
        {"/enormous.jpg", fileBytes("src/platform/graphics/test-data/huge-declared-size.jpg")},
    };
    for (const auto& [path, body] : hostile) {
        server.addRoute(testsupport::imageRoute(path, body));
        Caller caller;
        download(path, caller);
        ASSERT_TRUE(caller.wait()) << path;
        EXPECT_FALSE(caller.image) << path;
        ASSERT_TRUE(caller.error) << path;
        EXPECT_EQ(caller.error->domain(), KJSDWebImageErrorDomain) << path;
        EXPECT_EQ(caller.error->localizedDescription(), "Downloaded image has 0 pixels") << path;
    }
    server.addRoute(testsupport::imageRoute("/empty.png", {}));
    Caller empty;
    download("/empty.png", empty);
    ASSERT_TRUE(empty.wait());
    ASSERT_TRUE(empty.error);
    EXPECT_EQ(empty.error->localizedDescription(), "Image data is nil");
    for (const auto& observer : observers) platform::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(DownloaderTest, AtMostSixDownloadsRunAtOnce) {
    for (int i = 0; i < 8; ++i) {
        auto slow = testsupport::imageRoute("/slow" + std::to_string(i) + ".png", png);
        slow.delaySeconds = 0.4;
        server.addRoute(slow);
    }
    std::vector<Caller> callers(8);
    for (int i = 0; i < 8; ++i) download("/slow" + std::to_string(i) + ".png", callers[size_t(i)]);
    for (auto& caller : callers) ASSERT_TRUE(caller.wait());
    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 8u);
    size_t most = 0;
    for (const auto& entry : journal) {
        size_t open = size_t(std::count_if(journal.begin(), journal.end(), [&](const auto& other) {
            return other.receivedAt <= entry.receivedAt && other.answeredAt > entry.receivedAt;
        }));
        most = std::max(most, open);
    }
    EXPECT_EQ(most, 6u);
}

TEST_F(DownloaderTest, RequestsTimeOutAfterFifteenSecondsOfTheClock) {
    platform::Clock::useVirtual();
    std::optional<double> timeout;
    downloader->setDownloadTimeout(0);  // counts as 15 s
    downloader->setOperationClass([&](const platform::URLRequest& request, const auto& session, auto options) {
        timeout = request.timeoutInterval();
        return std::make_shared<KJSDWebImageDownloaderOperation>(request, session, options);
    });
    auto silent = testsupport::imageRoute("/silent.png", png);
    silent.delaySeconds = 5;
    server.addRoute(silent);
    Caller caller;
    download("/silent.png", caller);
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_EQ(timeout, 15.0);
    platform::Clock::advance(14.5);
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(caller.reports.empty());
    platform::Clock::advance(1);
    ASSERT_TRUE(caller.wait());
    ASSERT_TRUE(caller.error);
    EXPECT_EQ(caller.error->code(), platform::URLError::TimedOut);
}

TEST_F(DownloaderTest, LateCallersAndRequestsWithoutURLAreAnswered) {
    // No URL: an error, finished, at once.
    Caller none;
    EXPECT_FALSE(downloader->downloadImageWithURL(std::nullopt, 0, nullptr, none.completed()));
    EXPECT_EQ(none.reports, std::vector<bool>{true});
    EXPECT_TRUE(none.error);

    // A caller arriving while a download delivers its end, or after it was cancelled, gets a
    // download of its own.
    server.addRoute(testsupport::imageRoute("/again.png", png));
    Caller first, again;
    downloader->downloadImageWithURL(url("/again.png"), 0, nullptr,
                                     [&](auto image, auto data, auto error, bool finished) {
                                         first.completed()(image, data, error, finished);
                                         download("/again.png", again);
                                     });
    ASSERT_TRUE(first.wait());
    ASSERT_TRUE(again.wait());
    EXPECT_TRUE(again.image);
    EXPECT_EQ(requestsFor("/again.png"), 2u);

    auto stalled = testsupport::imageRoute("/stalled.png", png);
    stalled.stallAfterBytes = 10;
    stalled.stallSeconds = 1;
    server.addRoute(stalled);
    Caller dropped, after;
    download("/stalled.png", dropped);
    ASSERT_TRUE(server.waitForRequests(3));
    downloader->cancelAllDownloads();
    download("/stalled.png", after);
    ASSERT_TRUE(after.wait());
    EXPECT_TRUE(after.image);
    EXPECT_TRUE(dropped.reports.empty());
}

TEST_F(DownloaderTest, ProgressiveDownloadsShowPartialImagesBeforeTheWholeOne) {
    const Data noise = noisePNG(128);
    auto halting = testsupport::imageRoute("/noise.png", noise);
    halting.stallAfterBytes = static_cast<long long>(noise.size() / 2);
    halting.stallSeconds = 0.5;
    server.addRoute(halting);
    Caller caller;
    download("/noise.png", caller, KJSDDownloadProgressive);
    ASSERT_TRUE(caller.wait());
    ASSERT_GE(caller.reports.size(), 2u);
    EXPECT_FALSE(caller.reports.front());
    EXPECT_EQ(std::count(caller.reports.begin(), caller.reports.end(), true), 1);
    ASSERT_TRUE(caller.image);
    EXPECT_EQ(caller.image->size(), (platform::CGSize{128, 128}));

    // Basic authentication with the downloader's user and password.
    auto guarded = testsupport::imageRoute("/private.png", png);
    guarded.basicAuth = "user:secret";
    server.addRoute(guarded);
    Caller refused;
    download("/private.png", refused);
    ASSERT_TRUE(refused.wait());
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code(), platform::URLError::Cancelled);
    downloader->setUsername("user");
    downloader->setPassword("secret");
    Caller allowed;
    download("/private.png", allowed);
    ASSERT_TRUE(allowed.wait());
    EXPECT_TRUE(allowed.image);
}

TEST_F(DownloaderTest, HeadersAndTheirFilterShapeEveryRequest) {
    server.addRoute(testsupport::imageRoute("/h.png", png));
    downloader->setValueForHTTPHeaderField("one", "X-First");
    downloader->setValueForHTTPHeaderField("two", "X-Second");
    downloader->setValueForHTTPHeaderField("three", "x-second");  // names match without regard to case
    downloader->setValueForHTTPHeaderField(std::nullopt, "X-First");
    downloader->setValueForHTTPHeaderField(std::nullopt, "X-Missing");
    EXPECT_EQ(downloader->valueForHTTPHeaderField("X-SECOND"), "three");
    EXPECT_FALSE(downloader->valueForHTTPHeaderField("X-First"));
    downloader->setHeadersFilter([](const URL& url, platform::HTTPHeaderFields headers) {
        headers.emplace_back("X-Path", url.path());
        return headers;
    });
    Caller caller;
    download("/h.png", caller, KJSDDownloadHighPriority | KJSDDownloadHandleCookies);
    ASSERT_TRUE(caller.wait());
    EXPECT_TRUE(caller.image);
    auto request = server.journal().at(0);
    EXPECT_EQ(request.header("X-Second"), "three");
    EXPECT_EQ(request.header("X-First"), "");
    EXPECT_EQ(request.header("X-Path"), "/h.png");
    EXPECT_EQ(request.header("Accept"), "image/*;q=0.8");
}

TEST_F(DownloaderTest, LastInFirstOutStartsTheNewestWaitingDownloadFirst) {
    downloader->setMaxConcurrentDownloads(1);
    downloader->setExecutionOrder(KJSDWebImageDownloader::ExecutionOrder::LIFO);
    auto slow = testsupport::imageRoute("/first.png", png);
    slow.delaySeconds = 0.3;
    server.addRoute(slow);
    server.addRoute(testsupport::imageRoute("/second.png", png));
    server.addRoute(testsupport::imageRoute("/third.png", png));
    Caller first, second, third;
    download("/first.png", first);
    ASSERT_TRUE(server.waitForRequests(1));
    download("/second.png", second);
    download("/third.png", third);
    ASSERT_TRUE(first.wait() && second.wait() && third.wait());
    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[1].path, "/third.png");
    EXPECT_EQ(journal[2].path, "/second.png");
}

TEST_F(DownloaderTest, ATokenCancelsItsCallerAndAnInvalidatedSessionEndsItsDownloads) {
    auto stalled = testsupport::imageRoute("/stalled.png", png);
    stalled.stallAfterBytes = 10;
    stalled.stallSeconds = 2;
    server.addRoute(stalled);
    Caller viaToken, kept;
    auto token = download("/stalled.png", viaToken);
    download("/stalled.png", kept);
    ASSERT_TRUE(token);
    EXPECT_EQ(token->url(), url("/stalled.png"));
    token->cancel();
    ASSERT_TRUE(server.waitForRequests(1));
    // Cancelling the session's tasks ends the download the other caller waits for, with the error.
    downloader->invalidateSessionAndCancel(true);
    ASSERT_TRUE(kept.wait());
    ASSERT_TRUE(kept.error);
    EXPECT_EQ(kept.error->code(), platform::URLError::Cancelled);
    EXPECT_TRUE(viaToken.reports.empty());

    // A new session takes the next downloads.
    server.addRoute(testsupport::imageRoute("/next.png", png));
    downloader->createNewSessionWithConfiguration(platform::URLSessionConfiguration::ephemeralSessionConfiguration());
    Caller next;
    download("/next.png", next);
    ASSERT_TRUE(next.wait());
    EXPECT_TRUE(next.image);

    // The shared downloader's session is never invalidated from outside.
    auto shared = KJSDWebImageDownloader::sharedDownloader();
    shared->invalidateSessionAndCancel(true);
    Caller viaShared;
    shared->downloadImageWithURL(url("/next.png"), 0, nullptr, viaShared.completed());
    ASSERT_TRUE(viaShared.wait());
    EXPECT_TRUE(viaShared.image);
}

TEST_F(DownloaderTest, AServerThatIsNotTrustedIsDownloadedFromOnlyWhenAllowed) {
    sampleserver::SampleServer tls({.tls = true});
    tls.start();
    tls.addRoute(testsupport::imageRoute("/t.png", png));
    URL address = *URL::fromString(tls.baseURL() + "/t.png");
    Caller refused, allowed;
    downloader->downloadImageWithURL(address, 0, nullptr, refused.completed());
    ASSERT_TRUE(refused.wait());
    EXPECT_TRUE(refused.error);
    EXPECT_FALSE(refused.image);
    downloader->downloadImageWithURL(address, KJSDDownloadAllowInvalidCertificates, nullptr, allowed.completed());
    ASSERT_TRUE(allowed.wait());
    EXPECT_TRUE(allowed.image);
    EXPECT_EQ(tls.journal().size(), 1u);
}

}  // namespace
}  // namespace brindlecue
