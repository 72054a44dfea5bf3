#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Value.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/URL.h"

namespace brindlecue::platform {

// Header fields in the order they were set, names with their original letter case.
using HTTPHeaderFields = std::vector<std::pair<std::string, std::string>>;

// Case-insensitive ASCII comparison of header names.
bool headerNameEquals(std::string_view a, std::string_view b);

// A URL request: what to load and how. A request may have no URL (made from text that was not a
// URL); a task for it fails with "unsupported URL". The body is either bytes or a stream; setting
// one drops the other.
class URLRequest {
public:
    enum class CachePolicy : uint64_t {
        UseProtocolCachePolicy = 0,
        ReloadIgnoringLocalCacheData = 1,
        ReloadIgnoringLocalAndRemoteCacheData = 4,
        ReturnCacheDataElseLoad = 2,
        ReturnCacheDataDontLoad = 3,
        ReloadRevalidatingCacheData = 5,
    };
    static constexpr double kDefaultTimeoutInterval = 60.0;

    URLRequest() = default;
    // A time-out given here counts as set explicitly (see hasExplicitTimeout()).
    explicit URLRequest(std::optional<URL> url, CachePolicy cachePolicy = CachePolicy::UseProtocolCachePolicy,
                        std::optional<double> timeoutInterval = std::nullopt);

    const std::optional<URL>& url() const { return url_; }
    void setURL(std::optional<URL> url) { url_ = std::move(url); }

    // "GET" unless set.
    const std::string& httpMethod() const { return method_; }
    void setHTTPMethod(std::string method) { method_ = method.empty() ? "GET" : std::move(method); }

    // Header names compare without regard to letter case.
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
    // Sets (or with no value removes) the field, replacing every earlier value of it.
    void setValue(const std::optional<std::string>& value, std::string_view field);
    // Appends to an existing value with ","; sets the field when it has none.
    void addValue(const std::string& value, std::string_view field);
    const HTTPHeaderFields& allHTTPHeaderFields() const { return headers_; }
    void setAllHTTPHeaderFields(HTTPHeaderFields fields);

    const std::optional<Data>& httpBody() const { return body_; }
    void setHTTPBody(std::optional<Data> body);
    const std::shared_ptr<InputStream>& httpBodyStream() const { return bodyStream_; }
    void setHTTPBodyStream(std::shared_ptr<InputStream> stream);

    // Seconds a load may stay idle before it fails with "timed out".
    double timeoutInterval() const { return timeout_.value_or(kDefaultTimeoutInterval); }
    void setTimeoutInterval(double seconds) { timeout_ = seconds; }
    // False while the request carries the default time-out; a session then applies its
    // configuration's time-out instead.
    bool hasExplicitTimeout() const { return timeout_.has_value(); }

    CachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(CachePolicy policy) { cachePolicy_ = policy; }
    bool httpShouldHandleCookies() const { return handleCookies_; }
    void setHTTPShouldHandleCookies(bool on) { handleCookies_ = on; }
    bool httpShouldUsePipelining() const { return pipelining_; }
    void setHTTPShouldUsePipelining(bool on) { pipelining_ = on; }
    bool allowsCellularAccess() const { return cellular_; }
    void setAllowsCellularAccess(bool on) { cellular_ = on; }
    uint64_t networkServiceType() const { return serviceType_; }
    void setNetworkServiceType(uint64_t type) { serviceType_ = type; }

    // "<NSURLRequest: ...> { URL: <text> }"
    std::string description() const;

private:
    std::optional<URL> url_;
    std::string method_ = "GET";
    HTTPHeaderFields headers_;
    std::optional<Data> body_;
    std::shared_ptr<InputStream> bodyStream_;
    std::optional<double> timeout_;
    CachePolicy cachePolicy_ = CachePolicy::UseProtocolCachePolicy;
    bool handleCookies_ = true;
    bool pipelining_ = false;
    bool cellular_ = true;
    uint64_t serviceType_ = 0;
};

}  // namespace brindlecue::platform
