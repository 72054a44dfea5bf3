#pragma once

// A tip engine that answers every question with nothing and does nothing, for doubles that stand
// in for the engine in what one test needs of it (they override only that).

#include <memory>
#include <mutex>

#include "feed/BLQITipManager.h"
#include "platform/dispatch/DispatchSemaphore.h"

namespace brindlecue::testsupport {

class StubTipManager : public BLQITipManager {
public:
    SeriesList cachedTips() const override { return {}; }
    std::shared_ptr<platform::UIViewController> customerCurrentVC() const override { return nullptr; }
    void setCustomerCurrentVC(const std::shared_ptr<platform::UIViewController>&) override {}
    std::optional<std::string> currentRCTViewName() const override { return std::nullopt; }
    void setCurrentRCTViewName(std::optional<std::string>) override {}
    std::optional<std::string> currentDisplayedTipFeedID() const override { return std::nullopt; }
    void setCurrentDisplayedTipFeedID(std::optional<std::string>) override {}
    std::optional<std::string> currentDisplayedTipCampaignID() const override { return std::nullopt; }
    SeriesList innerTipSeries() const override { return {}; }
    std::shared_ptr<KJTipSeriesElement> currentTipSeries() const override { return nullptr; }
    std::shared_ptr<BLQITipViewController> currentTipViewController() const override { return nullptr; }
    std::shared_ptr<platform::UIView> tipCoverView() const override { return nullptr; }
    void setTipCoverView(const std::shared_ptr<platform::UIView>&) override {}
    std::shared_ptr<platform::UIView> previewModePanel() const override { return nullptr; }
    std::shared_ptr<platform::DispatchSemaphore> concurrentTipsSemaphore() const override { return semaphore_; }
    void setConcurrentTipsSemaphore(std::shared_ptr<platform::DispatchSemaphore>) override {}
    std::shared_ptr<std::mutex> singleTipLock() const override { return tipLock_; }
    std::shared_ptr<std::mutex> showLauncherBtnClickLock() const override { return launcherLock_; }
    int64_t singleTipShowingCount() const override { return 0; }
    void setSingleTipShowingCount(int64_t) override {}
    double autoDismissedTimeInterval() const override { return 0; }
    bool isSDKIntegrationCorrect() const override { return false; }
    void setIsSDKIntegrationCorrect(bool) override {}
    bool isCarouselIntegrated() const override { return false; }
    std::map<std::string, platform::Date> tipSeriesSincelastShown() const override { return {}; }
    std::map<std::string, KJTipOffScreenTracker> offScreenTipsTracker() const override { return {}; }
    int32_t currentTipType() const override { return 0; }
    std::shared_ptr<KJTipSeriesElement> multipleTourSeries() const override { return nullptr; }
    int64_t multipleTourIndex() const override { return 0; }
    void setMultipleTourIndex(int64_t) override {}
    std::optional<std::string> onDemandGuideId() const override { return std::nullopt; }
    void setOnDemandGuideId(std::optional<std::string>) override {}

    void fillTipFromFeed(const std::vector<std::shared_ptr<KJFeedObject>>&) override {}
    void processUpdatedFeed(const platform::Value&) override {}
    void removeTipSeries(const std::shared_ptr<KJTipSeriesElement>&) override {}
    void updateFeedRepeatConditions(const std::shared_ptr<KJTipElement>&) override {}
    void deleteFAQFeedWithCampaignId(const std::string&) override {}
    void addCacheManager(std::shared_ptr<BLQITipCacheManager>) override {}
    void replyCachedPreviewTips() override {}
    void removePreviewTips() override {}
    void sendTipUpdatedNotification() override {}

    void showTipForViewController(const platform::Value&, const platform::Notification::ObjectMap&) override {}
    void showTip(const std::shared_ptr<KJTipElement>&, const std::shared_ptr<platform::UIViewController>&,
                 const std::shared_ptr<platform::UIView>&, double, bool) override {}
    void concurrentTipPresentQueue(const std::shared_ptr<BLQITipViewController>&,
                                   const std::shared_ptr<platform::UIViewController>&) override {}
    void dismissAShowingTipWithCompletion(std::function<void()>) override {}
    void forceDismissTipForViewController(const std::shared_ptr<platform::UIViewController>&) override {}
    void coachmarkClicked() override {}

    void hookEventForTipSeries(const std::shared_ptr<KJTipSeriesElement>&,
                               const std::shared_ptr<platform::UIViewController>&, double) override {}
    void removeEventForSeries(const std::shared_ptr<KJTipSeriesElement>&) override {}
    void showOnDemandGuide(const std::string&) override {}
    void showOnDemandCampaignWithTips(const std::vector<std::shared_ptr<KJTipElement>>&) override {}
    void removeFAQLauncher() override {}
    void customFeedForViewController(const std::shared_ptr<platform::UIViewController>&) override {}
    void targetSuperTagForViewController(const std::shared_ptr<platform::UIViewController>&) override {}
    void superTagEventHandlerV2(const std::shared_ptr<platform::NSObject>&) override {}
    void addOffScreenTip(const std::shared_ptr<KJTipElement>&) override {}
    void removeOffScreenTip(const std::shared_ptr<KJTipElement>&) override {}
    void removeOffScreenTipOnGuideCompletion(const std::shared_ptr<KJTipElement>&) override {}
    void removeAllOffScreenTips() override {}
    void displayOffScreenTips(const platform::Value&, const platform::Notification::ObjectMap&) override {}
    void registerGuideBlock(std::shared_ptr<BLQIGuideController>, const std::string&) override {}
    std::shared_ptr<KJTargettingWidgetV2> getWidgetTargettingAlgoTool(const std::optional<std::string>&) override {
        return nullptr;
    }

private:
    std::shared_ptr<platform::DispatchSemaphore> semaphore_ = std::make_shared<platform::DispatchSemaphore>(1);
    std::shared_ptr<std::mutex> tipLock_ = std::make_shared<std::mutex>();
    std::shared_ptr<std::mutex> launcherLock_ = std::make_shared<std::mutex>();
};

}  // namespace brindlecue::testsupport
