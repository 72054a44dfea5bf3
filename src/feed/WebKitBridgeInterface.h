#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Value.h"

namespace brindlecue {

namespace platform {
class WKWebView;
}

class KJWKWebViewJavascriptBridge;

// Attaches page-callable handlers to a web view: each page call of a handler runs its
// completion once, with a Boolean read from the call's "shouldSendFeedResult" or with the call's
// data. Neither answers the page.
//
// A web view takes one script-message handler per name, so all the handlers of one web view
// live on one bridge: the first registration makes it and the web view keeps it for as long as
// the web view lives (it holds the web view only weakly). Main thread.
class WebKitBridgeInterface {
public:
    // The completion gets true for a call without data or without the key "shouldSendFeedResult";
    // with the key, true only for the text "true" (anything else, a JSON true included, is false).
    static void registerHandler(const std::shared_ptr<platform::WKWebView>& webView,
                                const std::string& stringHandle, std::function<void(bool)> completion);
    // The completion gets the call's data (a dictionary), or absent when it had none.
    static void registerHandlerWidthData(const std::shared_ptr<platform::WKWebView>& webView,
                                         const std::string& stringHandle,
                                         std::function<void(const platform::Value& data)> completion);

    // The bridge that carries the web view's handlers, made on first use.
    static std::shared_ptr<KJWKWebViewJavascriptBridge> bridgeForWebView(
        const std::shared_ptr<platform::WKWebView>& webView);
};

}  // namespace brindlecue
