// The image manager against the sample server: memory, then disk, then network; failed URLs;
// the cache-only and refresh options; hostile answers leave the cache consistent; prefetching.

#include "imaging/KJSDWebImageManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <list>
#include <mutex>

#include "imaging/KJSDWebImageCompat.h"
#include "imaging/KJSDWebImagePrefetcher.h"
#include "platform/Crypto.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/URLError.h"
#include "platform/uikit/UIImage.h"
#include "sample-server/SampleServer.h"
#include "support/SampleRoutes.h"
#include "support/TestImages.h"

namespace brindlecue {
namespace {

namespace fs = std::filesystem;
using platform::Data;
using platform::Error;
using platform::RunLoop;
using platform::UIImage;
using platform::URL;

struct Report {
    std::shared_ptr<UIImage> image;
    std::optional<Data> data;
    std::optional<Error> error;
    KJSDImageCacheType cacheType;
    bool finished;
};

struct Load {
    std::vector<Report> reports;
    KJSDInternalCompletionBlock completed() {
        return [this](std::shared_ptr<UIImage> image, std::optional<Data> data, std::optional<Error> error,
                      KJSDImageCacheType type, bool finished, const std::optional<URL>&) {
            EXPECT_TRUE(platform::isMainThread());
            reports.push_back({image, data, error, type, finished});
        };
    }
    bool wait(size_t count = 1) {
        return RunLoop::main().runUntil([&] { return reports.size() >= count && reports.back().finished; }, 20);
    }
    const Report& last() const { return reports.back(); }
};

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override { server.start(); }
    void TearDown() override { manager->cancelAll(); }
    URL url(const std::string& path) { return *URL::fromString(server.baseURL() + path); }
    Load& load(const std::string& path, KJSDWebImageOptions options = 0) {
        loads.emplace_back();
        manager->loadImageWithURL(url(path), options, nullptr, loads.back().completed());
        return loads.back();
    }
    size_t requests() { return server.journal().size(); }

    sampleserver::SampleServer server;
    std::shared_ptr<KJSDImageCache> cache = KJSDImageCache::create("test");
    std::shared_ptr<KJSDWebImageManager> manager = KJSDWebImageManager::create(cache, KJSDWebImageDownloader::create());
    std::list<Load> loads;
    const Data png = testsupport::makeTestPNG(4, 2);
};

TEST_F(ManagerTest, ImagesComeFromMemoryThenDiskThenTheNetworkOnce) {
    auto slow = testsupport::imageRoute("/img/logo.png", png);
    slow.delaySeconds = 0.2;
    server.addRoute(slow);
    Load& first = load("/img/logo.png");
    Load& second = load("/img/logo.png");
    EXPECT_TRUE(manager->isRunning());
    ASSERT_TRUE(first.wait());
    ASSERT_TRUE(second.wait());
    EXPECT_EQ(requests(), 1u);
    ASSERT_TRUE(first.last().image);
    EXPECT_EQ(first.last().image->size(), (platform::CGSize{4, 2}));
    EXPECT_EQ(first.last().data, png);
    EXPECT_EQ(first.last().cacheType, KJSDImageCacheType::None);
    EXPECT_FALSE(manager->isRunning());

    // On disk as the MD5 of the URL plus its extension, with the bytes as they came.
    const std::string key = url("/img/logo.png").absoluteString();
    fs::path file = cache->diskCachePath() / (platform::Crypto::md5Hex(key) + ".png");
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return fs::exists(file); }));
    EXPECT_EQ(fs::file_size(file), png.size());

    Load& memory = load("/img/logo.png");
    ASSERT_TRUE(memory.wait());
    EXPECT_EQ(memory.last().cacheType, KJSDImageCacheType::Memory);
    EXPECT_EQ(memory.last().image, first.last().image);
    cache->clearMemory();
    Load& disk = load("/img/logo.png");
    ASSERT_TRUE(disk.wait());
    EXPECT_EQ(disk.last().cacheType, KJSDImageCacheType::Disk);
    EXPECT_EQ(disk.last().image->size(), (platform::CGSize{4, 2}));
    EXPECT_EQ(requests(), 1u);
}

