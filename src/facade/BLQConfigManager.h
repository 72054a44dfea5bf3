#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/BLQConfigKeys.h"
#include "config/BLQIConfigDataStore.h"
#include "config/BLQIConfigManager.h"
#include "config/BLQIHTTPAPIEndpoints.h"
#include "facade/BLQIConfigEventDelegate.h"
#include "foundation/BLQILoggable.h"

namespace brindlecue {

// The one holder of the library's run-time configuration. Every value is kept in a field for
// fast reads and written through to the configuration store; construction restores what the
// store gives back, and every change logs "Config: Setting <key> with value: <value>" at level 2.
//
// What comes back at the next launch: the app key, install token, SDK version, both user-event
// code lists, the log handlers, the host and the disabled time (so a pause the server ordered
// outlives a restart). The app id, the poll interval, a changed log level and the super-tag level
// and filter last for the process: the poll interval and log level are written without a value,
// the others are never read back.
//
// Callable from any thread: the fields are guarded, and a change stores its field and queues its
// store write under one lock, so the store keeps the last value set. Host changes are applied one
// at a time, the delegate told inside that hold. Nothing is logged and no one is called while the
// field lock is held (the loggers ask for the log level).
class BLQConfigManager final : public BLQIConfigManager, public BLQIConfigEventDelegate, public BLQILoggable {
public:
    BLQConfigManager(std::shared_ptr<BLQIConfigDataStore> store,
                     std::shared_ptr<BLQIHTTPAPIEndpoints> apiEndpoints);

    std::shared_ptr<BLQIConfigManagerDelegate> delegate() const override;
    void setDelegate(std::shared_ptr<BLQIConfigManagerDelegate> delegate) override;

    std::optional<int64_t> getAppId() const override;
    void setAppId(std::optional<int64_t> appId) override;
    std::string getAppKey() const override;
    void setAppKey(const std::string& appKey) override;
    std::vector<int64_t> getDisabledUserEventCodes() const override;
    void setDisabledUserEventCodes(const std::vector<int64_t>& codes) override;
    std::optional<std::string> getInstallToken() const override;
    void setInstallToken(const std::string& token) override;
    // Read from the store on every call.
    std::optional<platform::Date> getLastAppStatusFetchTime() const override;
    void setLastAppStatusFetchTime(platform::Date date) override;
    std::optional<platform::Date> getLastFeedFetchTime() const override;
    void setLastFeedFetchTime(platform::Date date) override;
    BLQLoggingLevel getLogLevel() const override;
    void setLogLevel(BLQLoggingLevel level) override;
    std::vector<BLQLogHandlerModel> getLogHandlers() const override;
    void setLogHandlers(const std::vector<BLQLogHandlerModel>& handlers) override;
    std::vector<int64_t> getPriorityUserEventCodes() const override;
    void setPriorityUserEventCodes(const std::vector<int64_t>& codes) override;
    double getSDKDisabledTime() const override;
    void setSDKDisabledTime(double time) override;
    std::optional<std::string> getSDKVersion() const override;
    void setSDKVersion(const std::string& version) override;
    std::optional<std::string> getSuperTagDisabledLevel() const override;
    void setSuperTagDisabledLevel(const std::string& level) override;
    std::optional<std::string> getSuperTagFilter() const override;
    void setSuperTagFilter(const std::string& filter) override;
    int64_t getAppStatusPollInterval() const override;
    void setAppStatusPollInterval(int64_t seconds) override;
    // The host in use; on the first call the stored host, else the default one.
    std::string getHost() override;
    // Ignores an empty host and cuts one trailing "/"; a host that differs from the current one
    // only in letter case is no change. A change is logged, stored and told to the delegate.
    void setHost(const std::string& host) override;

    std::string getAppStatusEndpoint(const std::string& appKey) const override;
    std::string getFeedEndpoint() const override;
    std::string getInstallsEndpoint() const override;
    std::string getLogsEndpoint() const override;
    std::string getScreenshotsEndpoint() const override;
    std::string getTagsEndpoint() const override;
    std::string getWebSocketEndpoint() const override;

    // True, after switching to it, when the answer's "app_status" names a non-empty "host" other
    // than the one the request went to (the URL's scheme and host, else the current host) and
    // not one of that host's aliases.
    bool checkForHostChange(const platform::Value& response,
                            const std::optional<std::string>& fromUrl) override;
    // False while the disabled time is -1, or lies ahead.
    bool isBrindlecueEnabled() const override;
    bool isSuperTagsEnabled(int32_t tag) const override;
    bool isSuperTagFilterPassed(const std::string& superTag) const override;

    // Configuration events are only logged.
    void onConfigUpdateSuccessWithResponse(const platform::Value& response) override;
    void onConfigUpdateFailureWithError(const platform::Error& error) override;

private:
    void logSetting(BLQConfigKeys key, const std::string& valueText) const;
    // Stores the field's new value and queues its store write, under the field lock.
    template <class Field, class Stored>
    void update(Field& field, Field value, BLQConfigKeys key, const Stored& stored);

    const std::shared_ptr<BLQIConfigDataStore> dataStore_;
    const std::shared_ptr<BLQIHTTPAPIEndpoints> apiEndpoints_;
    std::mutex hostChangeMutex_;  // held from the comparison to the delegate call

    mutable std::mutex mutex_;
    std::string appKey_;
    std::optional<int64_t> appId_;
    int64_t appStatusPollInterval_ = 0;
    std::string currentHost_;
    std::vector<int64_t> disabledCodes_;
    std::optional<std::string> installToken_;
    BLQLoggingLevel logLevel_ = BLQLoggingLevel::info;
    std::vector<int64_t> priorityCodes_;
    double sdkDisabledTime_ = 0;
    std::optional<std::string> sdkVersion_;
    std::optional<std::string> superTagsDisabledLevel_;
    std::optional<std::string> superTagsFilter_;
    std::vector<BLQLogHandlerModel> logHandlers_;
    std::shared_ptr<BLQIConfigManagerDelegate> delegate_;
};

}  // namespace brindlecue
