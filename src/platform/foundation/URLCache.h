#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Value.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLResponse.h"

namespace brindlecue::platform {

// A response with its body, as a URL cache keeps it.
class CachedURLResponse {
public:
    enum class StoragePolicy { Allowed = 0, AllowedInMemoryOnly = 1, NotAllowed = 2 };

    CachedURLResponse(std::shared_ptr<URLResponse> response, Data data,
                      StoragePolicy storagePolicy = StoragePolicy::Allowed)
        : response_(std::move(response)), data_(std::move(data)), storagePolicy_(storagePolicy) {}

    const std::shared_ptr<URLResponse>& response() const { return response_; }
    const Data& data() const { return data_; }
    StoragePolicy storagePolicy() const { return storagePolicy_; }

private:
    std::shared_ptr<URLResponse> response_;
    Data data_;
    StoragePolicy storagePolicy_;
};

// The platform's URL cache, kept in memory only: answers of GET requests by URL (without its
// fragment), with the time each was stored (Clock time), least recently used first out when the
// memory capacity is reached. An answer larger than a twentieth of the capacity is not kept. Safe
// to use from any thread.
//
// Sessions use the cache of their configuration: the shared cache for the default configuration,
// a cache of their own for an ephemeral one, none when it is set to none.
class URLCache {
public:
    static constexpr uint64_t kDefaultMemoryCapacity = 4 * 1024 * 1024;

    static std::shared_ptr<URLCache> sharedURLCache();
    static void setSharedURLCache(std::shared_ptr<URLCache> cache);

    explicit URLCache(uint64_t memoryCapacity = kDefaultMemoryCapacity);

    std::shared_ptr<CachedURLResponse> cachedResponseForRequest(const URLRequest& request) const;
    // Kept unless the request is no GET, the policy is NotAllowed or the answer is too large.
    void storeCachedResponse(std::shared_ptr<CachedURLResponse> cachedResponse, const URLRequest& request);
    void removeCachedResponseForRequest(const URLRequest& request);
    void removeAllCachedResponses();
    // When the answer for the request was stored (Clock::now() seconds); none when it is not kept.
    std::optional<double> storedDateForRequest(const URLRequest& request) const;

    uint64_t memoryCapacity() const;
    void setMemoryCapacity(uint64_t capacity);
    uint64_t currentMemoryUsage() const;

private:
    struct Entry {
        std::shared_ptr<CachedURLResponse> response;
        double storedAt = 0;
    };
    static std::optional<std::string> keyFor(const URLRequest& request);
    void trim();

    mutable std::mutex mutex_;
    uint64_t capacity_;
    uint64_t usage_ = 0;
    mutable std::list<std::string> order_;  // most recently used first
    std::map<std::string, Entry> entries_;
};

}  // namespace brindlecue::platform
