#include "widgets/QXFeedBackInterface.h"

#include <cstdio>

#include "feed/BLQIFeedExt.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipManager.h"
#include "foundation/BLQPublished.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/foundation/URL.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "widgets/FABButtonView.h"
#include "widgets/FAQListSUIView.h"
#include "widgets/WidgetConstants.h"

namespace brindlecue::widgets {

using platform::CGPoint;
using platform::CGRect;
using platform::CGSize;
using platform::DispatchQueue;
using platform::UIApplication;
using platform::UIView;
using platform::UIWindow;
using platform::swiftui::UIHostingController;

namespace {

// The first of the application's windows that is the key window.
std::shared_ptr<UIWindow> firstKeyWindow() {
    for (const auto& window : UIApplication::sharedApplication()->windows()) {
        if (window->isKeyWindow()) return window;
    }
    return nullptr;
}

void forTagged(const std::shared_ptr<UIWindow>& window, std::initializer_list<int64_t> tags,
               const std::function<void(const std::shared_ptr<UIView>&)>& action) {
    if (!window) return;
    for (int64_t tag : tags) {
        if (auto view = window->viewWithTag(tag)) action(view);
    }
}

void removeTagged(const std::shared_ptr<UIWindow>& window, std::initializer_list<int64_t> tags) {
    forTagged(window, tags, [](const auto& view) { view->removeFromSuperview(); });
}

void hideTagged(const std::shared_ptr<UIWindow>& window, std::initializer_list<int64_t> tags) {
    forTagged(window, tags, [](const auto& view) { view->setHidden(true); });
}

CGPoint originFor(const Launcher& launcher, double width, double height) {
    if (auto placement = FABPlacementFromRawValue(launcher.placementValue())) {
        return buttonOrigin(*placement, width, height, launcher.marginInsets());
    }
    return {20, 20};
}

std::string valueFor(const std::map<std::string, std::string>& data, const char* key) {
    auto it = data.find(key);
    return it == data.end() ? std::string() : it->second;
}

}  // namespace

QXFeedBackInterface::QXFeedBackInterface() {
    static const bool registered = [] {
        platform::ClassRegistry::registerClass("QXFeedBackInterface", "NSObject");
        return true;
    }();
    (void)registered;
}

std::shared_ptr<const Setup> QXFeedBackInterface::setup() const {
    std::lock_guard lock(mutex_);
    return setup_;
}

std::shared_ptr<const Launcher> QXFeedBackInterface::launcher() const {
    std::lock_guard lock(mutex_);
    return launcher_;
}

bool QXFeedBackInterface::authoringMode() const {
    std::lock_guard lock(mutex_);
    return authoringMode_;
}

std::string QXFeedBackInterface::campaignId() const {
    std::lock_guard lock(mutex_);
    return campaignId_;
}

std::string QXFeedBackInterface::feedId() const {
    std::lock_guard lock(mutex_);
    return feedId_;
}

void QXFeedBackInterface::layoutUI(const std::string& setupText, const std::string& payloadText,
                                   const std::map<std::string, std::string>& feedData, bool mode) {
    std::string newFeedId = valueFor(feedData, "feedId");
    bool feedChanged = false;
    {
        std::lock_guard lock(mutex_);
        authoringMode_ = mode;
        campaignId_ = valueFor(feedData, "campaignId");
        feedChanged = feedId_ != newFeedId;
        feedId_ = newFeedId;
    }
    if (feedChanged) {
        // Another campaign starts closed (the previous list is hidden), and unacknowledged
        // unless its feed was acknowledged before.
        std::weak_ptr<QXFeedBackInterface> weak = self();
        DispatchQueue::main()->async([weak, newFeedId] {
            auto host = weak.lock();
            if (!host) return;
            if (host->isFaqShown_) hideTagged(firstKeyWindow(), {ViewTags::faqList, ViewTags::dimView});
            host->isFaqShown_ = false;
            host->isAcked_ = host->acknowledgedFeedIds_.count(newFeedId) > 0;
        });
    }
    auto decoded = ParseFAQ().decodeSetup(setupText);
    if (!decoded || !decoded->launcher) {
        std::printf("Error while Parsing FAQ feed : setup\n");
        std::fflush(stdout);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        launcher_ = std::make_shared<const Launcher>(*decoded->launcher);
        setup_ = std::make_shared<const Setup>(std::move(*decoded));
    }
    layoutFAB(payloadText);
}

void QXFeedBackInterface::layoutFAB(const std::string& payloadText) {
    std::weak_ptr<QXFeedBackInterface> weak = self();
    DispatchQueue::main()->async([weak, payloadText] {
        auto host = weak.lock();
        if (!host) return;
        auto launcher = host->launcher();
        if (!launcher) return;
        auto keyWindow = firstKeyWindow();
        auto cell = std::make_shared<OriginCell>();
        cell->origin = originFor(*launcher, launcher->btnWidth(), launcher->btnHeight());

        std::weak_ptr<UIWindow> weakWindow = keyWindow;
        FABButtonView button{launcher,
                             [weak, weakWindow, payloadText, launcher] {
                                 if (auto h = weak.lock()) h->launch(weakWindow, payloadText, launcher);
                             },
                             [weak, launcher, cell](CGSize size) {
                                 if (auto h = weak.lock()) h->fabSizeReported(launcher, cell, size);
                             }};
        auto controller = platform::make<UIHostingController>([button] { return button.body(); });
        host->fabButtonView_ = controller;
        removeTagged(keyWindow, {ViewTags::fabButton});
        auto hostView = controller->view();
        hostView->setBackgroundColor(platform::UIColor::clearColor());
        hostView->setFrame(CGRect(cell->origin, {launcher->btnWidth(), launcher->btnHeight()}));
        host->initialButtonPosition_ = hostView->frame();
        hostView->setTag(ViewTags::fabButton);
        if (keyWindow) keyWindow->addSubview(hostView);
        if (host->authoringMode()) host->showFAQList(payloadText, launcher);
    });
}

void QXFeedBackInterface::fabSizeReported(const std::shared_ptr<const Launcher>& launcher,
                                          const std::shared_ptr<OriginCell>& cell, CGSize size) {
    double width = launcher->iconheight() + 5 + launcher->frameWidth(size.width);
    double height = launcher->btnHeight();
    cell->origin = originFor(*launcher, width, height);
    if (fabButtonView_) fabButtonView_->view()->setFrame(CGRect(cell->origin, {width, height}));
}

void QXFeedBackInterface::adjustLayoutOnOrientationChange() {
    if (fabButtonView_) {
        std::printf("Optional(%s)\n", platform::NSStringFromCGRect(fabButtonView_->view()->frame()).c_str());
    } else {
        std::printf("nil\n");
    }
    std::fflush(stdout);
}

void QXFeedBackInterface::launch(const std::weak_ptr<UIWindow>& keyWindow, const std::string& payloadText,
                                 const std::shared_ptr<const Launcher>& launcher) {
    if (isFaqShown_) {
        isFaqShown_ = false;
        hideTagged(keyWindow.lock(), {ViewTags::faqList, ViewTags::dimView});
        return;
    }
    // A payload that does not decode opens nothing, and so is not acknowledged.
    if (!showFAQList(payloadText, launcher)) return;
    if (!authoringMode() && !isAcked_) {
        std::string feed = feedId();
        acknowledgedFeedIds_.insert(feed);
        DispatchQueue::global()->async([feed] {
            if (auto reports = BLQPublished<BLQIFeedExt>::get()) reports->sendFeedAck(feed);
        });
        isAcked_ = true;
    }
}

bool QXFeedBackInterface::showFAQList(const std::string& payloadText, const std::shared_ptr<const Launcher>& launcher) {
    auto keyWindow = UIApplication::sharedApplication()->keyWindow();
    auto decoded = ParseFAQ().decodePayload(payloadText);
    if (!decoded) {
        isFaqShown_ = false;
        return false;
    }
    isFaqShown_ = true;
    payload_ = std::make_shared<const Payload>(std::move(*decoded));

    std::weak_ptr<QXFeedBackInterface> weak = self();
    std::weak_ptr<UIWindow> weakWindow = keyWindow;
    FAQListSUIView list(
        true, payload_->buttonList, payload_, std::nullopt,
        [weak, weakWindow] {
            if (auto h = weak.lock()) h->closeList(weakWindow.lock());
        },
        [weak, weakWindow](const ButtonList& button) {
            if (auto h = weak.lock()) h->faqPressed(weakWindow, button);
        },
        [weak, weakWindow] {
            if (auto h = weak.lock()) h->dontShowPressed(weakWindow);
        },
        [weak, launcher](CGSize size) {
            if (auto h = weak.lock()) h->listSizeReported(launcher, size);
        });
    auto controller = platform::make<UIHostingController>([list] { return list.body(); });
    removeTagged(keyWindow, {ViewTags::faqList, ViewTags::dimView});
    faqListView_ = controller;
    auto listView = controller->view();
    listView->setBackgroundColor(platform::UIColor::clearColor());
    listView->setTag(ViewTags::faqList);

    std::shared_ptr<UIView> dimView;
    const DisplayParams& display = payload_->meta.displayParams;
    if (display.dim) {
        CGSize screen = platform::UIScreen::mainScreen()->bounds().size;
        dimView = platform::make<UIView>(CGRect(0, 0, screen.width, screen.height));
        dimView->setBackgroundColor(display.dimColor());
        dimView->setAlpha(double(*display.dim) * 0.01);
        dimView->setTag(ViewTags::dimView);
        dimView->addGestureRecognizer(platform::make<platform::UITapGestureRecognizer>(
            self(), platform::makeSelector("touchTapped:", &QXFeedBackInterface::touchTapped)));
    }
    if (!keyWindow) return true;
    if (dimView) keyWindow->addSubview(dimView);
    keyWindow->addSubview(listView);
    if (fabButtonView_) keyWindow->bringSubviewToFront(fabButtonView_->view());
    return true;
}

void QXFeedBackInterface::listSizeReported(const std::shared_ptr<const Launcher>& launcher, CGSize size) {
    if (!faqListView_ || !payload_) return;
    CGRect fabFrame = fabButtonView_ ? fabButtonView_->view()->frame() : CGRect();
    faqListView_->view()->setFrame(ElementPositon::listFrame(payload_->meta, *launcher, fabFrame, size));
}

void QXFeedBackInterface::closeList(const std::shared_ptr<UIWindow>& keyWindow) {
    isFaqShown_ = false;
    if (!keyWindow) return;
    if (authoringMode()) {
        removeTagged(keyWindow, {ViewTags::faqList, ViewTags::dimView});
    } else {
        hideTagged(keyWindow, {ViewTags::faqList, ViewTags::dimView});
    }
}

void QXFeedBackInterface::touchTapped(const std::shared_ptr<platform::NSObject>& sender) {
    auto recognizer = std::dynamic_pointer_cast<platform::UIGestureRecognizer>(sender);
    if (!recognizer || !recognizer->view()) return;
    closeList(firstKeyWindow());
}

void QXFeedBackInterface::faqPressed(const std::weak_ptr<UIWindow>& keyWindow, const ButtonList& button) {
    isFaqShown_ = false;
    removeTagged(keyWindow.lock(), {ViewTags::faqList, ViewTags::dimView});
    if (!button.actions) return;
    const auto& actions = *button.actions;
    const Actions* cta = nullptr;
    const Actions* onDemand = nullptr;
    for (const auto& action : actions) {
        if (!cta && action.type.find("cta") != std::string::npos) cta = &action;
        if (!onDemand && action.type.find("on-demand") != std::string::npos) onDemand = &action;
    }
    auto tipManager = BLQPublished<BLQITipManager>::get();
    if (actions.size() == 2) {
        auto screen = tipManager ? tipManager->customerCurrentVC() : nullptr;
        if (!screen) return;
        if (!cta || !onDemand) {
            log(std::string("FAQ: No ") + (cta ? "OnDemand" : "CTA") + " provided for button '" + button.textOrEmpty() +
                    "', but expecting a CTA and OnDemand due to 2 actions received, aborting",
                BLQLoggingLevel::error);
            return;
        }
        std::string ctaValue = cta->valueOrEmpty();
        bool sameScreen = ctaValue.find(screen->className()) != std::string::npos;
        auto preview = BLQPublished<BLQIPreviewModeManager>::get();
        if (sameScreen && preview && preview->isInPreviewMode()) {
            tipManager->setOnDemandGuideId("");
            preview->receiveUpdated(BLQPreviewModeNotificationState::noOnDemand,
                                    "OnDemand Guides not available during preview mode");
            return;
        }
        if (!sameScreen) {
            openURL(ctaValue, onDemand->valueOrEmpty());
        } else {
            tipManager->showOnDemandGuide(onDemand->valueOrEmpty());
        }
        return;
    }
    if (cta) {
        openURL(cta->valueOrEmpty(), std::nullopt);
    } else if (onDemand && tipManager) {
        tipManager->showOnDemandGuide(onDemand->valueOrEmpty());
    }
}

void QXFeedBackInterface::openURL(const std::string& link, const std::optional<std::string>& onDemandGuideId) {
    if (!platform::URL::fromString(link)) return;
    auto application = UIApplication::sharedApplication();
    if (!application->canOpenURL(link)) return;
    application->openURL(link, platform::Value::dictionary(), [onDemandGuideId](bool) {
        if (!onDemandGuideId) return;
        if (auto tipManager = BLQPublished<BLQITipManager>::get()) tipManager->setOnDemandGuideId(*onDemandGuideId);
    });
}

void QXFeedBackInterface::dontShowPressed(const std::weak_ptr<UIWindow>& keyWindow) {
    removeTagged(keyWindow.lock(), {ViewTags::fabButton, ViewTags::faqList, ViewTags::dimView});
    if (auto tipManager = BLQPublished<BLQITipManager>::get()) tipManager->deleteFAQFeedWithCampaignId(campaignId());
    if (auto reports = BLQPublished<BLQIFeedExt>::get()) reports->notifyFeedResultWithResults(feedId(), feedResult());
}

platform::Value QXFeedBackInterface::feedResult() const {
    platform::Dictionary result;
    result.set("campaignid", campaignId());
    result.set("status", "rejected");
    result.set("feed_delete", true);
    result.set("complete", false);
    if (payload_ && payload_->dismissForever.text) result.set("reference", *payload_->dismissForever.text);
    std::string type, value;
    if (payload_ && payload_->dismissForever.actions && !payload_->dismissForever.actions->empty()) {
        type = payload_->dismissForever.actions->front().type;
        value = payload_->dismissForever.actions->front().valueOrEmpty();
    }
    result.set("actions", platform::Value::array({platform::Value::dictionary({{"type", type}, {"value", value}})}));
    auto setup = this->setup();
    if (setup && setup->launcher && setup->launcher->type) result.set("launcher", *setup->launcher->type);
    return platform::Value(std::move(result));
}

}  // namespace brindlecue::widgets
