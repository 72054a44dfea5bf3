#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "imaging/KJSDImageCacheConfig.h"
#include "imaging/KJSDMemoryCache.h"
#include "platform/Value.h"

namespace brindlecue {

namespace platform {
class DispatchQueue;
class NotificationObserver;
class Operation;
class UIImage;
}  // namespace platform

// Where a loaded image came from.
enum class KJSDImageCacheType : int64_t { None = 0, Disk = 1, Memory = 2 };

// Options of a cache query.
using KJSDCacheQueryOptions = uint64_t;
// Read the file's bytes even when the image is in memory.
inline constexpr KJSDCacheQueryOptions KJSDImageCacheQueryDataWhenInMemory = 1;
// Read the disk on the calling thread and answer there.
inline constexpr KJSDCacheQueryOptions KJSDImageCacheQueryDiskSync = 2;

// Decoded images under text keys (by default an image URL's absolute text), at two levels: a
// memory cache the system may empty under memory pressure, and one file per key in a directory of
// the app's Caches folder, named by the MD5 of the key and the key's path extension. Files are
// swept by age (and by size when a limit is set) when the app terminates or enters the
// background. All disk work but the synchronous reads runs in order on one serial I/O queue;
// callbacks arrive on the main queue unless said otherwise.
class KJSDImageCache : public std::enable_shared_from_this<KJSDImageCache> {
    struct Token {};

public:
    using NoParamsBlock = std::function<void()>;
    using QueryCompletedBlock =
        std::function<void(std::shared_ptr<platform::UIImage> image, std::optional<platform::Data> data,
                           KJSDImageCacheType cacheType)>;
    using CheckCacheCompletionBlock = std::function<void(bool isInCache)>;
    using CalculateSizeBlock = std::function<void(uint64_t fileCount, uint64_t totalSize)>;

    // The cache of namespace "default", made once. Test-only: resetSharedForTesting (registered
    // with TestingReset) empties its memory and points it at the current app container.
    static std::shared_ptr<KJSDImageCache> sharedImageCache();
    static void resetSharedForTesting();

    // In Caches/<namespace>/tallowmere.KJSDWebImageCache.<namespace>.
    static std::shared_ptr<KJSDImageCache> create(const std::string& nameSpace = "default");
    // In <directory>/tallowmere.KJSDWebImageCache.<namespace>; without a directory in
    // Caches/<namespace>.
    static std::shared_ptr<KJSDImageCache> create(const std::string& nameSpace,
                                                  const std::optional<std::filesystem::path>& directory);
    KJSDImageCache(Token, std::string nameSpace, std::optional<std::filesystem::path> directory);
    ~KJSDImageCache();
    KJSDImageCache(const KJSDImageCache&) = delete;
    KJSDImageCache& operator=(const KJSDImageCache&) = delete;

    // The app's Caches folder plus the component.
    static std::filesystem::path makeDiskCachePath(const std::string& component);
    // Another directory searched (read-only) for files the cache's own directory lacks.
    void addReadOnlyCachePath(const std::filesystem::path& path);

    KJSDImageCacheConfig& config() { return config_; }
    KJSDMemoryCache& memCache() { return *memCache_; }
    std::filesystem::path diskCachePath() const;

    // 32 lower-case hex digits of the key's MD5, then "." and the key's path extension when it
    // has one (the extension of the key read as a URL, so not the query; else read as a path).
    static std::string cachedFileNameForKey(const std::string& key);
    static std::filesystem::path cachePathForKey(const std::string& key, const std::filesystem::path& path);
    std::filesystem::path defaultCachePathForKey(const std::string& key) const;

    // Stores the image in memory and, with toDisk, the bytes on disk (the image encoded when no
    // bytes are given: PNG with alpha, JPEG without). The completion runs at once without a disk
    // write, else on the main queue once the file is written. No image or no key: nothing.
    void storeImage(const std::shared_ptr<platform::UIImage>& image, std::optional<platform::Data> imageData,
                    const std::string& key, bool toDisk, NoParamsBlock completion);
    void storeImage(const std::shared_ptr<platform::UIImage>& image, const std::string& key, bool toDisk,
                    NoParamsBlock completion);
    void storeImage(const std::shared_ptr<platform::UIImage>& image, const std::string& key,
                    NoParamsBlock completion);
    // Writes the bytes at once (waits for the I/O queue: never call it from there).
    void storeImageDataToDisk(const std::optional<platform::Data>& imageData, const std::string& key);

