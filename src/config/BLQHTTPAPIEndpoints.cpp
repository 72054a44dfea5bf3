#include "config/BLQHTTPAPIEndpoints.h"

namespace brindlecue {

std::string BLQHTTPAPIEndpoints::getAppStatusEndpoint(const std::string& appKey) const {
    return "/v3/apps/" + appKey + "/status";
}

std::string BLQHTTPAPIEndpoints::getFeedEndpoint() const {
    return "/v3/feeds";
}

std::string BLQHTTPAPIEndpoints::getInstallsEndpoint() const {
    return "/v3/installs";
}

std::string BLQHTTPAPIEndpoints::getLogsEndpoint() const {
    return "/v3/logs";
}

std::string BLQHTTPAPIEndpoints::getScreenshotsEndpoint() const {
    return "/v3/screenshots";
}

std::string BLQHTTPAPIEndpoints::getTagsEndpoint() const {
    return "/v3/tags";
}

std::string BLQHTTPAPIEndpoints::getWebSocketEndpoint() const {
    return "/ws";
}

}  // namespace brindlecue
