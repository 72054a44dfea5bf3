#include "presentation/KJTipPresentation.h"

#include <mutex>

#include "feed/KJTipWebElement.h"
#include "platform/uikit/NSObject.h"
#include "platform/webkit/WKWebView.h"
#include "presentation/BLQITipPresentationFacade.h"
#include "presentation/BLQTipViewControllerRegistry.h"
#include "presentation/KJAlertView.h"
#include "presentation/KJCoachmarkTipViewController.h"
#include "presentation/KJFeedbackTipViewController.h"
#include "presentation/KJModalTipViewController.h"
#include "presentation/KJPopTipViewController.h"
#include "presentation/KJTipDismissElement.h"
#include "presentation/KJTipImageElement.h"
#include "presentation/KJTipLauncherElement.h"

namespace brindlecue {

namespace {

struct Seams {
    std::mutex mutex;
    std::weak_ptr<BLQITipPresentationFacade> facade;
    KJTipPresentation::WebViewMaker webViewMaker;
    KJTipPresentation::WebLayout webLayout;
    KJTipPresentation::ImageLayout imageLayout;
};

Seams& seams() {
    static auto* s = new Seams();  // left alive: worker threads may ask during exit
    return *s;
}

// A web step's page: a web view, hidden until the step's web element shows it, which loads the
// page with the page handlers of a web tip (the controller is its navigation delegate).
std::shared_ptr<platform::UIView> makeWebView() {
    auto webView = platform::make<platform::WKWebView>();
    webView->setHidden(true);
    return webView;
}

void layoutWebPage(const std::shared_ptr<platform::UIView>& webView,
                   const std::shared_ptr<platform::UIView>& contentView,
                   const std::shared_ptr<KJBaseTipViewController>& controller,
                   const std::shared_ptr<KJTipWebElement>& element) {
    KJTipWebElement::layoutWeb(std::dynamic_pointer_cast<platform::WKWebView>(webView), contentView,
                               controller, element);
}

}  // namespace

void KJTipPresentation::registerWithTipEngine() {
    setWebSupport(makeWebView, layoutWebPage);
    BLQTipViewControllerRegistry::registerMaker(BLQTipViewControllerKind::modal,
                                                []() -> std::shared_ptr<BLQITipViewController> {
                                                    return platform::make<KJModalTipViewController>();
                                                });
    BLQTipViewControllerRegistry::registerMaker(
        BLQTipViewControllerKind::pop,
        []() -> std::shared_ptr<BLQITipViewController> { return platform::make<KJPopTipViewController>(); });
    BLQTipViewControllerRegistry::registerMaker(BLQTipViewControllerKind::coachmark,
                                                []() -> std::shared_ptr<BLQITipViewController> {
                                                    return platform::make<KJCoachmarkTipViewController>();
                                                });
    setImageLayout(KJTipImageElement::layoutImageElements);
    BLQTipViewControllerRegistry::registerMaker(BLQTipViewControllerKind::feedback,
                                                []() -> std::shared_ptr<BLQITipViewController> {
                                                    return platform::make<KJFeedbackTipViewController>();
                                                });
    BLQTipViewControllerRegistry::registerDialogPresenter(
        [](const std::optional<std::string>& title, const std::optional<std::string>& message,
           const std::vector<std::string>& buttonTitles, std::function<void(int64_t)> handler) {
            std::vector<std::optional<std::string>> titles(buttonTitles.begin(), buttonTitles.end());
            auto alert = platform::make<KJAlertView>(
                title, message,
                [handler](KJAlertView&, int64_t index) {
                    if (handler) handler(index);
                },
                std::nullopt, std::move(titles));
            alert->show();
        });
}

void KJTipPresentation::registerWithCampaignModel() {
    KJTipDismissElement::registerWithCampaignModel();
    KJTipImageElement::registerWithCampaignModel();
    KJTipLauncherElement::registerWithCampaignModel();
}

void KJTipPresentation::setFacade(const std::shared_ptr<BLQITipPresentationFacade>& facade) {
    std::lock_guard lock(seams().mutex);
    seams().facade = facade;
}

std::shared_ptr<BLQITipPresentationFacade> KJTipPresentation::facade() {
    std::lock_guard lock(seams().mutex);
    return seams().facade.lock();
}

void KJTipPresentation::setWebSupport(WebViewMaker maker, WebLayout layout) {
    std::lock_guard lock(seams().mutex);
    seams().webViewMaker = std::move(maker);
    seams().webLayout = std::move(layout);
}

KJTipPresentation::WebViewMaker KJTipPresentation::webViewMaker() {
    std::lock_guard lock(seams().mutex);
    return seams().webViewMaker;
}

KJTipPresentation::WebLayout KJTipPresentation::webLayout() {
    std::lock_guard lock(seams().mutex);
    return seams().webLayout;
}

void KJTipPresentation::setImageLayout(ImageLayout layout) {
    std::lock_guard lock(seams().mutex);
    seams().imageLayout = std::move(layout);
}

KJTipPresentation::ImageLayout KJTipPresentation::imageLayout() {
    std::lock_guard lock(seams().mutex);
    return seams().imageLayout;
}

}  // namespace brindlecue
