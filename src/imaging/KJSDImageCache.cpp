#include "imaging/KJSDImageCache.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>

#include "imaging/KJSDScaledImageForKey.h"
#include "imaging/KJSDWebImageCodersManager.h"
#include "imaging/KJSDWebImageCoderHelper.h"
#include "platform/AppContainer.h"
#include "platform/Crypto.h"
#include "platform/NotificationCenter.h"
#include "platform/TestingReset.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

namespace fs = std::filesystem;
using platform::Data;
using platform::UIImage;

namespace {

constexpr const char* kNamespacePrefix = "tallowmere.KJSDWebImageCache.";

fs::path defaultDiskCachePath(const std::string& nameSpace, const std::optional<fs::path>& directory) {
    if (directory) return *directory / (kNamespacePrefix + nameSpace);
    return KJSDImageCache::makeDiskCachePath(nameSpace);
}

// The room a file takes on disk (its blocks), which the size limit of the sweep counts; none
// when it cannot be read.
std::optional<uint64_t> allocatedSize(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return uint64_t(info.st_blocks) * 512;  // st_blocks counts 512-byte units
}

std::optional<Data> readFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

// The whole file or nothing: the bytes go to a hidden file beside the target, which then replaces it.
bool writeFileAtomically(const fs::path& path, const Data& bytes) {
    std::string hidden = ".";
    hidden += path.filename().string();
    hidden += ".writing";
    fs::path temporary = path.parent_path() / hidden;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ec;
            fs::remove(temporary, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) fs::remove(temporary, ec);
    return !ec;
}

bool writeFile(const fs::path& path, const Data& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

double secondsSince1970(fs::file_time_type time) {
    using namespace std::chrono;
    return duration<double>(file_clock::to_sys(time).time_since_epoch()).count();
}

bool isHidden(const fs::path& path) {
    std::string name = path.filename().string();
    return !name.empty() && name[0] == '.';
}

// The path extension of a key, as a URL when it reads as one, else as a path. An extension
// that could reach outside the file name (a decoded "/" or a NUL) counts as none.
std::string extensionForKey(const std::string& key) {
    std::string extension;
    if (auto url = platform::URL::fromString(key)) {
        extension = url->pathExtension();
    } else {
        fs::path path(key);
        std::string dotted = path.extension().string();
        if (!dotted.empty()) extension = dotted.substr(1);
    }
    if (extension.find_first_of(std::string("/\\\0", 3)) != std::string::npos) return "";
    return extension;
}

}  // namespace

std::shared_ptr<KJSDImageCache> KJSDImageCache::sharedImageCache() {
    // Kept through exit: downloads and disk work may still be running on worker threads.
    static const auto* cache = new std::shared_ptr<KJSDImageCache>([] {
        auto made = create();
        platform::TestingReset::add("KJSDImageCache.shared", [] { resetSharedForTesting(); });
        return made;
    }());
    return *cache;
}

void KJSDImageCache::resetSharedForTesting() {
    auto cache = sharedImageCache();
    cache->ioQueue_->sync([&] {
        std::lock_guard lock(cache->pathsMutex_);
        // Found again when next used: in the container of the test that uses it.
        cache->diskCachePath_.clear();
        cache->customPaths_.clear();
    });
    cache->clearMemory();
    cache->config_ = KJSDImageCacheConfig();
    cache->memCache_->setTotalCostLimit(0);
    cache->memCache_->setCountLimit(0);
}

std::shared_ptr<KJSDImageCache> KJSDImageCache::create(const std::string& nameSpace) {
    return create(nameSpace, makeDiskCachePath(nameSpace));
}

std::shared_ptr<KJSDImageCache> KJSDImageCache::create(const std::string& nameSpace,
                                                       const std::optional<fs::path>& directory) {
    auto cache = std::make_shared<KJSDImageCache>(Token{}, nameSpace, directory);
    cache->startObserving();
    return cache;
}

KJSDImageCache::KJSDImageCache(Token, std::string nameSpace, std::optional<fs::path> directory)
    : nameSpace_(std::move(nameSpace)),
      directory_(std::move(directory)),
      memCache_(KJSDMemoryCache::create(kNamespacePrefix + nameSpace_)),
      ioQueue_(platform::DispatchQueue::serial("tallowmere.KJSDWebImageCache")),
      diskCachePath_(defaultDiskCachePath(nameSpace_, directory_)) {}

KJSDImageCache::~KJSDImageCache() {
    for (const auto& observer : observers_) platform::NotificationCenter::defaultCenter().removeObserver(observer);
}

void KJSDImageCache::startObserving() {
    std::weak_ptr<KJSDImageCache> weak = shared_from_this();
    auto& center = platform::NotificationCenter::defaultCenter();
    observers_.push_back(center.addObserver(platform::UIApplication::UIApplicationWillTerminateNotification, nullptr,
                                            nullptr, [weak](const platform::Notification&) {
                                                if (auto self = weak.lock()) self->deleteOldFiles();
                                            }));
    observers_.push_back(center.addObserver(platform::UIApplication::UIApplicationDidEnterBackgroundNotification,
                                            nullptr, nullptr, [weak](const platform::Notification&) {
                                                if (auto self = weak.lock()) self->backgroundDeleteOldFiles();
                                            }));
}

fs::path KJSDImageCache::makeDiskCachePath(const std::string& component) {
    return platform::AppContainer::cachesDirectory() / component;
}

void KJSDImageCache::addReadOnlyCachePath(const fs::path& path) {
    std::lock_guard lock(pathsMutex_);
    if (std::find(customPaths_.begin(), customPaths_.end(), path) == customPaths_.end()) customPaths_.push_back(path);
}

fs::path KJSDImageCache::diskCachePath() const {
    std::lock_guard lock(pathsMutex_);
    return diskCachePathLocked();
}

const fs::path& KJSDImageCache::diskCachePathLocked() const {
    if (diskCachePath_.empty()) diskCachePath_ = defaultDiskCachePath(nameSpace_, makeDiskCachePath(nameSpace_));
    return diskCachePath_;
}

std::string KJSDImageCache::cachedFileNameForKey(const std::string& key) {
    std::string name = platform::Crypto::md5Hex(key);
    std::string extension = extensionForKey(key);
    if (!extension.empty()) name += "." + extension;
    return name;
}

fs::path KJSDImageCache::cachePathForKey(const std::string& key, const fs::path& path) {
    return path / cachedFileNameForKey(key);
}

fs::path KJSDImageCache::defaultCachePathForKey(const std::string& key) const {
    return cachePathForKey(key, diskCachePath());
}

// ---- Storing

void KJSDImageCache::storeImage(const std::shared_ptr<UIImage>& image, std::optional<Data> imageData,
                                const std::string& key, bool toDisk, NoParamsBlock completion) {
    if (!image || key.empty()) {
        if (completion) completion();
        return;
    }
    if (config_.shouldCacheImagesInMemory) memCache_->setObject(key, image, KJSDMemoryCache::costForImage(*image));
    if (!toDisk) {
        if (completion) completion();
        return;
    }
    ioQueue_->async([self = shared_from_this(), image, data = std::move(imageData), key,
                     completion = std::move(completion)]() mutable {
        if (!data) {
            bool alpha = SDCGImageRefContainsAlpha(image->cgImage().get());
            data = KJSDWebImageCodersManager::sharedInstance()->encodedDataWithImage(
                image, alpha ? KJSDImageFormat::PNG : KJSDImageFormat::JPEG);
        }
        if (data) self->storeImageDataToDiskLocked(*data, key);
        if (completion) platform::DispatchQueue::main()->async(std::move(completion));
    });
}

void KJSDImageCache::storeImage(const std::shared_ptr<UIImage>& image, const std::string& key, bool toDisk,
                                NoParamsBlock completion) {
    storeImage(image, std::nullopt, key, toDisk, std::move(completion));
}

void KJSDImageCache::storeImage(const std::shared_ptr<UIImage>& image, const std::string& key,
                                NoParamsBlock completion) {
    storeImage(image, std::nullopt, key, true, std::move(completion));
}

void KJSDImageCache::storeImageDataToDisk(const std::optional<Data>& imageData, const std::string& key) {
    if (!imageData || key.empty()) return;
    ioQueue_->sync([&] { storeImageDataToDiskLocked(*imageData, key); });
}

void KJSDImageCache::storeImageDataToDiskLocked(const Data& imageData, const std::string& key) {
    if (key.empty()) return;
    fs::path directory = diskCachePath();
    std::error_code ec;
    fs::create_directories(directory, ec);
    fs::path path = cachePathForKey(key, directory);
    // Errors leave the disk without the file; the memory level still has the image.
    if (config_.atomicWrites)
        writeFileAtomically(path, imageData);
    else
        writeFile(path, imageData);
}

// ---- Reading

std::shared_ptr<platform::Operation> KJSDImageCache::queryCacheOperationForKey(const std::string& key,
                                                                               QueryCompletedBlock done) {
    return queryCacheOperationForKey(key, 0, std::move(done));
}

std::shared_ptr<platform::Operation> KJSDImageCache::queryCacheOperationForKey(const std::string& key,
                                                                               KJSDCacheQueryOptions options,
                                                                               QueryCompletedBlock done) {
    if (key.empty()) {
        if (done) done(nullptr, std::nullopt, KJSDImageCacheType::None);
        return nullptr;
    }
    auto image = imageFromMemoryCacheForKey(key);
    if (image && !(options & KJSDImageCacheQueryDataWhenInMemory)) {
        if (done) done(image, std::nullopt, KJSDImageCacheType::Memory);
        return nullptr;
    }
    auto operation = std::make_shared<platform::Operation>(nullptr);
    bool sync = options & KJSDImageCacheQueryDiskSync;
    auto queryDisk = [self = shared_from_this(), operation, key, image, sync, done = std::move(done)] {
        if (operation->isCancelled()) return;
        auto data = self->diskImageDataBySearchingAllPathsForKey(key);
        std::shared_ptr<UIImage> found = image;
        KJSDImageCacheType type = KJSDImageCacheType::Memory;
        if (!found) {
            type = KJSDImageCacheType::Disk;
            if (data) {
                found = self->diskImageForKey(key, data);
                if (found && self->config_.shouldCacheImagesInMemory)
                    self->memCache_->setObject(key, found, KJSDMemoryCache::costForImage(*found));
            }
        }
        // A query cancelled meanwhile never answers.
        if (!done || operation->isCancelled()) return;
        if (sync)
            done(found, std::move(data), type);
        else
            platform::DispatchQueue::main()->async([operation, done, found, data = std::move(data), type]() mutable {
                if (!operation->isCancelled()) done(found, std::move(data), type);
            });
    };
    if (sync)
        queryDisk();
    else
        ioQueue_->async(std::move(queryDisk));
    return operation;
}

std::shared_ptr<UIImage> KJSDImageCache::imageFromMemoryCacheForKey(const std::string& key) {
    return memCache_->objectForKey(key);
}

std::shared_ptr<UIImage> KJSDImageCache::imageFromDiskCacheForKey(const std::string& key) {
    auto image = diskImageForKey(key);
    if (image && config_.shouldCacheImagesInMemory) memCache_->setObject(key, image, KJSDMemoryCache::costForImage(*image));
    return image;
}

std::shared_ptr<UIImage> KJSDImageCache::imageFromCacheForKey(const std::string& key) {
    if (auto image = imageFromMemoryCacheForKey(key)) return image;
    return imageFromDiskCacheForKey(key);
}

std::vector<fs::path> KJSDImageCache::searchPathsForKey(const std::string& key) const {
    std::vector<fs::path> directories;
    {
        std::lock_guard lock(pathsMutex_);
        directories.push_back(diskCachePathLocked());
        directories.insert(directories.end(), customPaths_.begin(), customPaths_.end());
    }
    std::vector<fs::path> paths;
    for (const auto& directory : directories) {
        fs::path path = cachePathForKey(key, directory);
        paths.push_back(path);
        paths.push_back(fs::path(path).replace_extension());
    }
    return paths;
}

std::optional<Data> KJSDImageCache::diskImageDataBySearchingAllPathsForKey(const std::string& key) const {
    if (key.empty()) return std::nullopt;
    for (const auto& path : searchPathsForKey(key))
        if (auto data = readFile(path)) return data;
    return std::nullopt;
}

std::shared_ptr<UIImage> KJSDImageCache::diskImageForKey(const std::string& key) const {
    return diskImageForKey(key, diskImageDataBySearchingAllPathsForKey(key));
}

std::shared_ptr<UIImage> KJSDImageCache::diskImageForKey(const std::string& key,
                                                         const std::optional<Data>& data) const {
    if (!data) return nullptr;
    auto coders = KJSDWebImageCodersManager::sharedInstance();
    auto image = KJSDScaledImageForKey(key, coders->decodedImageWithData(&*data));
    if (image && config_.shouldDecompressImages) {
        Data bytes = *data;
        image = coders->decompressedImageWithImage(
            image, &bytes, platform::Value::dictionary({{KJSDWebImageCoderScaleDownLargeImagesKey, platform::Value(false)}}));
    }
    return image;
}

// ---- Presence

bool KJSDImageCache::diskImageDataExistsLocked(const std::string& key) const {
    if (key.empty()) return false;
    fs::path path = defaultCachePathForKey(key);
    std::error_code ec;
    return fs::exists(path, ec) || fs::exists(fs::path(path).replace_extension(), ec);
}

void KJSDImageCache::diskImageExistsWithKey(const std::string& key, CheckCacheCompletionBlock completion) {
    ioQueue_->async([self = shared_from_this(), key, completion = std::move(completion)] {
        bool exists = self->diskImageDataExistsLocked(key);
        if (completion) platform::DispatchQueue::main()->async([completion, exists] { completion(exists); });
    });
}

bool KJSDImageCache::diskImageDataExistsWithKey(const std::string& key) {
    if (key.empty()) return false;
    return ioQueue_->syncValue([&] { return diskImageDataExistsLocked(key); });
}

// ---- Removing

void KJSDImageCache::removeImageForKey(const std::string& key, NoParamsBlock completion) {
    removeImageForKey(key, true, std::move(completion));
}

void KJSDImageCache::removeImageForKey(const std::string& key, bool fromDisk, NoParamsBlock completion) {
    if (key.empty()) return;
    if (config_.shouldCacheImagesInMemory) memCache_->removeObjectForKey(key);
    if (!fromDisk) {
        if (completion) completion();
        return;
    }
    ioQueue_->async([self = shared_from_this(), key, completion = std::move(completion)] {
        // A file of the layout without extension is found by reads, so it goes too.
        fs::path path = self->defaultCachePathForKey(key);
        std::error_code ec;
        fs::remove(path, ec);
        fs::remove(fs::path(path).replace_extension(), ec);
        if (completion) platform::DispatchQueue::main()->async(completion);
    });
}

void KJSDImageCache::clearMemory() { memCache_->removeAllObjects(); }

void KJSDImageCache::clearDiskOnCompletion(NoParamsBlock completion) {
    ioQueue_->async([self = shared_from_this(), completion = std::move(completion)] {
        fs::path directory = self->diskCachePath();
        std::error_code ec;
        fs::remove_all(directory, ec);
        fs::create_directories(directory, ec);
        if (completion) platform::DispatchQueue::main()->async(completion);
    });
}

uint64_t KJSDImageCache::maxMemoryCost() const { return memCache_->totalCostLimit(); }
void KJSDImageCache::setMaxMemoryCost(uint64_t cost) { memCache_->setTotalCostLimit(cost); }
uint64_t KJSDImageCache::maxMemoryCountLimit() const { return memCache_->countLimit(); }
void KJSDImageCache::setMaxMemoryCountLimit(uint64_t limit) { memCache_->setCountLimit(limit); }

// ---- Sweeping and measuring

void KJSDImageCache::deleteOldFiles() { deleteOldFilesWithCompletionBlock(nullptr); }

void KJSDImageCache::deleteOldFilesWithCompletionBlock(NoParamsBlock completion) {
    ioQueue_->async([self = shared_from_this(), completion = std::move(completion)] {
        struct File {
            fs::path path;
            double modified;
            uint64_t size;
        };
        const double expiry = platform::Clock::now() - double(self->config_.maxCacheAge);
        std::vector<fs::path> expired;
        std::vector<File> kept;
        uint64_t currentSize = 0;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(self->diskCachePath(), ec), end; !ec && it != end; it.increment(ec)) {
            if (isHidden(it->path())) {
                if (it->is_directory(ec)) it.disable_recursion_pending();
                continue;
            }
            std::error_code entryError;
            bool directory = it->is_directory(entryError);
            if (entryError || directory) continue;
            auto time = it->last_write_time(entryError);
            if (entryError) continue;
            auto size = allocatedSize(it->path());
            if (!size) continue;
            double modified = secondsSince1970(time);
            if (modified <= expiry) {
                expired.push_back(it->path());
            } else {
                currentSize += *size;
                kept.push_back({it->path(), modified, *size});
            }
        }
        for (const auto& path : expired) fs::remove(path, ec);

        const uint64_t maxSize = self->config_.maxCacheSize;
        if (maxSize > 0 && currentSize > maxSize) {
            const uint64_t target = maxSize / 2;
            std::sort(kept.begin(), kept.end(), [](const File& a, const File& b) { return a.modified < b.modified; });
            for (const auto& file : kept) {
                std::error_code removeError;
                if (fs::remove(file.path, removeError) && !removeError) {
                    currentSize -= file.size;
                    if (currentSize < target) break;
                }
            }
        }
        if (completion) platform::DispatchQueue::main()->async(completion);
    });
}

