#pragma once

#include <cstdint>

namespace brindlecue {

// The settings of an image cache.
struct KJSDImageCacheConfig {
    // An image read from disk is drawn into a bitmap right after decoding.
    bool shouldDecompressImages = true;
    // Files written are kept out of backups. This platform backs up nothing of the Caches folder,
    // so there is nothing to mark.
    bool shouldDisableiCloud = true;
    // Images are kept in the memory cache: stored on write and on disk reads, removed on removal.
    bool shouldCacheImagesInMemory = true;
    // Files are written whole to a temporary file that then replaces the cache file, so a reader
    // never meets half a file.
    bool atomicWrites = true;
    // Files whose modification date is this many seconds old, or older, are removed by a sweep.
    int64_t maxCacheAge = 60 * 60 * 24 * 7;
    // Bytes the disk cache may take before a sweep halves it; 0: no limit.
    uint64_t maxCacheSize = 0;
};

}  // namespace brindlecue
