#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/BLQHTTPAPIEndpoints.h"
#include "config/BLQIConfigManagerDelegate.h"
#include "foundation/BLQLogHandlerModel.h"
#include "foundation/BLQLoggingLevel.h"
#include "platform/Date.h"
#include "platform/Value.h"

namespace brindlecue {

// The library's run-time configuration: every value that the app-status document, the host and
// the HTTP layer set, persisted through the configuration store.
class BLQIConfigManager {
public:
    virtual ~BLQIConfigManager() = default;

    virtual std::shared_ptr<BLQIConfigManagerDelegate> delegate() const = 0;
    virtual void setDelegate(std::shared_ptr<BLQIConfigManagerDelegate> delegate) = 0;

    virtual std::optional<int64_t> getAppId() const = 0;
    virtual void setAppId(std::optional<int64_t> appId) = 0;
    virtual std::string getAppKey() const = 0;
    virtual void setAppKey(const std::string& appKey) = 0;
    virtual std::vector<int64_t> getDisabledUserEventCodes() const = 0;
    virtual void setDisabledUserEventCodes(const std::vector<int64_t>& codes) = 0;
    virtual std::optional<std::string> getInstallToken() const = 0;
    virtual void setInstallToken(const std::string& token) = 0;
    virtual std::optional<platform::Date> getLastAppStatusFetchTime() const = 0;
    virtual void setLastAppStatusFetchTime(platform::Date date) = 0;
    virtual std::optional<platform::Date> getLastFeedFetchTime() const = 0;
    virtual void setLastFeedFetchTime(platform::Date date) = 0;
    virtual BLQLoggingLevel getLogLevel() const = 0;
    virtual void setLogLevel(BLQLoggingLevel level) = 0;
    virtual std::vector<BLQLogHandlerModel> getLogHandlers() const = 0;
    virtual void setLogHandlers(const std::vector<BLQLogHandlerModel>& handlers) = 0;
    virtual std::vector<int64_t> getPriorityUserEventCodes() const = 0;
    virtual void setPriorityUserEventCodes(const std::vector<int64_t>& codes) = 0;
    // Seconds since 2001-01-01 00:00:00 UTC; -1 disables without end, 0 or less enables.
    virtual double getSDKDisabledTime() const = 0;
    virtual void setSDKDisabledTime(double time) = 0;
    virtual std::optional<std::string> getSDKVersion() const = 0;
    virtual void setSDKVersion(const std::string& version) = 0;
    virtual std::optional<std::string> getSuperTagDisabledLevel() const = 0;
    virtual void setSuperTagDisabledLevel(const std::string& level) = 0;
    virtual std::optional<std::string> getSuperTagFilter() const = 0;
    virtual void setSuperTagFilter(const std::string& filter) = 0;
    virtual int64_t getAppStatusPollInterval() const = 0;
    virtual void setAppStatusPollInterval(int64_t seconds) = 0;
    // Scheme and host, no trailing "/".
    virtual std::string getHost() = 0;
    virtual void setHost(const std::string& host) = 0;

    // The paths of the endpoints object the manager holds, unchanged; the requesters append them
    // to getHost(). The defaults give the fixed paths of BLQHTTPAPIEndpoints.
    virtual std::string getAppStatusEndpoint(const std::string& appKey) const {
        return BLQHTTPAPIEndpoints().getAppStatusEndpoint(appKey);
    }
    virtual std::string getFeedEndpoint() const { return BLQHTTPAPIEndpoints().getFeedEndpoint(); }
    virtual std::string getInstallsEndpoint() const { return BLQHTTPAPIEndpoints().getInstallsEndpoint(); }
    virtual std::string getLogsEndpoint() const { return BLQHTTPAPIEndpoints().getLogsEndpoint(); }
    virtual std::string getScreenshotsEndpoint() const { return BLQHTTPAPIEndpoints().getScreenshotsEndpoint(); }
    virtual std::string getTagsEndpoint() const { return BLQHTTPAPIEndpoints().getTagsEndpoint(); }
    virtual std::string getWebSocketEndpoint() const { return BLQHTTPAPIEndpoints().getWebSocketEndpoint(); }

    // Whether a server answer asks for another host than the one the request went to (the
    // request's URL text, or the current host when there is none); switches to it if so.
    virtual bool checkForHostChange(const platform::Value& response,
                                    const std::optional<std::string>& fromUrl) = 0;
    virtual bool isBrindlecueEnabled() const = 0;
    // tag: 1 for a click super tag, anything else for a view super tag.
    virtual bool isSuperTagsEnabled(int32_t tag) const = 0;
    virtual bool isSuperTagFilterPassed(const std::string& superTag) const = 0;
};

}  // namespace brindlecue
