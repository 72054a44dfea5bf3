// Where the facade connects the layers: the seams through which each subsystem reaches the others
// are filled here, once, while the facade is built. docs/architecture.md lists each seam beside
// the step that fills it.

#include "config/BLQAppDetailsProvider.h"
#include "config/BLQIConfigManager.h"
#include "config/BLQIInstallRegistrationManager.h"
#include "config/BLQIUpdateRegistrationManager.h"
#include "config/BLQUtilsFacade.h"
#include "events/BLQIUserEventManager.h"
#include "facade/BLQAppStatusManagerFactory.h"
#include "facade/BLQFacadeLink.h"
#include "facade/BLQIAppStatusManager.h"
#include "facade/Brindlecue.h"
#include "facade/KJViewActivity.h"
#include "feed/BLQIFeedManager.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "feed/KJTipUtil.h"
#include "foundation/BLQILoggerManager.h"
#include "foundation/BLQUtils.h"
#include "foundation/KJInterceptor.h"
#include "imaging/UIImageMultiFormat.h"
#include "matching/CampaignMatching.h"
#include "network/KJHTTPFacade.h"
#include "platform/uikit/UIFont.h"
#include "presentation/BLQCustomGuideLink.h"
#include "presentation/KJTipLauncherElement.h"
#include "presentation/KJTipPresentation.h"
#include "preview/BLQPreviewModeLink.h"
#include "storage/KJDBManager.h"
#include "tags/BLQITagManager.h"
#include "targeting/BLQLegacyScreenShotCapturer.h"
#include "targeting/KJTargettingWidgetV2.h"
#include "targeting/KJTipTargetElement.h"
#include "tips/KJTipManager.h"
#include "tips/KJTipTriggers.h"

namespace brindlecue {

namespace {

// What the older layer's HTTP clients read of the facade at each request: its app, install and
// configured server, and the pause a 429 answer puts on the library.
class FacadeForLegacyClients final : public KJHTTPFacade {
public:
    explicit FacadeForLegacyClients(std::weak_ptr<Brindlecue> facade) : facade_(std::move(facade)) {}

