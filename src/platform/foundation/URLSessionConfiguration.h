#pragma once

#include <optional>
#include <string>

#include "platform/foundation/URLRequest.h"

namespace brindlecue::platform {

// The settings a session is made with; the session keeps its own copy.
struct URLSessionConfiguration {
    static URLSessionConfiguration defaultSessionConfiguration() { return {}; }
    static URLSessionConfiguration ephemeralSessionConfiguration() { return {}; }
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
    // Cookies are kept per session and sent with requests that handle cookies.
    bool httpShouldSetCookies = true;
    bool allowsCellularAccess = true;
};

}  // namespace brindlecue::platform