TEST_F(ManagerTest, URLsThatFailedForGoodAreRefusedUnlessRetried) {
    server.addRoute(testsupport::route("GET", "/flaky.png", 200, "not an image"));
    Load& text = load("/flaky.png");
    ASSERT_TRUE(text.wait());
    EXPECT_EQ(text.last().error->localizedDescription(), "Downloaded image has 0 pixels");

    Load& refused = load("/flaky.png");
    ASSERT_TRUE(refused.wait());
    EXPECT_EQ(refused.last().error->domain(), platform::URLError::kDomain);
    EXPECT_EQ(refused.last().error->code(), -1100);
    EXPECT_EQ(requests(), 1u);
    EXPECT_FALSE(manager->isRunning());

    server.addRoute(testsupport::imageRoute("/flaky.png", png));
    Load& retried = load("/flaky.png", KJSDImageLoadRetryFailedURL);
    ASSERT_TRUE(retried.wait());
    EXPECT_TRUE(retried.last().image);
    cache->clearMemory();
    bool cleared = false;
    cache->clearDiskOnCompletion([&] { cleared = true; });  // after the download's write
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return cleared; }));
    Load& plain = load("/flaky.png");
    ASSERT_TRUE(plain.wait());
    EXPECT_TRUE(plain.last().image);
    EXPECT_EQ(requests(), 3u);

    // A 404 (the cancellation error) and a time-out never block their URL.
    Load& missing = load("/missing.png");
    ASSERT_TRUE(missing.wait());
    EXPECT_EQ(missing.last().error->code(), platform::URLError::Cancelled);
    Load& missingAgain = load("/missing.png");
    ASSERT_TRUE(missingAgain.wait());
    EXPECT_EQ(missingAgain.last().error->code(), platform::URLError::Cancelled);
    EXPECT_EQ(requests(), 5u);

    platform::Clock::useVirtual();
    auto silent = testsupport::imageRoute("/silent.png", png);
    silent.delaySeconds = 3;
    server.addRoute(silent);
    Load& timedOut = load("/silent.png");
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return requests() == 6; }));  // the cache answers on the main queue
    platform::Clock::advance(15.5);
    ASSERT_TRUE(timedOut.wait());
    EXPECT_EQ(timedOut.last().error->code(), platform::URLError::TimedOut);
    server.addRoute(testsupport::imageRoute("/silent.png", png));
    Load& afterTimeOut = load("/silent.png");
    ASSERT_TRUE(afterTimeOut.wait());
    EXPECT_TRUE(afterTimeOut.last().image);

    // No URL, empty text and text that is no URL.
    for (const char* text : {"", "http://bad host/x.png"}) {
        Load& none = loads.emplace_back();
        manager->loadImageWithURL(std::string_view(text), 0, nullptr, none.completed());
        ASSERT_TRUE(none.wait()) << text;
        EXPECT_EQ(none.last().error->code(), -1100) << text;
    }
    EXPECT_FALSE(manager->isRunning());
}

