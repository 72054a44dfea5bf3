#pragma once

#include <string>

namespace brindlecue {

// The server's endpoint paths, relative to the host ("/v3/feeds"). Reachable from both layers.
class BLQIHTTPAPIEndpoints {
public:
    virtual ~BLQIHTTPAPIEndpoints() = default;

    // The app key goes in as it is, without encoding.
    virtual std::string getAppStatusEndpoint(const std::string& appKey) const = 0;
    virtual std::string getFeedEndpoint() const = 0;
    virtual std::string getInstallsEndpoint() const = 0;
    virtual std::string getLogsEndpoint() const = 0;
    virtual std::string getScreenshotsEndpoint() const = 0;
    virtual std::string getTagsEndpoint() const = 0;
    virtual std::string getWebSocketEndpoint() const = 0;
};

}  // namespace brindlecue