    std::optional<int64_t> appId() const override {
        auto facade = facade_.lock();
        return facade ? facade->configManager()->getAppId() : std::nullopt;
    }
    std::string appKey() const override {
        auto facade = facade_.lock();
        return facade ? facade->appKey().value_or("") : "";
    }
    std::string sdkVersion() const override { return Brindlecue::kVersion; }
    std::string installId() const override {
        auto facade = facade_.lock();
        auto install = facade ? facade->currentInstall() : nullptr;
        return install && install->installId ? *install->installId : "";
    }
    bool isDebugMode() const override {
        auto facade = facade_.lock();
        return facade && facade->isDebugMode();
    }
    std::string host() const override {
        auto facade = facade_.lock();
        return facade ? facade->configManager()->getHost() : "";
    }
    void setSDKDisabledTime(double time) override {
        if (auto facade = facade_.lock()) facade->configManager()->setSDKDisabledTime(time);
    }

private:
    std::weak_ptr<Brindlecue> facade_;
};

}  // namespace

void Brindlecue::connectLowerLayers() {
    // The campaign model's records of other layers, by class name.
    KJTipTargetElement::registerWithCampaignModel();
    KJTipPresentation::registerWithCampaignModel();
    // Where a step stands in its campaign, for the targets of tour steps.
    KJTipTargetElement::setStepPlaceLookup(
        [](const KJTipElement& step) -> std::optional<KJTipTargetElement::StepPlace> {
            auto series = step.series.lock();
            if (!series) return std::nullopt;
            KJTipTargetElement::StepPlace place;
            place.campaignTipType = series->tipType;
            for (size_t i = 0; i < series->arrayTips.size(); ++i)
                if (series->arrayTips[i].get() == &step) place.position = i;
            return place;
        });

    // The campaign cache builds campaigns from its rows, evaluates their deletion conditions and
    // keeps to the facade's app key.
    auto cache = KJDBManager::sharedInstance();
    cache->updateCollaborators([](KJDBManager::Collaborators& c) {
        c.appKey = []() -> std::optional<std::string> {
            auto config = BLQFacadeLink::configManager();
            if (!config) return std::nullopt;
            std::string key = config->getAppKey();
            return key.empty() ? std::nullopt : std::optional<std::string>(key);
        };
    });
    KJTipSeriesElement::registerWithCampaignCache(*cache);
    CampaignMatching::registerWithCampaignCache(*cache);

    // Fonts the text layer offers and images made from bytes, for the tip layer.
    KJTipUtil::setFontCatalog(
        {[](const std::string& family) { return platform::UIFont::fontNamesForFamilyName(family); },
         [](const std::string& name) { return platform::UIFont::fontWithName(name, 12).isAvailable(); }});
    UIImageMultiFormat::registerWithTipUtil();

    // The tip controllers and the close button's dialog.
    KJTipPresentation::registerWithTipEngine();

    // An author screenshot carries the target metadata the widget forest finds on the screen.
    BLQLegacyScreenShotCapturer::setAuthorMetaDataSource([] {
        platform::Value records = std::make_shared<KJTargettingWidgetV2>()->generateAuthorMetaData({});
        const platform::Array* list = records.getArray();
        return list ? *list : platform::Array{};
    });
}

void Brindlecue::connectToLayers() {
    auto self = std::static_pointer_cast<Brindlecue>(shared_from_this());

    BLQFacadeLink::setConfigManager(configManager_);
    BLQFacadeLink::setLoggerManager(loggerManager_);
    BLQFacadeLink::setUserEventManager(userEventManager_);
    BLQFacadeLink::setTipManager(tipManager_);
    BLQFacadeLink::setTargetingAlgo(targetingAlgo_);
    BLQFacadeLink::setFeedExt(self);
    BLQFacadeLink::setPreviewModeManager(previewModeManager_);
    std::weak_ptr<BLQIPreviewModeManager> preview = previewModeManager_;
    BLQFacadeLink::setPreviewModeCheck([preview] {
        auto manager = preview.lock();
        return manager && manager->isInPreviewMode();
    });
    blqSetFacade(
        {configManager_, [] { return BLQAppDetailsProvider::hostDevelopmentPlatform() == "reactnative"; }});
    BLQAppDetailsProvider::setInstallManager(installManager_);
    BLQCustomGuideLink::setTagManager(tagManager_);
    KJTipPresentation::setFacade(self);
    BLQPreviewModeLink::setFacade(self);
    KJHTTPFacade::set(std::make_shared<FacadeForLegacyClients>(self));

    // The tip engine reaches the facade, and waits for the user through its triggers.
    if (auto engine = std::dynamic_pointer_cast<KJTipManager>(tipManager_)) {
        engine->setDelegate(self);
        KJTipTriggers::Collaborators triggers;
        triggers.facade = self;
        triggers.tagManager = tagManager_;
        triggers.launcher = KJTipLauncherElement::launcherElement();
        std::weak_ptr<Brindlecue> weak = self;
        triggers.loadLocalFeeds = [weak]() -> std::optional<std::string> {
            auto facade = weak.lock();
            return facade ? facade->loadLocalFeeds() : std::nullopt;
        };
        triggers.clearLoadLocalFeeds = [weak] {
            if (auto facade = weak.lock()) facade->setLoadLocalFeeds(std::nullopt);
        };
        tipTriggers_ = platform::make<KJTipTriggers>(engine, std::move(triggers));
        engine->setTriggers(tipTriggers_);
    }
    verifyConnections();
}

void Brindlecue::verifyConnections() const {
    // Every seam is filled above; one left empty would leave its layer silently doing nothing.
    auto missing = [this](bool connected, const std::string& what) {
        if (!connected)
            log("Start-up: " + what + " is not connected; its part of the library does nothing.", 5);
    };
    missing(previewModeManager_ != nullptr, "the preview-mode manager");
    missing(KJTipLauncherElement::launcherElement() != nullptr, "the launcher element");
    missing(KJTipPresentation::webViewMaker() != nullptr, "the web view of web tips");
    missing(KJTipPresentation::imageLayout() != nullptr, "the image layout of tips");
}

void Brindlecue::disconnectFromLayers() {
    // The managers that hold their delegate strongly would otherwise keep this facade.
    appStatusManager_->setDelegate(nullptr);
    configManager_->setDelegate(nullptr);
    installManager_->setDelegate(nullptr);
    updateManager_->setDelegate(nullptr);
    feedManager_->setDelegate(nullptr);
    previewModeManager_->setDelegate(nullptr);
    targetingAlgo_->setDelegate(nullptr);
    if (auto engine = std::dynamic_pointer_cast<KJTipManager>(tipManager_)) engine->setDelegate(nullptr);
    BLQFacadeLink::setFeedExt(nullptr);
    BLQFacadeLink::setTipManager(nullptr);
    BLQFacadeLink::setTargetingAlgo(nullptr);
    BLQFacadeLink::setPreviewModeManager(nullptr);
    BLQFacadeLink::setPreviewModeCheck(nullptr);
    BLQFacadeLink::setUserEventManager(nullptr);
    BLQFacadeLink::setLoggerManager(nullptr);
    BLQFacadeLink::setConfigManager(nullptr);
    BLQAppDetailsProvider::setInstallManager({});
    BLQCustomGuideLink::setTagManager(nullptr);
    KJTipPresentation::setFacade(nullptr);
    BLQPreviewModeLink::setFacade(nullptr);
    KJHTTPFacade::set(nullptr);
    if (auto engine = std::dynamic_pointer_cast<KJTipManager>(tipManager_)) engine->setTriggers(nullptr);
}

std::shared_ptr<BLQIPreviewModeManager> Brindlecue::createPreviewModeManager() {
    auto manager = BLQPreviewModeManagerFactory::createPreviewModeManager();
    manager->setDelegate(std::static_pointer_cast<Brindlecue>(shared_from_this()));
    return manager;
}

void Brindlecue::applyPreviewServerTimestamp(std::optional<platform::Date> timestamp) {
    previewModeManager_->setServerTimestamp(timestamp);
}

// ---- The tip engine's view of the facade ------------------------------------------------------------

std::optional<std::string> Brindlecue::appKey() const {
    std::lock_guard lock(mutex_);
    return appKey_;
}

void Brindlecue::onDemandCampaignShown() {
    setOnDemandCampaignID(std::nullopt);
    if (tipManager_) tipManager_->setOnDemandGuideId(std::nullopt);
}

std::optional<platform::Date> Brindlecue::feedsModifiedTime() const {
    std::lock_guard lock(mutex_);
    return feedsModifiedTime_;
}

void Brindlecue::setFeedsModifiedTime(std::optional<platform::Date> time) {
    std::lock_guard lock(mutex_);
    feedsModifiedTime_ = time;
}

std::shared_ptr<BLQIClientSideTriggerManager> Brindlecue::clientSideTriggerManager() const {
    return clientSideTriggerManager_;
}

std::shared_ptr<BLQIPreviewModeManager> Brindlecue::previewModeManager() const {
    return previewModeManager_;
}

// ---- Properties ------------------------------------------------------------------------------------------

bool Brindlecue::isDebugMode() const {
    std::lock_guard lock(mutex_);
    return isDebugMode_;
}

bool Brindlecue::isRegisterInstallForAppCalled() const {
    std::lock_guard lock(mutex_);
    return isRegisterInstallForAppCalled_;
}

int64_t Brindlecue::applicationLifeCycleState() const {
    std::lock_guard lock(mutex_);
    return applicationLifeCycleState_;
}

bool Brindlecue::autoIntegrateAppDelegate() const {
    std::lock_guard lock(mutex_);
    return autoIntegrateAppDelegate_;
}

void Brindlecue::setAutoIntegrateAppDelegate(bool value) {
    std::lock_guard lock(mutex_);
    autoIntegrateAppDelegate_ = value;
}

std::optional<std::string> Brindlecue::onDemandCampaignID() const {
    std::lock_guard lock(mutex_);
    return onDemandCampaignID_;
}

void Brindlecue::setOnDemandCampaignID(std::optional<std::string> campaignId) {
    std::lock_guard lock(mutex_);
    onDemandCampaignID_ = std::move(campaignId);
}

std::optional<std::string> Brindlecue::rnViewName() const {
    std::lock_guard lock(mutex_);
    return rnViewName_;
}

std::shared_ptr<KJViewActivity> Brindlecue::currentView() const {
    std::lock_guard lock(mutex_);
    return currentView_;
}

std::optional<std::string> Brindlecue::loadLocalFeeds() const {
    std::lock_guard lock(mutex_);
    return loadLocalFeeds_;
}

void Brindlecue::setLoadLocalFeeds(std::optional<std::string> feeds) {
    std::lock_guard lock(mutex_);
    loadLocalFeeds_ = std::move(feeds);
}

void Brindlecue::setOpenUrlHandler(OpenURLHandler handler) {
    std::lock_guard lock(mutex_);
    openUrlHandler_ = std::move(handler);
}

Brindlecue::OpenURLHandler Brindlecue::openUrlHandler() const {
    std::lock_guard lock(mutex_);
    return openUrlHandler_;
}

std::vector<std::shared_ptr<KJFeedObject>> Brindlecue::pollingFeedArray() const {
    std::lock_guard lock(mutex_);
    return pollingFeedArray_;
}

void Brindlecue::setPollingFeedArray(std::vector<std::shared_ptr<KJFeedObject>> feeds) {
    std::lock_guard lock(mutex_);
    pollingFeedArray_ = std::move(feeds);
}

std::shared_ptr<KJInterceptor> Brindlecue::appDelegateInterceptor() const {
    std::lock_guard lock(mutex_);
    return appDelegateInterceptor_;
}

std::shared_ptr<platform::UIApplicationDelegate> Brindlecue::originalAppDelegate() const {
    std::lock_guard lock(mutex_);
    return originalAppDelegate_;
}

std::optional<std::string> Brindlecue::sdkVerificationMessage() const {
    std::lock_guard lock(mutex_);
    return sdkVerificationMessage_;
}

}  // namespace brindlecue