TEST_F(ManagerTest, CancelledLoadsAndCacheOptionsReportAsTheyShould) {
    server.addRoute(testsupport::imageRoute("/a.png", png));
    Load cancelled;
    manager->loadImageWithURL(url("/a.png"), 0, nullptr, cancelled.completed())->cancel();
    EXPECT_FALSE(manager->isRunning());
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(cancelled.reports.empty());

    Load& cacheOnly = load("/a.png", KJSDImageLoadFromCacheOnly);
    ASSERT_TRUE(cacheOnly.wait());
    EXPECT_EQ(cacheOnly.reports.size(), 1u);
    EXPECT_FALSE(cacheOnly.last().image);
    EXPECT_FALSE(cacheOnly.last().error);
    EXPECT_EQ(requests(), 0u);

    // A refresh reports the cached image first, then the download.
    ASSERT_TRUE(load("/a.png").wait());
    Load& refreshed = load("/a.png", KJSDImageLoadRefreshCached);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return refreshed.reports.size() == 2; }));
    EXPECT_EQ(refreshed.reports[0].cacheType, KJSDImageCacheType::Memory);
    EXPECT_EQ(refreshed.reports[1].cacheType, KJSDImageCacheType::None);
    EXPECT_TRUE(refreshed.reports[1].image);
    // When the URL cache answers the refresh, only the cached image is reported.
    auto cacheable = testsupport::imageRoute("/kept.png", png);
    cacheable.headers.push_back({"Cache-Control", "max-age=600"});
    server.addRoute(cacheable);
    ASSERT_TRUE(load("/kept.png", KJSDImageLoadRefreshCached).wait());
    Load& fromURLCache = load("/kept.png", KJSDImageLoadRefreshCached);
    ASSERT_TRUE(fromURLCache.wait());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !manager->isRunning(); }));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(fromURLCache.reports.size(), 1u);
    EXPECT_EQ(fromURLCache.last().cacheType, KJSDImageCacheType::Memory);
}

TEST_F(ManagerTest, HostileImagesFailTheirLoadAndLeaveTheCacheConsistent) {
    Data corrupt = png;
    for (size_t i = 20; i < corrupt.size(); ++i) corrupt[i] = uint8_t(~corrupt[i]);
    server.addRoute(testsupport::imageRoute("/bad.png", corrupt));
    Load& bad = load("/bad.png");
    ASSERT_TRUE(bad.wait());
    EXPECT_TRUE(bad.last().error);
    const std::string key = url("/bad.png").absoluteString();
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey(key));
    EXPECT_FALSE(cache->diskImageDataExistsWithKey(key));

    // A damaged file on disk gives no image: the load downloads, and the good bytes replace it.
    server.addRoute(testsupport::imageRoute("/damaged.png", png));
    const std::string damagedKey = url("/damaged.png").absoluteString();
    cache->storeImageDataToDisk(Data(png.begin(), png.begin() + 30), damagedKey);
    Load& damaged = load("/damaged.png");
    ASSERT_TRUE(damaged.wait());
    EXPECT_EQ(damaged.last().cacheType, KJSDImageCacheType::None);
    EXPECT_TRUE(damaged.last().image);
    EXPECT_EQ(requests(), 2u);
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return cache->diskImageDataBySearchingAllPathsForKey(damagedKey) == png; }));
}

