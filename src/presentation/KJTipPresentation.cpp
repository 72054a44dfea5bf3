#include "presentation/KJTipPresentation.h"

#include <mutex>

#include "platform/uikit/NSObject.h"
#include "presentation/BLQITipPresentationFacade.h"
#include "presentation/KJAlertView.h"
#include "presentation/KJFeedbackTipViewController.h"
#include "presentation/KJModalTipViewController.h"
#include "tips/BLQTipViewControllerRegistry.h"

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

}  // namespace

void KJTipPresentation::registerWithTipEngine() {
    BLQTipViewControllerRegistry::registerMaker(BLQTipViewControllerKind::modal,
                                                []() -> std::shared_ptr<BLQITipViewController> {
                                                    return platform::make<KJModalTipViewController>();
                                                });
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
