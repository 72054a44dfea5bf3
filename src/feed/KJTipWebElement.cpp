#include "feed/KJTipWebElement.h"

#include "config/BLQPreviewModeCheck.h"
#include "feed/BLQIFeedExt.h"
#include "feed/BLQIWebTipController.h"
#include "feed/KJDocumentReader.h"
#include "feed/KJTipElement.h"
#include "feed/WebKitBridgeInterface.h"
#include "foundation/BLQPublished.h"
#include "foundation/BLQUtils.h"
#include "foundation/KJLog.h"
#include "platform/Bundle.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/webkit/WKWebView.h"

namespace brindlecue {

using platform::Value;

namespace {

Value textValue(const std::optional<std::string>& text) {
    return text ? Value(*text) : Value();
}

// The page's "sendFeedResult": the step's result, reported through the facade.
void sendFeedResult(const BLQIWebTipController& controller, const Value& data) {
    if (BLQPreviewModeCheck::isInPreviewMode()) {
        KJLog(2, "Author mode doesn't send feed result logline.");
        return;
    }
    if (!data.isDictionary()) return;
    auto reporter = BLQPublished<BLQIFeedExt>::get();
    if (!reporter) return;
    std::optional<std::string> feedId;
    if (auto tip = controller.tip()) feedId = tip->feed_id;
    const Value& campaignId = data["campaignid"];
    reporter->notifyFeedResult(feedId, campaignId.isNil() ? Value("") : campaignId,
                               static_cast<BLQFeedResult>(data["result"].integerValue()), data["step_id"],
                               data["delete"].boolValue(), data["completed"].boolValue());
}

// The page handlers of a web tip. They hold the controller weakly: it owns the web view, which
// keeps the handlers.
void registerPageHandlers(const std::shared_ptr<platform::WKWebView>& webView,
                          const std::shared_ptr<BLQIWebTipController>& controller) {
    std::weak_ptr<BLQIWebTipController> weak = controller;
    WebKitBridgeInterface::registerHandler(webView, "switchToPreviousTip", [weak](bool flag) {
        if (auto live = weak.lock()) live->switchToPreviousTip(flag, true);
    });
    WebKitBridgeInterface::registerHandler(webView, "switchToNextTip", [weak](bool flag) {
        if (auto live = weak.lock()) live->switchToNextTip(flag, true);
    });
    WebKitBridgeInterface::registerHandler(webView, "dismissTip", [weak](bool flag) {
        if (auto live = weak.lock()) live->dismissTip(flag);
    });
    WebKitBridgeInterface::registerHandlerWidthData(webView, "sendFeedResult", [weak](const Value& data) {
        if (auto live = weak.lock()) sendFeedResult(*live, data);
    });
    WebKitBridgeInterface::registerHandlerWidthData(webView, "getStepId", [](const Value&) {});
}

}  // namespace

void KJTipWebElement::layoutWeb(const std::shared_ptr<platform::WKWebView>& webView,
                                const std::shared_ptr<platform::UIView>& containView,
                                const std::shared_ptr<platform::UIViewController>& vc,
                                const std::shared_ptr<const KJTipWebElement>& webElement) {
    if (!webView || !containView || !vc || !webElement) {
        KJLog(1, "layout web view failed as one of webView/containView/vc/webElement is nil");
        return;
    }
    bool noContent = blqStrIsEmpty(textValue(webElement->urlcontent));
    if (noContent && blqStrIsEmpty(textValue(webElement->url))) {
        webView->setHidden(true);
        return;
    }
    webView->setHidden(false);
    webView->scrollView()->setScrollEnabled(false);
    webView->setOpaque(false);
    webView->setBackgroundColor(platform::UIColor::clearColor());
    KJLog(2, "Before calling WebKitBridgeInterface ");
    if (auto controller = std::dynamic_pointer_cast<BLQIWebTipController>(vc))
        registerPageHandlers(webView, controller);
    if (noContent) {
        if (auto address = platform::URL::fromString(*webElement->url))
            webView->loadRequest(platform::URLRequest(address));
    } else {
        webView->loadHTMLString(*webElement->urlcontent,
                                platform::URL::fileURL(platform::Bundle::main()->path().string(), true));
    }
}

const KJElementClass& KJTipWebElement::elementClass() {
    static const KJElementClass cls("KJTipWebElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipWebElement>()
                                        .text("url", &KJTipWebElement::url)
                                        .text("urlcontent", &KJTipWebElement::urlcontent)
                                        .build());
    return cls;
}

std::shared_ptr<KJTipWebElement> KJTipWebElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTipWebElement");
    auto web = std::make_shared<KJTipWebElement>();
    web->url = in.text("url");
    web->urlcontent = in.text("url-content");
    return web;
}

bool KJTipWebElement::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJTipWebElement> KJTipWebElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipWebElement>(stored);
}

bool KJTipWebElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

}  // namespace brindlecue