TEST_F(ManagerTest, PrefetchingWarmsTheCacheAndCountsWhatCameNot) {
    for (const char* path : {"/p0.png", "/p1.png", "/p2.png", "/p3.png"})
        server.addRoute(testsupport::imageRoute(path, png));
    auto prefetcher = KJSDWebImagePrefetcher::create(manager);
    EXPECT_EQ(manager->imageDownloader()->maxConcurrentDownloads(), 3);
    std::vector<uint64_t> progress;
    std::optional<std::pair<uint64_t, uint64_t>> done;
    prefetcher->prefetchURLs({url("/p0.png"), url("/p1.png"), url("/missing.png"), url("/p2.png"), url("/p3.png")},
                             [&](uint64_t finished, uint64_t total) {
                                 EXPECT_EQ(total, 5u);
                                 progress.push_back(finished);
                             },
                             [&](uint64_t finished, uint64_t skipped) { done.emplace(finished, skipped); });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return done.has_value(); }));
    EXPECT_EQ(*done, std::make_pair(uint64_t(5), uint64_t(1)));
    EXPECT_EQ(progress, (std::vector<uint64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(requests(), 5u);
    for (const char* path : {"/p0.png", "/p1.png", "/p2.png", "/p3.png"})
        EXPECT_TRUE(cache->imageFromMemoryCacheForKey(url(path).absoluteString())) << path;

    bool empty = false;
    prefetcher->prefetchURLs({}, nullptr, [&](uint64_t finished, uint64_t skipped) {
        empty = finished == 0 && skipped == 0;
    });
    EXPECT_TRUE(empty);
}

TEST_F(ManagerTest, TheDelegateDecidesDownloadsBlockedURLsAndTransformedImages) {
    server.addRoute(testsupport::imageRoute("/d.png", png));
    auto delegate = std::make_shared<KJSDWebImageManagerDelegate>();
    std::atomic<int> asked{0};
    delegate->shouldDownloadImageForURL = [&](KJSDWebImageManager&, const URL&) {
        ++asked;
        return false;
    };
    manager->setDelegate(delegate);
    // Not to be downloaded: the load ends with nothing, and nothing is asked of the server.
    Load& skipped = load("/d.png");
    ASSERT_TRUE(skipped.wait());
    EXPECT_FALSE(skipped.last().image);
    EXPECT_FALSE(skipped.last().error);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(requests(), 0u);

    // A failure the built-in rule lets pass (a 404) is blocked when the delegate says so.
    delegate->shouldDownloadImageForURL = nullptr;
    delegate->shouldBlockFailedURL = [](KJSDWebImageManager&, const URL& url, const Error&) {
        return url.path() == "/gone.png";
    };
    Load& gone = load("/gone.png");
    ASSERT_TRUE(gone.wait());
    Load& goneAgain = load("/gone.png");
    ASSERT_TRUE(goneAgain.wait());
    EXPECT_EQ(goneAgain.last().error->code(), -1100);
    EXPECT_EQ(requests(), 1u);

    // A transformed image is what the caller gets and what the cache keeps, without the old bytes.
    auto replacement = UIImage::imageWithData(testsupport::makeTestPNG(8, 8));
    delegate->transformDownloadedImage = [&](KJSDWebImageManager&, const std::shared_ptr<UIImage>&, const URL&) {
        EXPECT_FALSE(platform::isMainThread());
        return replacement;
    };
    Load& transformed = load("/d.png");
    ASSERT_TRUE(transformed.wait());
    EXPECT_EQ(transformed.last().image, replacement);
    const std::string key = url("/d.png").absoluteString();
    EXPECT_EQ(cache->imageFromMemoryCacheForKey(key), replacement);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return cache->diskImageDataExistsWithKey(key); }));
    auto onDisk = cache->diskImageDataBySearchingAllPathsForKey(key);
    ASSERT_TRUE(onDisk);
    EXPECT_NE(*onDisk, png);
    EXPECT_EQ(UIImage::imageWithData(*onDisk)->size(), (platform::CGSize{8, 8}));
}

TEST_F(ManagerTest, AKeyFilterNamesTheCacheEntryAndASerializerGivesItsBytes) {
    server.addRoute(testsupport::imageRoute("/k.png", png));
    manager->setCacheKeyFilter([](const std::optional<URL>& url) { return "filtered:" + url->path(); });
    const Data stored = {'s', 't', 'o', 'r', 'e', 'd'};
    manager->setCacheSerializer([&](const std::shared_ptr<UIImage>&, const std::optional<Data>& data,
                                    const std::optional<URL>&) {
        EXPECT_EQ(data, png);
        return std::optional<Data>(stored);
    });
    EXPECT_EQ(manager->cacheKeyForURL(url("/k.png")), "filtered:/k.png");
    EXPECT_EQ(manager->cacheKeyForURL(std::nullopt), "");
    Load& first = load("/k.png");
    ASSERT_TRUE(first.wait());
    EXPECT_TRUE(first.last().image);
    // With a serializer the image is stored after the caller has heard of it.
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return cache->diskImageDataBySearchingAllPathsForKey("filtered:/k.png") == stored; }));
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey("filtered:/k.png"));
    EXPECT_FALSE(cache->diskImageDataExistsWithKey(url("/k.png").absoluteString()));
}

