#include "preview/BLQPreviewModeManager.h"

#include "feed/KJTipSeriesElement.h"
#include "foundation/BLQViewUtils.h"
#include "foundation/DateExtensions.h"
#include "foundation/StringExtensions.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/KJCoverView.h"
#include "presentation/UIViewControllerKJViewExt.h"
#include "preview/BLQIPreviewModeDataStore.h"
#include "preview/BLQIPreviewModeDelegate.h"
#include "preview/BLQIPreviewModeFacade.h"
#include "preview/BLQIPreviewModeNetworkRequester.h"
#include "preview/BLQIPreviewModeUIManager.h"
#include "preview/BLQPreviewModeLink.h"
#include "targeting/BLQIScreenShotManager.h"

namespace brindlecue {

using platform::UIView;
using platform::UIViewController;

namespace {

constexpr int32_t kCarouselTipType = 6;
constexpr int32_t kPageOpenTrigger = 1;
constexpr const char* kSuperTagNotification = "BLQ_BrindlecueBridge_SuperTag_Notification";

std::string isoOrNone(const std::optional<platform::Date>& date) {
    return date ? toISO8601String(*date) : "none";
}

// Dates as the store keeps them: to the precision of their ISO text.
bool sameStoredDate(const std::optional<platform::Date>& a, const std::optional<platform::Date>& b) {
    if (!a || !b) return !a && !b;
    return toISO8601String(*a) == toISO8601String(*b);
}

bool isDirectSubview(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& parent) {
    if (!view || !parent) return false;
    for (const auto& sub : parent->subviews())
        if (sub == view) return true;
    return false;
}

std::shared_ptr<UIViewController> topMostViewController() {
    auto facade = BLQPreviewModeLink::facade();
    return facade ? facade->topMostViewController() : nullptr;
}

}  // namespace

BLQPreviewModeManager::BLQPreviewModeManager(
    std::shared_ptr<BLQIPreviewModeDataStore> dataStore, std::shared_ptr<BLQIPreviewModeUIManager> uiManager,
    std::shared_ptr<BLQIScreenShotManager> screenShotManager, std::shared_ptr<BLQITipManager> tipManager,
    std::shared_ptr<BLQIPreviewModeNetworkRequester> networkRequester, std::shared_ptr<Validator> validator)
    : dataStore_(std::move(dataStore)),
      uiManager_(std::move(uiManager)),
      screenShotManager_(std::move(screenShotManager)),
      tipManager_(std::move(tipManager)),
      networkRequester_(std::move(networkRequester)),
      validator_(std::move(validator)) {}

// ---- State ------------------------------------------------------------------------------------

std::shared_ptr<BLQIPreviewModeDelegate> BLQPreviewModeManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void BLQPreviewModeManager::setDelegate(const std::shared_ptr<BLQIPreviewModeDelegate>& delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

std::optional<std::string> BLQPreviewModeManager::baseUrl() const {
    std::lock_guard lock(mutex_);
    return baseUrl_;
}

bool BLQPreviewModeManager::isInPreviewMode() const {
    return dataStore_->getIsInPreviewMode();
}

bool BLQPreviewModeManager::isPreviewModeShown() const {
    return uiManager_->isShown();
}

// ---- The switch -------------------------------------------------------------------------------

void BLQPreviewModeManager::setServerTimestamp(const std::optional<platform::Date>& timestamp) {
    if (sameStoredDate(dataStore_->getServerTimestamp(), timestamp)) return;
    dataStore_->setServerTimestamp(timestamp);
    decidePreviewWidget();
}

void BLQPreviewModeManager::decidePreviewWidget() {
    const auto local = dataStore_->getLocalTimestamp();
    const auto server = dataStore_->getServerTimestamp();
    log("PreviewMode: Get local time: " + isoOrNone(local), BLQLoggingLevel::info);
    log("PreviewMode: Get server time: " + isoOrNone(server), BLQLoggingLevel::info);
    if (!local && !server) {
        log("PreviewMode: Do nothing, both local and server time are nil", BLQLoggingLevel::info);
    } else if (!server) {
        log("PreviewMode: Local timestamp, but server is nil, remove widget", BLQLoggingLevel::info);
        leavePreviewMode();
    } else if (!local) {
        log("PreviewMode: Local timestamp is nil, but server is new, add widget", BLQLoggingLevel::info);
        enterPreviewMode();
    } else if (*local < *server) {
        log("PreviewMode: Local is older than server, add widget", BLQLoggingLevel::info);
        enterPreviewMode();
    } else {
        log("PreviewMode: Local is newer than server, do nothing", BLQLoggingLevel::info);
    }
}

void BLQPreviewModeManager::enterPreviewMode() {
    if (isInPreviewMode()) return;
    dataStore_->setLocalTimestamp(platform::Date::now());
    if (!dataStore_->getIsInPreviewMode()) {
        dataStore_->setIsInPreviewMode(true);
        if (auto listener = delegate()) listener->onPreviewModeToggledWithPreviewModeActive(true);
    }
    acknowledgePreviewMode();
    checkIfPreviewModeIsRequiredOrNot(nullptr);
}

void BLQPreviewModeManager::leavePreviewMode() {
    clearPreviewFlag();
    dataStore_->setLocalTimestamp(std::nullopt);
    checkIfPreviewModeIsRequiredOrNot(nullptr);
}

void BLQPreviewModeManager::clearPreviewFlag() {
    if (!dataStore_->getIsInPreviewMode()) return;
    dataStore_->setIsInPreviewMode(false);
    if (auto listener = delegate()) listener->onPreviewModeToggledWithPreviewModeActive(false);
}

void BLQPreviewModeManager::acknowledgePreviewMode() {
    const auto local = dataStore_->getLocalTimestamp();
    if (!local) {
        log("PreviewMode: Attempting to ack PreviewMode, but no local time stamp", BLQLoggingLevel::info);
        return;
    }
    std::weak_ptr<BLQPreviewModeManager> weak = weak_from_this();
    networkRequester_->ackPreviewModeConnection(
        toISO8601String(*local),
        [weak] {
            if (auto self = weak.lock())
                self->log("PreviewMode: Successfully acked Preview Mode", BLQLoggingLevel::info);
        },
        [weak](const platform::Error& error) {
            if (auto self = weak.lock())
                self->log("PreviewMode: Failed to ack Preview Mode - error: " + error.localizedDescription(),
                          BLQLoggingLevel::info);
        });
}

void BLQPreviewModeManager::fetchPreviewModeStatus(const std::string& baseUrl) {
    {
        std::lock_guard lock(mutex_);
        baseUrl_ = baseUrl;
    }
    auto self = weak_from_this().lock();
    if (!self) return;
    networkRequester_->fetchPreviewModeStatus(
        [self](const platform::Value& json, const platform::URL& url) {
            if (self->wouldLog(BLQLoggingLevel::info))
                self->log(
                    "PreviewMode: Successful check for Preview Mode - received JSON: " + json.description(),
                    BLQLoggingLevel::info);
            self->applyPreviewStatus(json);
            if (auto listener = self->delegate()) listener->onPreviewModeCheckSuccessWithResponse(json, url);
        },
        [self](const platform::Error& error) {
            self->log("PreviewMode: Failed to check for Preview Mode - error: " + error.description(),
                      BLQLoggingLevel::info);
            if (auto listener = self->delegate()) listener->onPreviewModeCheckFailureWithError(error);
        });
}

void BLQPreviewModeManager::applyPreviewStatus(const platform::Value& json) {
    const platform::Value& status = json["app_status"];
    if (!status.isDictionary()) return;
    if (const std::string* text = status["preview_mode"].getString()) {
        if (auto date = toDate(*text)) dataStore_->setServerTimestamp(date);
    } else {
        dataStore_->setServerTimestamp(std::nullopt);
    }
    decidePreviewWidget();
}

// ---- The panel on the host's screens ------------------------------------------------------------

void BLQPreviewModeManager::checkIfPreviewModeIsRequiredOrNot(
    const std::shared_ptr<UIViewController>& controller) {
    std::weak_ptr<BLQPreviewModeManager> weak = weak_from_this();
    platform::DispatchQueue::main()->async([weak, controller] {
        if (auto self = weak.lock()) self->attachPreviewPanel(controller);
    });
}

void BLQPreviewModeManager::attachPreviewPanel(const std::shared_ptr<UIViewController>& given) {
    auto controller = given;
    if (!controller) {
        log("PreviewMode: Nil View Controller, so getting customer View Controller", BLQLoggingLevel::info);
        controller = tipManager_->customerCurrentVC();
    }
    if (!controller) {
        log("PreviewMode: Customer View Controller is also nil, so getting root window View Controller",
            BLQLoggingLevel::info);
        auto window = blqKeyWindow();
        controller = window ? window->rootViewController() : nullptr;
    }
    if (!controller) {
        log("PreviewMode: Root window View Controller not retrievable, aborting Preview Mode",
            BLQLoggingLevel::error);
        return;
    }

    const bool preview = isInPreviewMode();
    if (preview) {
        if (auto facade = BLQPreviewModeLink::facade()) facade->verifySDKVersion();
        tipManager_->dismissAShowingTipWithCompletion(nullptr);
    }
    if (!preview && isPreviewModeShown()) {
        log("PreviewMode: Hiding Preview Mode view", BLQLoggingLevel::info);
        uiManager_->layoutUI(true);
        tipManager_->removeFAQLauncher();
        dismissTipButtonClickAfterExitPreview();
        tipManager_->sendTipUpdatedNotification();
    } else if (preview && !isPreviewModeShown()) {
        log("PreviewMode: Show Preview Mode view", BLQLoggingLevel::info);
        tipManager_->removeFAQLauncher();
        tipManager_->removeAllOffScreenTips();
        uiManager_->layoutUI(false);
        if (auto top = topMostViewController()) uiManager_->layoutAuthorViews(top);
        auto window = blqKeyWindow();
        auto root = window ? window->rootViewController() : nullptr;
        if (root && root->view()->className().find("RCT") != std::string::npos) {
            // The screen goes along only when there is one.
            platform::Notification::ObjectMap objects;
            if (auto current = tipManager_->customerCurrentVC()) objects["vc"] = current;
            platform::NotificationCenter::defaultCenter().post(
                kSuperTagNotification, nullptr, platform::Value::dictionary(), std::move(objects));
        }
    }
    if (isInPreviewMode()) placePreviewPanel();
}

void BLQPreviewModeManager::placePreviewPanel() {
    auto controller = uiManager_->previewModeView();
    auto panel = controller ? controller->view() : nullptr;
    auto window = blqKeyWindow();

    if (controller && panel && panel->superview()) {
        auto top = topMostViewController();
        if (!top) {
            log("PreviewMode: Attaching to Root View Controller", BLQLoggingLevel::info);
            top = window ? window->rootViewController() : nullptr;
            if (top) top->view()->bringSubviewToFront(panel);
        }
        if (top && isDirectSubview(panel, top->view())) return;
        log("PreviewMode: Attaching to presented View Controller", BLQLoggingLevel::info);
        uiManager_->resetOfDefaultMode();
        if (top) {
            top->view()->addSubview(panel);
            top->view()->bringSubviewToFront(panel);
        }
        // Above a carousel's cover, when that cover is on the key window.
        if (tipManager_->currentTipType() == kCarouselTipType && window) {
            auto cover = tipManager_->tipCoverView();
            if (cover && cover->superview() == window) window->insertSubviewAboveSubview(panel, cover);
        }
        return;
    }

    auto top = topMostViewController();
    if (!top) {
        log("PreviewMode: Unable to get top most ViewController", BLQLoggingLevel::error);
        return;
    }
    if (!panel) {
        log("PreviewMode: Unable to get PreviewMode View from PreviewModeViewController",
            BLQLoggingLevel::error);
        return;
    }
    if (!isDirectSubview(panel, top->view())) {
        log("PreviewMode: Attaching to presented View Controller", BLQLoggingLevel::info);
        uiManager_->resetOfDefaultMode();
        top->view()->addSubview(panel);
        top->view()->bringSubviewToFront(panel);
    }
}

void BLQPreviewModeManager::dismissTipButtonClickAfterExitPreview() {
    cleanUpAfterPreview(tipManager_->cachedTips());
}

void BLQPreviewModeManager::cleanUpAfterPreview(BLQITipManager::SeriesList campaigns) {
    auto tips = tipManager_;
    platform::DispatchQueue::main()->async([tips, campaigns = std::move(campaigns)] {
        if (auto window = blqKeyWindow()) {
            for (const auto& view : std::vector<std::shared_ptr<UIView>>(window->subviews()))
                if (std::dynamic_pointer_cast<KJCoverView>(view)) view->removeFromSuperview();
        }
        if (auto current = tips->customerCurrentVC())
            UIViewControllerKJViewExt::dismissLauncherButton(current);
        for (const auto& series : campaigns)
            if (series && series->triggerType != kPageOpenTrigger) tips->removeEventForSeries(series);
    });
}

// ---- The panel's commands -----------------------------------------------------------------------

void BLQPreviewModeManager::captureScreenShot() {
    screenShotManager_->captureScreenShot();
}

void BLQPreviewModeManager::replayGuide() {
    tipManager_->replyCachedPreviewTips();
}

void BLQPreviewModeManager::exitPreviewMode() {
    // The campaigns whose triggers the clean-up unhooks, taken before the cache is emptied.
    auto campaigns = tipManager_->cachedTips();
    clearPreviewFlag();
    std::weak_ptr<BLQPreviewModeManager> weak = weak_from_this();
    networkRequester_->exitPreviewMode(
        [weak] {
            if (auto self = weak.lock())
                self->log("PreviewMode: Successfully exited Preview Mode", BLQLoggingLevel::info);
        },
        [weak](const platform::Error& error) {
            if (auto self = weak.lock())
                self->log("PreviewMode: Failed to exit Preview Mode - error: " + error.description(),
                          BLQLoggingLevel::info);
        });
    tipManager_->removeFAQLauncher();
    tipManager_->removePreviewTips();
    tipManager_->removeAllOffScreenTips();
    hidePreviewMode();
    cleanUpAfterPreview(std::move(campaigns));
}

// ---- Forwarded to the panel ---------------------------------------------------------------------

std::shared_ptr<UIViewController> BLQPreviewModeManager::previewModeView() {
    return uiManager_->previewModeView();
}

bool BLQPreviewModeManager::isMenuShown() const {
    return uiManager_->isMenuShown();
}

void BLQPreviewModeManager::showPreviewMode() {
    uiManager_->layoutUI(false);
}

void BLQPreviewModeManager::hidePreviewMode() {
    uiManager_->layoutUI(true);
}

void BLQPreviewModeManager::layoutAuthorViews(const std::shared_ptr<UIViewController>& controller) {
    uiManager_->layoutAuthorViews(controller);
}

void BLQPreviewModeManager::togglePreviewModeView(bool isHidden) {
    uiManager_->togglePreviewModeView(isHidden);
}

void BLQPreviewModeManager::resetOfDefaultMode() {
    uiManager_->resetOfDefaultMode();
}

void BLQPreviewModeManager::receiveUpdated(BLQPreviewModeNotificationState state,
                                           const std::string& customMessage) {
    uiManager_->receiveUpdated(state, customMessage);
}

std::shared_ptr<platform::UIImage> BLQPreviewModeManager::getLocalImage(const std::string& imageName) {
    return uiManager_->getLocalImage(imageName);
}

}  // namespace brindlecue
