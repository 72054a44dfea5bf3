#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace brindlecue::platform {

class WKUserContentController;
class WKWebView;

enum class WKUserScriptInjectionTime : int64_t { AtDocumentStart = 0, AtDocumentEnd = 1 };

// A script the web view runs in every page it loads: before the page's own scripts (document
// start) or after them (document end). Pages have no frames here, so every script runs.
struct WKUserScript {
    std::string source;
    WKUserScriptInjectionTime injectionTime = WKUserScriptInjectionTime::AtDocumentEnd;
    bool forMainFrameOnly = true;
};

// A page's `window.webkit.messageHandlers.<name>.postMessage(body)`: the name and the body as
// the page gave it (through its JSON form; absent for undefined).
struct WKScriptMessage {
    std::string name;
    Value body;
    std::weak_ptr<WKWebView> webView;
};

// Receives the messages a page posts under the name it was added with, on the main queue.
class WKScriptMessageHandler {
public:
    virtual ~WKScriptMessageHandler() = default;
    virtual void userContentControllerDidReceiveScriptMessage(
        const std::shared_ptr<WKUserContentController>& userContentController,
        const WKScriptMessage& message) = 0;
};

// The script-message handlers (held strongly) and user scripts of the web views made with it.
// Main thread only.
class WKUserContentController : public std::enable_shared_from_this<WKUserContentController> {
public:
    // Adds a handler under a name. A name that already has a handler is refused (false, nothing
    // changes), where the platform raises.
    bool addScriptMessageHandler(std::shared_ptr<WKScriptMessageHandler> handler, const std::string& name);
    void removeScriptMessageHandlerForName(const std::string& name);
    void removeAllScriptMessageHandlers();
    // The handler added under the name, if any.
    std::shared_ptr<WKScriptMessageHandler> scriptMessageHandler(const std::string& name) const;

    const std::vector<WKUserScript>& userScripts() const { return userScripts_; }
    void addUserScript(WKUserScript script);
    void removeAllUserScripts();

private:
    std::map<std::string, std::shared_ptr<WKScriptMessageHandler>, std::less<>> handlers_;
    std::vector<WKUserScript> userScripts_;
};

}  // namespace brindlecue::platform
