#pragma once

#include <string>

#include "config/BLQIHTTPAPIEndpoints.h"

namespace brindlecue {

// The fixed paths of the server's version 3 interface.
class BLQHTTPAPIEndpoints : public BLQIHTTPAPIEndpoints {
public:
    BLQHTTPAPIEndpoints() = default;

    std::string getAppStatusEndpoint(const std::string& appKey) const override;
    std::string getFeedEndpoint() const override;
    std::string getInstallsEndpoint() const override;
    std::string getLogsEndpoint() const override;
    std::string getScreenshotsEndpoint() const override;
    std::string getTagsEndpoint() const override;
    std::string getWebSocketEndpoint() const override;
};

}  // namespace brindlecue
