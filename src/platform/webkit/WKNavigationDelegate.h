#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Error.h"
#include "platform/foundation/URLRequest.h"

namespace brindlecue::platform {

class WKWebView;

enum class WKNavigationType : int64_t {
    LinkActivated = 0,
    FormSubmitted = 1,
    BackForward = 2,
    Reload = 3,
    FormResubmitted = 4,
    Other = -1,
};

enum class WKNavigationActionPolicy : int64_t { Cancel = 0, Allow = 1 };

// One load of a web view, as its delegate calls name it.
class WKNavigation {};

// What a navigation is about to load and why.
struct WKNavigationAction {
    URLRequest request;
    WKNavigationType navigationType = WKNavigationType::Other;
};

// The web view's navigation delegate (held weakly by the web view). Calls arrive on the main
// thread. A delegate that decides nothing allows every navigation.
class WKNavigationDelegate {
public:
    using DecisionHandler = std::function<void(WKNavigationActionPolicy)>;

    virtual ~WKNavigationDelegate() = default;

    // The handler must be called once; later calls are ignored. It may be called later, on the
    // main thread; the navigation waits for it.
    virtual void webViewDecidePolicyForNavigationAction(WKWebView& webView, const WKNavigationAction& action,
                                                        const DecisionHandler& decisionHandler) {
        decisionHandler(WKNavigationActionPolicy::Allow);
    }
    virtual void webViewDidStartProvisionalNavigation(WKWebView& webView,
                                                      const std::shared_ptr<WKNavigation>& navigation) {}
    // The page could not be read (a missing file, an address this stand-in does not load).
    virtual void webViewDidFailProvisionalNavigation(WKWebView& webView,
                                                     const std::shared_ptr<WKNavigation>& navigation,
                                                     const Error& error) {}
    // The document and its scripts ran.
    virtual void webViewDidFinishNavigation(WKWebView& webView,
                                            const std::shared_ptr<WKNavigation>& navigation) {}
};

}  // namespace brindlecue::platform
