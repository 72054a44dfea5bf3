#include "platform/foundation/URLCache.h"

#include <gtest/gtest.h>

#include "platform/dispatch/Clock.h"
#include "platform/foundation/HTTPURLResponse.h"

namespace brindlecue::platform {
namespace {

URLRequest get(const std::string& url) {
    return URLRequest(URL::fromString(url));
}

std::shared_ptr<CachedURLResponse> answer(const std::string& url, size_t size) {
    return std::make_shared<CachedURLResponse>(
        std::make_shared<HTTPURLResponse>(*URL::fromString(url), 200, HTTPHeaderFields{}), Data(size, 'x'));
}

TEST(URLCache, KeepsAnswersOfGetRequestsLeastRecentlyUsedFirstOut) {
    Clock::useVirtual();
    URLCache cache(2000);  // answers of up to 100 bytes are kept
    cache.storeCachedResponse(answer("http://h/a", 100), get("http://h/a#top"));
    ASSERT_TRUE(cache.cachedResponseForRequest(get("http://h/a")));
    EXPECT_EQ(cache.storedDateForRequest(get("http://h/a")), Clock::now());
    EXPECT_EQ(cache.currentMemoryUsage(), 100u);

    cache.storeCachedResponse(answer("http://h/big", 101), get("http://h/big"));
    EXPECT_FALSE(cache.cachedResponseForRequest(get("http://h/big")));
    URLRequest post = get("http://h/p");
    post.setHTTPMethod("POST");
    cache.storeCachedResponse(answer("http://h/p", 10), post);
    EXPECT_FALSE(cache.cachedResponseForRequest(get("http://h/p")));
    auto refused = std::make_shared<CachedURLResponse>(answer("http://h/n", 1)->response(), Data{1},
                                                       CachedURLResponse::StoragePolicy::NotAllowed);
    cache.storeCachedResponse(refused, get("http://h/n"));
    EXPECT_FALSE(cache.cachedResponseForRequest(get("http://h/n")));

    // Filling it up drops what was used longest ago; reading counts as a use.
    for (int i = 0; i < 19; ++i)
        cache.storeCachedResponse(answer("http://h/" + std::to_string(i), 100),
                                  get("http://h/" + std::to_string(i)));
    cache.cachedResponseForRequest(get("http://h/a"));
    cache.storeCachedResponse(answer("http://h/last", 100), get("http://h/last"));
    EXPECT_EQ(cache.currentMemoryUsage(), 2000u);
    EXPECT_TRUE(cache.cachedResponseForRequest(get("http://h/a")));
    EXPECT_FALSE(cache.cachedResponseForRequest(get("http://h/0")));
    EXPECT_TRUE(cache.cachedResponseForRequest(get("http://h/1")));

    // Storing again replaces, and the usage follows.
    cache.storeCachedResponse(answer("http://h/a", 10), get("http://h/a"));
    EXPECT_EQ(cache.currentMemoryUsage(), 1910u);
    cache.removeCachedResponseForRequest(get("http://h/a"));
    EXPECT_EQ(cache.currentMemoryUsage(), 1900u);
    cache.removeAllCachedResponses();
    EXPECT_EQ(cache.currentMemoryUsage(), 0u);
    Clock::useReal();
}

TEST(URLCache, RequestsWithoutAURLOrNotAGetFindAndRemoveNothing) {
    URLCache cache(2000);
    cache.storeCachedResponse(answer("http://h/a", 10), get("http://h/a"));
    URLRequest none(std::nullopt);
    cache.storeCachedResponse(answer("http://h/a", 10), none);
    EXPECT_FALSE(cache.cachedResponseForRequest(none));
    EXPECT_FALSE(cache.storedDateForRequest(none));
    EXPECT_FALSE(cache.storedDateForRequest(get("http://h/other")));
    cache.removeCachedResponseForRequest(none);
    cache.removeCachedResponseForRequest(get("http://h/other"));
    URLRequest head = get("http://h/a");
    head.setHTTPMethod("HEAD");
    EXPECT_FALSE(cache.cachedResponseForRequest(head));
    cache.storeCachedResponse(nullptr, get("http://h/b"));
    EXPECT_FALSE(cache.cachedResponseForRequest(get("http://h/b")));
    EXPECT_EQ(cache.currentMemoryUsage(), 10u);
    EXPECT_TRUE(cache.cachedResponseForRequest(get("http://h/a")));
    // A smaller capacity drops what no longer fits.
    cache.setMemoryCapacity(5);
    EXPECT_EQ(cache.memoryCapacity(), 5u);
    EXPECT_FALSE(cache.cachedResponseForRequest(get("http://h/a")));
    EXPECT_EQ(cache.currentMemoryUsage(), 0u);
}

TEST(URLCache, TheSharedCacheCanBeReplacedAndPutBack) {
    auto original = URLCache::sharedURLCache();
    auto own = std::make_shared<URLCache>(100);
    URLCache::setSharedURLCache(own);
    EXPECT_EQ(URLCache::sharedURLCache(), own);
    // None puts a fresh default cache in its place.
    URLCache::setSharedURLCache(nullptr);
    ASSERT_TRUE(URLCache::sharedURLCache());
    EXPECT_NE(URLCache::sharedURLCache(), own);
    EXPECT_EQ(URLCache::sharedURLCache()->memoryCapacity(), URLCache::kDefaultMemoryCapacity);
    URLCache::setSharedURLCache(original);
}

}  // namespace
}  // namespace brindlecue::platform
