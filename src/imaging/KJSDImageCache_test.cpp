#include "imaging/KJSDImageCache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>

#include "platform/AppContainer.h"
#include "platform/Crypto.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"
#include "support/TestImages.h"

namespace brindlecue {
namespace {

namespace fs = std::filesystem;
using platform::Clock;
using platform::Data;
using platform::RunLoop;
using platform::UIImage;

struct Answer {
    bool called = false;
    std::shared_ptr<UIImage> image;
    std::optional<Data> data;
    KJSDImageCacheType type = KJSDImageCacheType::None;
    KJSDImageCache::QueryCompletedBlock block() {
        return [this](std::shared_ptr<UIImage> i, std::optional<Data> d, KJSDImageCacheType t) {
            called = true;
            image = i;
            data = d;
            type = t;
        };
    }
};

Data readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeAll(const fs::path& path, const Data& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void setModified(const fs::path& path, double secondsSince1970) {
    using namespace std::chrono;
    auto sys = sys_time<nanoseconds>(duration_cast<nanoseconds>(duration<double>(secondsSince1970)));
    fs::last_write_time(path, file_clock::from_sys(sys));
}

void waitForMain(bool& flag) { ASSERT_TRUE(RunLoop::main().runUntil([&] { return flag; })); }

TEST(KJSDImageCache, FilesAreNamedByTheKeysDigestAndPathExtension) {
    auto cache = KJSDImageCache::create();
    EXPECT_EQ(cache->diskCachePath(),
              platform::AppContainer::cachesDirectory() / "default" / "tallowmere.KJSDWebImageCache.default");
    const std::string key = "http://h.example/img/photo.png?size=2";
    EXPECT_EQ(KJSDImageCache::cachedFileNameForKey(key), platform::Crypto::md5Hex(key) + ".png");
    EXPECT_EQ(KJSDImageCache::cachedFileNameForKey("http://h.example/img/photo"),
              platform::Crypto::md5Hex("http://h.example/img/photo"));
    // An extension that would name a path below the cache directory is no extension.
    EXPECT_EQ(KJSDImageCache::cachedFileNameForKey("http://h.example/a.x%2F..%2Fy"),
              platform::Crypto::md5Hex("http://h.example/a.x%2F..%2Fy"));
}

// Each test runs in a container of its own: the shared cache, made once, writes into the
// container of the test that uses it.
TEST(KJSDImageCache, TheSharedCacheWritesIntoTheCurrentContainerAfterAReset) {
    const auto diskPath = [] {
        return platform::AppContainer::cachesDirectory() / "default" / "tallowmere.KJSDWebImageCache.default";
    };
    auto cache = KJSDImageCache::sharedImageCache();
    EXPECT_EQ(cache->diskCachePath(), diskPath());
    // A test ends and resets the cache; the next one then gets a container of its own.
    KJSDImageCache::resetSharedForTesting();
    const fs::path other = platform::AppContainer::root() / "other";
    platform::AppContainer::setRoot(other);
    EXPECT_EQ(cache->diskCachePath(), diskPath());
    EXPECT_EQ(cache->diskCachePath().string().rfind(other.string(), 0), 0u);
    platform::AppContainer::setRoot({});
    KJSDImageCache::resetSharedForTesting();
    EXPECT_EQ(cache->diskCachePath(), diskPath());
}

TEST(KJSDImageCache, StoresAndAnswersFromMemoryThenDiskOnTheMainQueue) {
    auto cache = KJSDImageCache::create("test");
    auto decode = [](const Data& bytes) { return UIImage::imageWithData(bytes); };

    // Without bytes the image is encoded: PNG with alpha, JPEG without.
    bool stored = false;
    cache->storeImage(decode(testsupport::makeTestPNG(4, 4, true)), "http://h/alpha.png", [&] { stored = true; });
    waitForMain(stored);
    EXPECT_EQ(readAll(cache->defaultCachePathForKey("http://h/alpha.png")).at(0), 0x89);
    stored = false;
    cache->storeImage(decode(testsupport::makeTestJPEG(4, 4)), "http://h/opaque.jpg", [&] { stored = true; });
    waitForMain(stored);
    EXPECT_EQ(readAll(cache->defaultCachePathForKey("http://h/opaque.jpg")).at(0), 0xFF);

    // Given bytes are written as they are, whole: no half-written file is ever left beside it.
    const Data bytes = testsupport::makeTestPNG(6, 3);
    stored = false;
    cache->storeImage(decode(bytes), bytes, "http://h/given.png", true, [&] { stored = true; });
    waitForMain(stored);
    EXPECT_EQ(readAll(cache->defaultCachePathForKey("http://h/given.png")), bytes);
    EXPECT_EQ(cache->getDiskCount(), 3u);

    // A memory hit is answered at once, without an operation.
    Answer memory;
    EXPECT_FALSE(cache->queryCacheOperationForKey("http://h/given.png", memory.block()));
    EXPECT_TRUE(memory.called);
    EXPECT_EQ(memory.type, KJSDImageCacheType::Memory);
    EXPECT_FALSE(memory.data);

    // With the data asked for, the file is read too; the answer comes on the main queue.
    Answer withData;
    EXPECT_TRUE(cache->queryCacheOperationForKey("http://h/given.png", KJSDImageCacheQueryDataWhenInMemory,
                                                 withData.block()));
    waitForMain(withData.called);
    EXPECT_EQ(withData.image, memory.image);
    EXPECT_EQ(withData.data, bytes);
    EXPECT_EQ(withData.type, KJSDImageCacheType::Memory);

    // From disk the image is decoded, and put back into memory.
    cache->clearMemory();
    Answer disk;
    cache->queryCacheOperationForKey("http://h/given.png", disk.block());
    EXPECT_FALSE(disk.called);
    waitForMain(disk.called);
    EXPECT_EQ(disk.type, KJSDImageCacheType::Disk);
    ASSERT_TRUE(disk.image);
    EXPECT_EQ(disk.image->size(), (platform::CGSize{6, 3}));
    EXPECT_EQ(cache->imageFromMemoryCacheForKey("http://h/given.png"), disk.image);

    // A key found nowhere: no image, no data, from disk.
    Answer nowhere;
    cache->queryCacheOperationForKey("http://h/none.png", nowhere.block());
    waitForMain(nowhere.called);
    EXPECT_FALSE(nowhere.image);
    EXPECT_FALSE(nowhere.data);
    EXPECT_EQ(nowhere.type, KJSDImageCacheType::Disk);

    // Bytes on disk that do not decode give the bytes without an image.
    const Data corrupt = {0x89, 'P', 'N', 'G', 1, 2, 3};
    cache->storeImageDataToDisk(corrupt, "http://h/corrupt.png");
    Answer broken;
    cache->queryCacheOperationForKey("http://h/corrupt.png", broken.block());
    waitForMain(broken.called);
    EXPECT_FALSE(broken.image);
    EXPECT_EQ(broken.data, corrupt);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("http://h/corrupt.png"));

    // A cancelled query never answers.
    cache->clearMemory();
    Answer cancelled;
    cache->queryCacheOperationForKey("http://h/given.png", cancelled.block())->cancel();
    bool after = false;
    cache->diskImageExistsWithKey("http://h/given.png", [&](bool) { after = true; });  // behind it on the I/O queue
    waitForMain(after);
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(cancelled.called);
}

TEST(KJSDImageCache, FilesWithoutExtensionAreFoundAndRemovedWithTheirKey) {
    auto cache = KJSDImageCache::create("test");
    const std::string key = "http://h/old.png";
    const Data bytes = testsupport::makeTestPNG(2, 2);
    fs::path withExtension = cache->defaultCachePathForKey(key);
    fs::path without = fs::path(withExtension).replace_extension();
    writeAll(without, bytes);
    EXPECT_TRUE(cache->diskImageDataExistsWithKey(key));
    EXPECT_EQ(cache->diskImageDataBySearchingAllPathsForKey(key), bytes);

    writeAll(withExtension, bytes);
    bool removed = false;
    cache->removeImageForKey(key, [&] { removed = true; });
    waitForMain(removed);
    EXPECT_FALSE(fs::exists(withExtension));
    EXPECT_FALSE(fs::exists(without));
    EXPECT_FALSE(cache->diskImageDataExistsWithKey(key));

    // Read-only directories are searched after the cache's own.
    fs::path shipped = platform::AppContainer::root() / "shipped";
    writeAll(KJSDImageCache::cachePathForKey(key, shipped), bytes);
    cache->addReadOnlyCachePath(shipped);
    EXPECT_EQ(cache->diskImageDataBySearchingAllPathsForKey(key), bytes);
    EXPECT_FALSE(cache->diskImageDataExistsWithKey(key));
}

TEST(KJSDImageCache, SweepsFilesByAgeThenTheOldestBySize) {
    Clock::useVirtual();
    auto cache = KJSDImageCache::create("test");
    const fs::path dir = cache->diskCachePath();
    const double now = Clock::now();
    const double week = double(cache->config().maxCacheAge);
    writeAll(dir / "expired", Data(10, 1));
    setModified(dir / "expired", now - week);  // exactly the age limit: goes
    writeAll(dir / "young", Data(10, 1));
    setModified(dir / "young", now - week + 1);
    writeAll(dir / ".hidden", Data(10, 1));
    setModified(dir / ".hidden", now - 2 * week);

    bool swept = false;
    cache->deleteOldFilesWithCompletionBlock([&] { swept = true; });
    waitForMain(swept);
    EXPECT_FALSE(fs::exists(dir / "expired"));
    EXPECT_TRUE(fs::exists(dir / "young"));
    EXPECT_TRUE(fs::exists(dir / ".hidden"));

    // Over the size limit the oldest go until less than half of it is left.
    fs::remove(dir / "young");
    for (int i = 0; i < 3; ++i) {
        writeAll(dir / ("f" + std::to_string(i)), Data(16 * 1024, 2));
        setModified(dir / ("f" + std::to_string(i)), now - 300 + 100 * i);
    }
    cache->config().maxCacheSize = 40 * 1024;
    swept = false;
    cache->deleteOldFilesWithCompletionBlock([&] { swept = true; });
    waitForMain(swept);
    EXPECT_FALSE(fs::exists(dir / "f0"));
    EXPECT_FALSE(fs::exists(dir / "f1"));
    EXPECT_TRUE(fs::exists(dir / "f2"));

    // Entering the background sweeps inside a background task that ends with the sweep.
    writeAll(dir / "stale", Data(10, 1));
    setModified(dir / "stale", now - 2 * week);
    auto application = platform::UIApplication::sharedApplication();
    platform::NotificationCenter::defaultCenter().post(
        platform::UIApplication::UIApplicationDidEnterBackgroundNotification, application);
    EXPECT_GE(application->activeBackgroundTaskCount(), 1u);
    EXPECT_TRUE(RunLoop::main().runUntil(
        [&] { return !fs::exists(dir / "stale") && application->activeBackgroundTaskCount() == 0; }));
}

TEST(KJSDImageCache, TheSizeLimitCountsTheRoomFilesTakeOnDisk) {
    Clock::useVirtual();
    auto cache = KJSDImageCache::create("test");
    const fs::path dir = cache->diskCachePath();
    const double now = Clock::now();
    for (int i = 0; i < 5; ++i) {
        writeAll(dir / ("small" + std::to_string(i)), Data(300, 3));
        setModified(dir / ("small" + std::to_string(i)), now - 500 + 100 * i);
    }
    struct stat info {};
    ASSERT_EQ(::stat((dir / "small0").c_str(), &info), 0);
    const uint64_t allocated = uint64_t(info.st_blocks) * 512;
    if (allocated <= 300) GTEST_SKIP() << "this file system keeps small files without whole blocks";

    // 1,500 bytes, but five blocks: over a limit of just under five blocks, the oldest go until
    // less than half of the limit is left, so two stay.
    cache->config().maxCacheSize = 5 * allocated - 1;
    bool swept = false;
    cache->deleteOldFilesWithCompletionBlock([&] { swept = true; });
    waitForMain(swept);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(fs::exists(dir / ("small" + std::to_string(i))), i >= 3) << i;
}

TEST(KJSDImageCache, MemoryWarningsKeepImagesThatAreStillInUse) {
    auto cache = KJSDImageCache::create("test");
    auto shown = UIImage::imageWithData(testsupport::makeTestPNG(8, 8));
    cache->storeImage(shown, "http://h/shown.png", false, nullptr);
    cache->storeImage(UIImage::imageWithData(testsupport::makeTestPNG(8, 8)), "http://h/unused.png", false, nullptr);
    EXPECT_EQ(cache->memCache().totalCost(), 128u);

    platform::NotificationCenter::defaultCenter().post(
        platform::UIApplication::UIApplicationDidReceiveMemoryWarningNotification);
    EXPECT_EQ(cache->memCache().totalCost(), 0u);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("http://h/unused.png"));
    // Still shown somewhere: found, and back in the evictable part with its cost.
    EXPECT_EQ(cache->imageFromMemoryCacheForKey("http://h/shown.png"), shown);
    EXPECT_EQ(cache->memCache().totalCost(), 64u);

