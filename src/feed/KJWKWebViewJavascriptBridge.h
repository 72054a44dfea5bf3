#pragma once

#include <memory>
#include <optional>
#include <string>

#include "feed/KJWKWebViewJavascriptBridgeBase.h"
#include "platform/Value.h"
#include "platform/webkit/WKUserContentController.h"

namespace brindlecue {

namespace platform {
class WKWebView;
}

// The native end of the JavaScript bridge, bound to one web view (held weakly). The page asks
// for the bridge script through the script-message handler "iOS_Native_InjectJavascript" and
// says it has queued messages through "iOS_Native_FlushMessageQueue"; the bridge then fetches
// the page's queue and runs it through its base. The web view's user content controller holds a
// LeakAvoider under each name, which holds the bridge weakly: nothing here keeps the bridge
// alive, its creator must. When it goes, it takes its two handlers off the web view.
//
// Main thread, except call(), which may start anywhere (the page hears of it on the main thread).
class KJWKWebViewJavascriptBridge : public platform::WKScriptMessageHandler,
                                    public KJWKWebViewJavascriptBridgeBaseDelegate,
                                    public std::enable_shared_from_this<KJWKWebViewJavascriptBridge> {
public:
    using Handler = KJWKWebViewJavascriptBridgeBase::Handler;
    using Callback = KJWKWebViewJavascriptBridgeBase::Callback;

    static constexpr const char* kInjectJavascript = "iOS_Native_InjectJavascript";
    static constexpr const char* kFlushMessageQueue = "iOS_Native_FlushMessageQueue";
    static constexpr const char* kFetchQueueCommand = "KJWKWebViewJavascriptBridge._fetchQueue();";

    // The only way to make a bridge. A name whose handler the web view already has from elsewhere
    // is left to that handler.
    static std::shared_ptr<KJWKWebViewJavascriptBridge> create(
        const std::shared_ptr<platform::WKWebView>& webView);
    ~KJWKWebViewJavascriptBridge() override;

    const std::string iOS_Native_InjectJavascript = kInjectJavascript;
    const std::string iOS_Native_FlushMessageQueue = kFlushMessageQueue;

    bool isLogEnable() const { return base_->isLogEnable(); }
    void setIsLogEnable(bool enable) { base_->setIsLogEnable(enable); }

    virtual void reset();
    // Registers the handler under the name, replacing any handler of that name.
    virtual void register_(const std::string& handlerName, Handler handler);
    // Removes and returns the handler of the name, if there was one.
    virtual std::optional<Handler> remove(const std::string& handlerName);
    // Calls the page's handler; data absent for none, callback empty for no answer.
    virtual void call(const std::string& handlerName, const platform::Value& data = platform::Value(),
                      Callback callback = nullptr);

    void userContentControllerDidReceiveScriptMessage(
        const std::shared_ptr<platform::WKUserContentController>& userContentController,
        const platform::WKScriptMessage& message) override;
    void evaluateJavascript(const std::string& javascript) override;

    std::shared_ptr<platform::WKWebView> webView() const { return webView_.lock(); }
    const std::shared_ptr<KJWKWebViewJavascriptBridgeBase>& base() const { return base_; }

private:
    explicit KJWKWebViewJavascriptBridge(const std::shared_ptr<platform::WKWebView>& webView);

    std::weak_ptr<platform::WKWebView> webView_;
    std::shared_ptr<KJWKWebViewJavascriptBridgeBase> base_;
    // The handlers this bridge added to the web view, so that it takes off only its own.
    std::weak_ptr<platform::WKScriptMessageHandler> injectHandler_;
    std::weak_ptr<platform::WKScriptMessageHandler> flushHandler_;
};

// Stands in the web view's user content controller for a handler it must not keep alive: passes
// each message on to its delegate while that lives, and drops it afterwards.
class LeakAvoider final : public platform::WKScriptMessageHandler {
public:
    explicit LeakAvoider(const std::shared_ptr<platform::WKScriptMessageHandler>& delegate)
        : delegate_(delegate) {}

    std::shared_ptr<platform::WKScriptMessageHandler> delegate() const { return delegate_.lock(); }
    void userContentControllerDidReceiveScriptMessage(
        const std::shared_ptr<platform::WKUserContentController>& userContentController,
        const platform::WKScriptMessage& message) override;

private:
    std::weak_ptr<platform::WKScriptMessageHandler> delegate_;
};

}  // namespace brindlecue
