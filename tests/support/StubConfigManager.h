#pragma once

// A configuration manager that answers every question with a fixed, harmless value and ignores
// every change. Tests derive from it and override only what they look at.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/BLQIConfigManager.h"

namespace brindlecue::testsupport {

class StubConfigManager : public BLQIConfigManager {
public:
    std::shared_ptr<BLQIConfigManagerDelegate> delegate() const override { return nullptr; }
    void setDelegate(std::shared_ptr<BLQIConfigManagerDelegate>) override {}

    std::optional<int64_t> getAppId() const override { return std::nullopt; }
    void setAppId(std::optional<int64_t>) override {}
    std::string getAppKey() const override { return ""; }
    void setAppKey(const std::string&) override {}
    std::vector<int64_t> getDisabledUserEventCodes() const override { return {}; }
    void setDisabledUserEventCodes(const std::vector<int64_t>&) override {}
    std::optional<std::string> getInstallToken() const override { return std::nullopt; }
    void setInstallToken(const std::string&) override {}
    std::optional<platform::Date> getLastAppStatusFetchTime() const override { return std::nullopt; }
    void setLastAppStatusFetchTime(platform::Date) override {}
    std::optional<platform::Date> getLastFeedFetchTime() const override { return std::nullopt; }
    void setLastFeedFetchTime(platform::Date) override {}
    BLQLoggingLevel getLogLevel() const override { return BLQLoggingLevel::info; }
    void setLogLevel(BLQLoggingLevel) override {}
    std::vector<BLQLogHandlerModel> getLogHandlers() const override { return {}; }
    void setLogHandlers(const std::vector<BLQLogHandlerModel>&) override {}
    std::vector<int64_t> getPriorityUserEventCodes() const override { return {}; }
    void setPriorityUserEventCodes(const std::vector<int64_t>&) override {}
    double getSDKDisabledTime() const override { return 0; }
    void setSDKDisabledTime(double) override {}
    std::optional<std::string> getSDKVersion() const override { return std::nullopt; }
    void setSDKVersion(const std::string&) override {}
    std::optional<std::string> getSuperTagDisabledLevel() const override { return std::nullopt; }
    void setSuperTagDisabledLevel(const std::string&) override {}
    std::optional<std::string> getSuperTagFilter() const override { return std::nullopt; }
    void setSuperTagFilter(const std::string&) override {}
    int64_t getAppStatusPollInterval() const override { return 10; }
    void setAppStatusPollInterval(int64_t) override {}
    std::string getHost() override { return ""; }
    void setHost(const std::string&) override {}

    bool checkForHostChange(const platform::Value&, const std::optional<std::string>&) override {
        return false;
    }
    // Enabled, with every super tag allowed.
    bool isBrindlecueEnabled() const override { return true; }
    bool isSuperTagsEnabled(int32_t) const override { return true; }
    bool isSuperTagFilterPassed(const std::string&) const override { return true; }
};

}  // namespace brindlecue::testsupport