    // Limits evict the least recently used first.
    cache->setMaxMemoryCountLimit(1);
    cache->storeImage(UIImage::imageWithData(testsupport::makeTestPNG(8, 8)), "http://h/new.png", false, nullptr);
    EXPECT_EQ(cache->memCache().totalCost(), 64u);
    shown.reset();
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("http://h/shown.png"));
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey("http://h/new.png"));
}

TEST(KJSDImageCache, WithoutAKeyOrAnImageNothingIsStoredAndTheAnswerComesAtOnce) {
    auto cache = KJSDImageCache::create("empty");
    auto image = UIImage::imageWithData(testsupport::makeTestPNG(2, 2));
    int calls = 0;
    cache->storeImage(nullptr, "http://h/a.png", [&] { ++calls; });
    EXPECT_EQ(calls, 1);
    cache->storeImage(image, "", [&] { ++calls; });
    EXPECT_EQ(calls, 2);
    // Kept in memory only: the callback comes at once, and no file is written.
    cache->storeImage(image, "http://h/memory.png", false, [&] { ++calls; });
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(cache->imageFromMemoryCacheForKey("http://h/memory.png"), image);
    cache->storeImageDataToDisk(std::nullopt, "http://h/none.png");
    cache->storeImageDataToDisk(testsupport::makeTestPNG(2, 2), "");
    EXPECT_FALSE(fs::exists(cache->diskCachePath()));
    EXPECT_FALSE(cache->diskImageDataExistsWithKey(""));
    EXPECT_FALSE(cache->diskImageDataExistsWithKey("http://h/memory.png"));

    Answer noKey;
    EXPECT_FALSE(cache->queryCacheOperationForKey("", noKey.block()));
    EXPECT_TRUE(noKey.called);
    EXPECT_FALSE(noKey.image);
    EXPECT_EQ(noKey.type, KJSDImageCacheType::None);

    // Removing without a key does nothing and calls nothing; from memory only, at once.
    cache->removeImageForKey("", [&] { ++calls; });
    cache->removeImageForKey("http://h/memory.png", false, [&] { ++calls; });
    EXPECT_EQ(calls, 4);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("http://h/memory.png"));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(calls, 4);
}

