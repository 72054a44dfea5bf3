// The facade as far as the tip engine asks it in the benchmarks: an app key, no preview mode, and
// the client-side trigger manager a benchmark sets (none by default).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tips/BLQITipManagerDelegate.h"

namespace benchsupport {

class EngineFacade final : public brindlecue::BLQITipManagerDelegate {
public:
    explicit EngineFacade(std::string appKey) : appKey_(std::move(appKey)) {}

    std::optional<std::string> appKey() const override { return appKey_; }
    std::string developmentPlatform() const override { return "native"; }
    void notifyFeedResult(const std::string&, const std::string&, brindlecue::BLQFeedResult, const std::string&,
                          bool, bool) override {}
    void notifyFeedResultOnError(const std::string&, const std::string&, const std::string&,
                                 const std::string&, const brindlecue::platform::Value&) override {}
    void sendFeedAck(const std::string&) override {}
    void onDemandCampaignShown() override {}
    std::optional<brindlecue::platform::Date> feedsModifiedTime() const override { return std::nullopt; }
    void setFeedsModifiedTime(std::optional<brindlecue::platform::Date>) override {}
    std::shared_ptr<brindlecue::BLQIClientSideTriggerManager> clientSideTriggerManager() const override {
        return triggers;
    }
    std::shared_ptr<brindlecue::BLQIPreviewModeManager> previewModeManager() const override { return nullptr; }

    std::shared_ptr<brindlecue::BLQIClientSideTriggerManager> triggers;

private:
    std::string appKey_;
};

}  // namespace benchsupport
