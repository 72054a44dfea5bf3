#pragma once

#include <memory>

#include "platform/webkit/WKNavigationDelegate.h"

namespace brindlecue {

class KJTipElement;

// A tip view controller as the web page of its step reaches it: the step it shows and the
// actions the page may take. The controller is its web view's navigation delegate; the link rule
// every tip controller follows is given here.
class BLQIWebTipController : public platform::WKNavigationDelegate {
public:
    // The step shown.
    virtual std::shared_ptr<KJTipElement> tip() const = 0;
    // The previous or next step (the step buttons' actions; triggerAction lets a button's own
    // link or on-demand guide run).
    virtual void switchToPreviousTip(bool sender, bool triggerAction) = 0;
    virtual void switchToNextTip(bool sender, bool triggerAction) = 0;
    // Closes the tip; sender says whether the close is reported as the close button's.
    virtual void dismissTip(bool sender) = 0;

    // A link the user activated opens outside the app (UIApplication's openURL) and the web view
    // stays where it is; every other navigation goes ahead. The decision is given once.
    void webViewDecidePolicyForNavigationAction(platform::WKWebView& webView,
                                                const platform::WKNavigationAction& action,
                                                const DecisionHandler& decisionHandler) override;
};

}  // namespace brindlecue
