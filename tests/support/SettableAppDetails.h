#pragma once

// App details whose values a test sets; readable from any thread.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "config/BLQIAppDetailsProvider.h"

namespace brindlecue::testsupport {

class SettableAppDetails final : public BLQIAppDetailsProvider {
public:
    void setAppKey(std::optional<std::string> key) {
        std::lock_guard lock(mutex_);
        appKey_ = std::move(key);
    }
    void setInstallId(std::optional<std::string> id) {
        std::lock_guard lock(mutex_);
        installId_ = std::move(id);
    }

    std::optional<std::string> appKey() const override {
        std::lock_guard lock(mutex_);
        return appKey_;
    }
    std::optional<int64_t> appId() const override { return std::nullopt; }
    std::optional<std::string> carrier() const override { return std::nullopt; }
    std::string clientVersion() const override { return "1.0"; }
    std::string developmentPlatform() const override { return "native"; }
    std::optional<std::string> installId() const override {
        std::lock_guard lock(mutex_);
        return installId_;
    }
    std::optional<std::string> installToken() const override { return std::nullopt; }
    std::optional<std::string> model() const override { return std::nullopt; }
    std::string sdkVersion() const override { return "3.0.3"; }

private:
    mutable std::mutex mutex_;
    std::optional<std::string> appKey_;
    std::optional<std::string> installId_;
};

}  // namespace brindlecue::testsupport
