#include "feed/KJWKWebViewJavascriptBridge.h"

#include <cstdio>

#include "platform/webkit/WKWebView.h"

namespace brindlecue {

using platform::Value;

std::shared_ptr<KJWKWebViewJavascriptBridge> KJWKWebViewJavascriptBridge::create(
    const std::shared_ptr<platform::WKWebView>& webView) {
    std::shared_ptr<KJWKWebViewJavascriptBridge> bridge(new KJWKWebViewJavascriptBridge(webView));
    bridge->base_->setDelegate(bridge);
    if (webView) {
        auto controller = webView->configuration()->userContentController();
        auto inject = std::make_shared<LeakAvoider>(bridge);
        if (controller->addScriptMessageHandler(inject, bridge->iOS_Native_InjectJavascript)) {
            bridge->injectHandler_ = inject;
        }
        auto flush = std::make_shared<LeakAvoider>(bridge);
        if (controller->addScriptMessageHandler(flush, bridge->iOS_Native_FlushMessageQueue)) {
            bridge->flushHandler_ = flush;
        }
    }
    return bridge;
}

KJWKWebViewJavascriptBridge::KJWKWebViewJavascriptBridge(const std::shared_ptr<platform::WKWebView>& webView)
    : webView_(webView), base_(std::make_shared<KJWKWebViewJavascriptBridgeBase>()) {}

KJWKWebViewJavascriptBridge::~KJWKWebViewJavascriptBridge() {
    auto webView = webView_.lock();
    if (!webView) return;
    auto controller = webView->configuration()->userContentController();
    auto removeOwn = [&](const std::string& name,
                         const std::weak_ptr<platform::WKScriptMessageHandler>& own) {
        auto installed = controller->scriptMessageHandler(name);
        if (installed && installed == own.lock()) controller->removeScriptMessageHandlerForName(name);
    };
    removeOwn(iOS_Native_InjectJavascript, injectHandler_);
    removeOwn(iOS_Native_FlushMessageQueue, flushHandler_);
}

void KJWKWebViewJavascriptBridge::reset() {
    base_->reset();
}

void KJWKWebViewJavascriptBridge::register_(const std::string& handlerName, Handler handler) {
    base_->registerHandler(handlerName, std::move(handler));
}

std::optional<KJWKWebViewJavascriptBridge::Handler> KJWKWebViewJavascriptBridge::remove(
    const std::string& handlerName) {
    return base_->removeHandler(handlerName);
}

void KJWKWebViewJavascriptBridge::call(const std::string& handlerName, const Value& data, Callback callback) {
    base_->send(handlerName, data, std::move(callback));
}

void KJWKWebViewJavascriptBridge::userContentControllerDidReceiveScriptMessage(
    const std::shared_ptr<platform::WKUserContentController>&, const platform::WKScriptMessage& message) {
    if (message.name == iOS_Native_InjectJavascript) {
        base_->injectBridgeScript();
        return;
    }
    if (message.name != iOS_Native_FlushMessageQueue) return;
    auto webView = webView_.lock();
    if (!webView) return;
    std::weak_ptr<KJWKWebViewJavascriptBridge> weak = weak_from_this();
    webView->evaluateJavaScript(
        kFetchQueueCommand, [weak](const Value& result, const std::optional<platform::Error>& error) {
            if (error) {
                std::string line =
                    "KJWKWebViewJavascriptBridge: WARNING: Error when trying to fetch data from WKWebView: " +
                    error->description() + "\n";
                std::fputs(line.c_str(), stdout);
                std::fflush(stdout);
            }
            auto self = weak.lock();
            if (!self) return;
            if (const std::string* queue = result.getString()) self->base_->flushMessageQueue(*queue);
        });
}

void KJWKWebViewJavascriptBridge::evaluateJavascript(const std::string& javascript) {
    if (auto webView = webView_.lock()) webView->evaluateJavaScript(javascript);
}

void LeakAvoider::userContentControllerDidReceiveScriptMessage(
    const std::shared_ptr<platform::WKUserContentController>& userContentController,
    const platform::WKScriptMessage& message) {
    if (auto live = delegate_.lock())
        live->userContentControllerDidReceiveScriptMessage(userContentController, message);
}

}  // namespace brindlecue