TEST_F(ManagerTest, AsksTheCacheWhetherAURLIsThereAndSavesWhatItIsGiven) {
    auto image = UIImage::imageWithData(png);
    std::vector<bool> answers;
    auto ask = [&](auto call) {
        bool done = false;
        call([&](bool exists) {
            answers.push_back(exists);
            done = true;
        });
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return done; }));
    };
    ask([&](auto completion) { manager->cachedImageExistsForURL(url("/s.png"), completion); });
    manager->saveImageToCache(image, url("/s.png"));
    manager->saveImageToCache(nullptr, url("/none.png"));
    manager->saveImageToCache(image, std::nullopt);
    // In memory at once; on disk once the write has run.
    ask([&](auto completion) { manager->cachedImageExistsForURL(url("/s.png"), completion); });
    ask([&](auto completion) { manager->diskImageExistsForURL(url("/s.png"), completion); });
    ask([&](auto completion) { manager->cachedImageExistsForURL(url("/none.png"), completion); });
    EXPECT_EQ(answers, (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(cache->getDiskCount(), 1u);
}

TEST_F(ManagerTest, AnUnreachableServerNeverBlocksItsURLs) {
    URL closed = *URL::fromString("http://127.0.0.1:1/img.png");
    for (int attempt = 0; attempt < 2; ++attempt) {
        Load& attemptLoad = loads.emplace_back();
        manager->loadImageWithURL(closed, KJSDImageLoadHighPriority | KJSDImageLoadHandleCookies,
                                  nullptr, attemptLoad.completed());
        ASSERT_TRUE(attemptLoad.wait());
        EXPECT_EQ(attemptLoad.last().error->code(), platform::URLError::CannotConnectToHost) << attempt;
    }
}

TEST_F(ManagerTest, APrefetcherTellsItsDelegateAndANewListReplacesTheOldOne) {
    for (const char* path : {"/q0.png", "/q1.png", "/q2.png"}) server.addRoute(testsupport::imageRoute(path, png));
    auto stalled = testsupport::imageRoute("/stalled.png", png);
    stalled.stallAfterBytes = 10;
    stalled.stallSeconds = 30;
    server.addRoute(stalled);
    auto prefetcher = KJSDWebImagePrefetcher::create(manager);
    prefetcher->setMaxConcurrentDownloads(1);
    prefetcher->setPrefetcherQueue(platform::DispatchQueue::serial("test.prefetch"));
    auto delegate = std::make_shared<KJSDWebImagePrefetcherDelegate>();
    std::mutex mutex;
    std::vector<std::string> heard;
    std::optional<std::pair<uint64_t, uint64_t>> totals;
    delegate->didPrefetchURL = [&](KJSDWebImagePrefetcher&, const URL& url, uint64_t finished, uint64_t total) {
        std::lock_guard lock(mutex);
        heard.push_back(url.path() + " " + std::to_string(finished) + "/" + std::to_string(total));
    };
    delegate->didFinishWithTotalCount = [&](KJSDWebImagePrefetcher&, uint64_t total, uint64_t skipped) {
        std::lock_guard lock(mutex);
        totals.emplace(total, skipped);
    };
    prefetcher->setDelegate(delegate);

    // A list that is replaced before it ends reports nothing more, and its load is cancelled.
    bool firstDone = false;
    prefetcher->prefetchURLs({url("/stalled.png"), url("/q0.png")}, nullptr, [&](uint64_t, uint64_t) { firstDone = true; });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return requests() == 1; }));  // the cache answers on the main queue
    prefetcher->prefetchURLs({url("/q0.png"), url("/missing.png"), url("/q2.png")});
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        std::lock_guard lock(mutex);
        return totals.has_value();
    }));
    RunLoop::main().runUntilIdle();
    std::lock_guard lock(mutex);
    EXPECT_FALSE(firstDone);
    EXPECT_EQ(heard, (std::vector<std::string>{"/q0.png 1/3", "/missing.png 2/3", "/q2.png 3/3"}));
    EXPECT_EQ(*totals, std::make_pair(uint64_t(2), uint64_t(1)));
}

}  // namespace
}  // namespace brindlecue
