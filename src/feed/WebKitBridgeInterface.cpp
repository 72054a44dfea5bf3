#include "feed/WebKitBridgeInterface.h"

#include <utility>

#include "feed/KJWKWebViewJavascriptBridge.h"
#include "platform/webkit/WKWebView.h"

namespace brindlecue {

using platform::Value;

namespace {

constexpr const char* kBridgeKey = "KJWKWebViewJavascriptBridge";

}  // namespace

std::shared_ptr<KJWKWebViewJavascriptBridge> WebKitBridgeInterface::bridgeForWebView(
    const std::shared_ptr<platform::WKWebView>& webView) {
    if (!webView) return nullptr;
    if (auto bridge = webView->associatedObject<KJWKWebViewJavascriptBridge>(kBridgeKey)) return bridge;
    auto bridge = KJWKWebViewJavascriptBridge::create(webView);
    webView->setAssociatedObject(kBridgeKey, bridge);
    return bridge;
}

void WebKitBridgeInterface::registerHandler(const std::shared_ptr<platform::WKWebView>& webView,
                                            const std::string& stringHandle,
                                            std::function<void(bool)> completion) {
    auto bridge = bridgeForWebView(webView);
    if (!bridge) return;
    bridge->register_(stringHandle, [completion = std::move(completion)](
                                        const Value& data, const KJWKWebViewJavascriptBridge::Callback&) {
        bool flag = true;
        if (const Value* value =
                data.isDictionary() ? data.getDictionary()->find("shouldSendFeedResult") : nullptr) {
            const std::string* text = value->getString();
            flag = text != nullptr && *text == "true";
        }
        if (completion) completion(flag);
    });
}

void WebKitBridgeInterface::registerHandlerWidthData(const std::shared_ptr<platform::WKWebView>& webView,
                                                     const std::string& stringHandle,
                                                     std::function<void(const Value& data)> completion) {
    auto bridge = bridgeForWebView(webView);
    if (!bridge) return;
    bridge->register_(stringHandle, [completion = std::move(completion)](
                                        const Value& data, const KJWKWebViewJavascriptBridge::Callback&) {
        if (completion) completion(data);
    });
}

}  // namespace brindlecue
