#include "feed/BLQIWebTipController.h"

#include "platform/uikit/UIApplication.h"

namespace brindlecue {

void BLQIWebTipController::webViewDecidePolicyForNavigationAction(platform::WKWebView&,
                                                                  const platform::WKNavigationAction& action,
                                                                  const DecisionHandler& decisionHandler) {
    if (action.navigationType == platform::WKNavigationType::LinkActivated) {
        if (const auto& url = action.request.url()) {
            platform::UIApplication::sharedApplication()->openURL(url->absoluteString());
        }
        decisionHandler(platform::WKNavigationActionPolicy::Cancel);
        return;
    }
    decisionHandler(platform::WKNavigationActionPolicy::Allow);
}

}  // namespace brindlecue