    // A memory hit (without KJSDImageCacheQueryDataWhenInMemory) and no key are answered at once
    // and give no operation. Otherwise the disk is read on the I/O queue (on the calling thread
    // with KJSDImageCacheQueryDiskSync) and done runs on the main queue (at once with it); once the
    // returned operation is cancelled, done is not called.
    std::shared_ptr<platform::Operation> queryCacheOperationForKey(const std::string& key,
                                                                   KJSDCacheQueryOptions options,
                                                                   QueryCompletedBlock done);
    std::shared_ptr<platform::Operation> queryCacheOperationForKey(const std::string& key, QueryCompletedBlock done);

    std::shared_ptr<platform::UIImage> imageFromMemoryCacheForKey(const std::string& key);
    // Reads on the calling thread; an image found goes into memory.
    std::shared_ptr<platform::UIImage> imageFromDiskCacheForKey(const std::string& key);
    std::shared_ptr<platform::UIImage> imageFromCacheForKey(const std::string& key);
    // The first file found: the default path with and without extension, then each read-only
    // directory the same way. A file that cannot be read counts as absent.
    std::optional<platform::Data> diskImageDataBySearchingAllPathsForKey(const std::string& key) const;
    std::shared_ptr<platform::UIImage> diskImageForKey(const std::string& key) const;
    // Decoded, scaled for the key and (by the settings) decompressed; nothing for bytes that do
    // not decode.
    std::shared_ptr<platform::UIImage> diskImageForKey(const std::string& key,
                                                       const std::optional<platform::Data>& data) const;

    // Whether the cache's own directory has the file (with or without extension); answered on
    // the main queue.
    void diskImageExistsWithKey(const std::string& key, CheckCacheCompletionBlock completion);
    // The same, waiting for the I/O queue.
    bool diskImageDataExistsWithKey(const std::string& key);

    // Removes the image from memory and, with fromDisk, its file with and without extension; the
    // completion runs on the main queue after a disk removal, at once otherwise. No key: nothing.
    void removeImageForKey(const std::string& key, bool fromDisk, NoParamsBlock completion);
    void removeImageForKey(const std::string& key, NoParamsBlock completion);
    void clearMemory();
    // Removes the whole directory and makes it again; the completion runs on the main queue.
    void clearDiskOnCompletion(NoParamsBlock completion);

    uint64_t maxMemoryCost() const;
    void setMaxMemoryCost(uint64_t cost);
    uint64_t maxMemoryCountLimit() const;
    void setMaxMemoryCountLimit(uint64_t limit);

    // The sweep on the I/O queue: files modified maxCacheAge seconds ago or earlier go; then,
    // when maxCacheSize is set and the rest takes more room on disk (allocated sizes, whole
    // blocks), the oldest go until less than half of it is left. Hidden files are left alone. The
    // completion runs on the main queue.
    void deleteOldFiles();
    void deleteOldFilesWithCompletionBlock(NoParamsBlock completion);
    // The sweep inside a background task of the application.
    void backgroundDeleteOldFiles();

    // Bytes and entries under the directory, hidden ones and sub-directories included (waits for
    // the I/O queue).
    uint64_t getSize();
    uint64_t getDiskCount();
    // Files (hidden ones left out) and their bytes, on the main queue.
    void calculateSizeWithCompletionBlock(CalculateSizeBlock completion);

private:
    void startObserving();
    bool diskImageDataExistsLocked(const std::string& key) const;
    void storeImageDataToDiskLocked(const platform::Data& imageData, const std::string& key);
    std::vector<std::filesystem::path> searchPathsForKey(const std::string& key) const;
    const std::filesystem::path& diskCachePathLocked() const;  // under pathsMutex_

    const std::string nameSpace_;
    const std::optional<std::filesystem::path> directory_;
    KJSDImageCacheConfig config_;
    std::shared_ptr<KJSDMemoryCache> memCache_;
    std::shared_ptr<platform::DispatchQueue> ioQueue_;

    mutable std::mutex pathsMutex_;
    // Empty after a test's reset until next used.
    mutable std::filesystem::path diskCachePath_;
    std::vector<std::filesystem::path> customPaths_;

    std::vector<std::shared_ptr<platform::NotificationObserver>> observers_;
};

}  // namespace brindlecue
