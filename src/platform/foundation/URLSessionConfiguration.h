#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/KeyedArchiver.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/URLRequest.h"

namespace brindlecue::platform {

// The settings a session is made with; the session keeps its own copy.
struct URLSessionConfiguration {
    static URLSessionConfiguration defaultSessionConfiguration() { return {}; }
    // With a URL cache of its own.
    static URLSessionConfiguration ephemeralSessionConfiguration() {
        URLSessionConfiguration c;
        c.urlCache = std::make_shared<URLCache>();
        return c;
    }
    // Background sessions carry their identifier; transfers still run in the process.
    static URLSessionConfiguration backgroundSessionConfigurationWithIdentifier(std::string identifier) {
        URLSessionConfiguration c;
        c.identifier = std::move(identifier);
        return c;
    }

    std::optional<std::string> identifier;
    // Idle time-out of requests that do not set their own.
    double timeoutIntervalForRequest = 60.0;
    // Added to every request that does not set the same field itself.
    HTTPHeaderFields httpAdditionalHeaders;
    URLRequest::CachePolicy requestCachePolicy = URLRequest::CachePolicy::UseProtocolCachePolicy;
    // Where answers are looked up and kept; none keeps nothing.
    std::shared_ptr<URLCache> urlCache = URLCache::sharedURLCache();
    // Cookies are kept per session and sent with requests that handle cookies.
    bool httpShouldSetCookies = true;
    bool allowsCellularAccess = true;
};

// A configuration in a keyed archive (class "NSURLSessionConfiguration"): everything but the URL
// cache, which a configuration read back takes from its defaults.
class URLSessionConfigurationCoding final : public SecureCoding {
public:
    explicit URLSessionConfigurationCoding(URLSessionConfiguration configuration)
        : configuration_(std::move(configuration)) {}
    const URLSessionConfiguration& configuration() const { return configuration_; }

    std::vector<std::string> archivedClassNames() const override { return {"NSURLSessionConfiguration"}; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    static std::shared_ptr<SecureCoding> initWithCoder(KeyedUnarchiver& coder);

private:
    URLSessionConfiguration configuration_;
};

}  // namespace brindlecue::platform