void KJSDImageCache::backgroundDeleteOldFiles() {
    auto application = platform::UIApplication::sharedApplication();
    if (!application) return;
    auto task = std::make_shared<std::atomic<platform::UIBackgroundTaskIdentifier>>(platform::UIBackgroundTaskInvalid);
    auto end = [application, task] {
        application->endBackgroundTask(task->exchange(platform::UIBackgroundTaskInvalid));
    };
    task->store(application->beginBackgroundTask(end));
    deleteOldFilesWithCompletionBlock(end);
}

uint64_t KJSDImageCache::getSize() {
    return ioQueue_->syncValue([&] {
        uint64_t size = 0;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(diskCachePath(), ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code entryError;
            if (it->is_regular_file(entryError)) size += it->file_size(entryError);
        }
        return size;
    });
}

uint64_t KJSDImageCache::getDiskCount() {
    return ioQueue_->syncValue([&] {
        uint64_t count = 0;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(diskCachePath(), ec), end; !ec && it != end; it.increment(ec)) ++count;
        return count;
    });
}

void KJSDImageCache::calculateSizeWithCompletionBlock(CalculateSizeBlock completion) {
    ioQueue_->async([self = shared_from_this(), completion = std::move(completion)] {
        uint64_t count = 0, size = 0;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(self->diskCachePath(), ec), end; !ec && it != end;
             it.increment(ec)) {
            if (isHidden(it->path())) {
                if (it->is_directory(ec)) it.disable_recursion_pending();
                continue;
            }
            std::error_code entryError;
            if (it->is_regular_file(entryError)) size += it->file_size(entryError);
            ++count;
        }
        if (completion) platform::DispatchQueue::main()->async([completion, count, size] { completion(count, size); });
    });
}

}  // namespace brindlecue