TEST(KJSDImageCache, SynchronousReadsTakeTheFileOnTheCallersThread) {
    auto cache = KJSDImageCache::create("sync");
    const Data bytes = testsupport::makeTestPNG(5, 4);
    cache->storeImageDataToDisk(bytes, "http://h/s.png");
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("http://h/s.png"));
    auto image = cache->imageFromCacheForKey("http://h/s.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (platform::CGSize{5, 4}));
    EXPECT_EQ(cache->imageFromMemoryCacheForKey("http://h/s.png"), image);
    EXPECT_EQ(cache->imageFromCacheForKey("http://h/s.png"), image);

    // The disk-sync query answers before it returns, on this thread.
    cache->clearMemory();
    Answer now;
    cache->queryCacheOperationForKey("http://h/s.png", KJSDImageCacheQueryDiskSync, now.block());
    EXPECT_TRUE(now.called);
    EXPECT_EQ(now.type, KJSDImageCacheType::Disk);
    EXPECT_EQ(now.data, bytes);
    ASSERT_TRUE(now.image);

    // A cache that keeps nothing in memory still reads the disk, and leaves memory alone.
    cache->clearMemory();
    cache->config().shouldCacheImagesInMemory = false;
    EXPECT_TRUE(cache->imageFromDiskCacheForKey("http://h/s.png"));
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("http://h/s.png"));
    Answer again;
    cache->queryCacheOperationForKey("http://h/s.png", KJSDImageCacheQueryDiskSync, again.block());
    EXPECT_TRUE(again.image);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("http://h/s.png"));
    bool stored = false;
    cache->storeImage(image, "http://h/t.png", [&] { stored = true; });
    waitForMain(stored);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("http://h/t.png"));
    EXPECT_TRUE(cache->diskImageDataExistsWithKey("http://h/t.png"));
    // A key that is no URL takes its extension as a path's.
    EXPECT_EQ(KJSDImageCache::cachedFileNameForKey("local name.gif"), platform::Crypto::md5Hex("local name.gif") + ".gif");
}

TEST(KJSDImageCache, MeasuresItsDirectoryWithAndWithoutHiddenFiles) {
    auto cache = KJSDImageCache::create("measure");
    bool calculated = false;
    uint64_t count = 99, size = 99;
    // Before anything is written there is no directory and nothing in it.
    EXPECT_EQ(cache->getSize(), 0u);
    cache->calculateSizeWithCompletionBlock([&](uint64_t c, uint64_t s) {
        count = c;
        size = s;
        calculated = true;
    });
    waitForMain(calculated);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(size, 0u);

    cache->storeImageDataToDisk(Data(100, 'a'), "http://h/a.png");
    cache->storeImageDataToDisk(Data(250, 'b'), "http://h/b.png");
    writeAll(cache->diskCachePath() / ".hidden", Data(1000, 'h'));
    EXPECT_EQ(cache->getSize(), 1350u);
    EXPECT_EQ(cache->getDiskCount(), 3u);
    calculated = false;
    cache->calculateSizeWithCompletionBlock([&](uint64_t c, uint64_t s) {
        count = c;
        size = s;
        calculated = true;
    });
    waitForMain(calculated);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(size, 350u);
}

}  // namespace
}  // namespace brindlecue
