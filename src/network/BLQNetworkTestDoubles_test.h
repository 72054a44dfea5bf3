#pragma once

// Test doubles shared by the networking tests: a configuration manager that keeps the host and
// the disabled time, an app-details provider with settable values, a logger manager that keeps
// every line, and a sample-server route builder.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "facade/BLQIAppDetailsProvider.h"
#include "facade/BLQIConfigManager.h"
#include "foundation/BLQFacadeLink.h"
#include "foundation/BLQILoggerManager.h"
#include "sample-server/SampleServer.h"

namespace brindlecue::testing {

class FakeConfigManager final : public BLQIConfigManager {
public:
    std::string host = "https://api.example.test";  // set before requests, read on the caller's thread

    std::optional<double> disabledTime() const {
        std::lock_guard lock(mutex_);
        return disabledTime_;
    }
    std::string getHost() override { return host; }
    void setSDKDisabledTime(double time) override {
        std::lock_guard lock(mutex_);
        disabledTime_ = time;
    }
    double getSDKDisabledTime() const override { return disabledTime().value_or(0); }

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
    std::optional<std::string> getSDKVersion() const override { return std::nullopt; }
    void setSDKVersion(const std::string&) override {}
    std::optional<std::string> getSuperTagDisabledLevel() const override { return std::nullopt; }
    void setSuperTagDisabledLevel(const std::string&) override {}
    std::optional<std::string> getSuperTagFilter() const override { return std::nullopt; }
    void setSuperTagFilter(const std::string&) override {}
    int64_t getAppStatusPollInterval() const override { return 10; }
    void setAppStatusPollInterval(int64_t) override {}
    void setHost(const std::string& h) override { host = h; }
    bool checkForHostChange(const platform::Value&, const std::optional<std::string>&) override {
        return false;
    }
    bool isBrindlecueEnabled() const override { return true; }
    bool isSuperTagsEnabled(int32_t) const override { return true; }
    bool isSuperTagFilterPassed(const std::string&) const override { return true; }

private:
    mutable std::mutex mutex_;
    std::optional<double> disabledTime_;
};

// Values are set on the test's thread, where the requests read them.
class FakeAppDetails final : public BLQIAppDetailsProvider {
public:
    std::optional<std::string> key, token, install;
    std::optional<int64_t> id;
    std::string version = "3.0.3";

    std::optional<std::string> appKey() const override { return key; }
    std::optional<int64_t> appId() const override { return id; }
    std::optional<std::string> carrier() const override { return std::nullopt; }
    std::string clientVersion() const override { return "1.0"; }
    std::string developmentPlatform() const override { return "native"; }
    std::optional<std::string> installId() const override { return install; }
    std::optional<std::string> installToken() const override { return token; }
    std::optional<std::string> model() const override { return std::nullopt; }
    std::string sdkVersion() const override { return version; }
};

inline sampleserver::Route route(std::string method, std::string path, int status, std::string body = "",
                                 sampleserver::Headers headers = {}) {
    sampleserver::Route r;
    r.method = std::move(method);
    r.pathPattern = std::move(path);
    r.status = status;
    r.body = std::move(body);
    r.headers = std::move(headers);
    return r;
}

struct LogLine {
    std::string message;
    int64_t level;
    bool operator==(const LogLine&) const = default;
};

// Becomes the facade's logger manager when installed.
class CapturingLoggerManager final : public BLQILoggerManager {
public:
    static std::shared_ptr<CapturingLoggerManager> install() {
        auto manager = std::make_shared<CapturingLoggerManager>();
        BLQFacadeLink::setLoggerManager(manager);
        return manager;
    }
    void log(const std::string& message, int64_t level) override {
        std::lock_guard lock(mutex_);
        lines_.push_back({message, level});
    }
    std::vector<LogLine> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    bool contains(const std::string& message, int64_t level) const {
        for (const auto& line : lines()) {
            if (line == LogLine{message, level}) return true;
        }
        return false;
    }
    size_t count(const std::string& prefix) const {
        size_t n = 0;
        for (const auto& line : lines()) n += line.message.rfind(prefix, 0) == 0;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::vector<LogLine> lines_;
};

}  // namespace brindlecue::testing
