#pragma once

// Test doubles shared by the networking tests: a configuration manager that keeps the host and
// the disabled time and an app-details provider with settable values, beside the shared logger
// manager that keeps every line and the sample-server route builder.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "config/BLQIAppDetailsProvider.h"
#include "support/RecordingLoggerManager.h"
#include "support/SampleRoutes.h"
#include "support/StubConfigManager.h"

namespace brindlecue::testing {

using testsupport::LogLine;
using testsupport::RecordingLoggerManager;
using testsupport::route;

class FakeConfigManager final : public testsupport::StubConfigManager {
public:
    std::string host = "https://api.example.test";  // set before requests, read on the caller's thread

    std::optional<double> disabledTime() const {
        std::lock_guard lock(mutex_);
        return disabledTime_;
    }
    std::string getHost() override { return host; }
    void setHost(const std::string& h) override { host = h; }
    void setSDKDisabledTime(double time) override {
        std::lock_guard lock(mutex_);
        disabledTime_ = time;
    }
    double getSDKDisabledTime() const override { return disabledTime().value_or(0); }

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

}  // namespace brindlecue::testing
