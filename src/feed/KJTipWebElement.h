#pragma once

#include <optional>
#include <string>

#include "feed/KJTipBaseElement.h"

namespace brindlecue {

namespace platform {
class UIView;
class UIViewController;
class WKWebView;
}  // namespace platform

// A web page shown inside a tip: a remote address, or inline HTML, which wins when both are given.
// Built from the step's "meta" object.
class KJTipWebElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipWebElement)

    // Prepares the web view of a tip: hidden when the element has neither HTML nor an address;
    // otherwise shown without scrolling on a clear background, given the page handlers of a web
    // tip when the controller is a tip controller (BLQIWebTipController), then loaded (the HTML
    // with the main bundle's folder as base address, else the address). The page's calls:
    // "switchToPreviousTip" and "switchToNextTip" (with their Boolean and true), "dismissTip",
    // "sendFeedResult" (reports the data's "result", "step_id", "campaignid", "delete" and
    // "completed" for the shown step's feed id, outside preview mode) and "getStepId" (nothing).
    // A missing argument changes nothing.
    static void layoutWeb(const std::shared_ptr<platform::WKWebView>& webView,
                          const std::shared_ptr<platform::UIView>& containView,
                          const std::shared_ptr<platform::UIViewController>& vc,
                          const std::shared_ptr<const KJTipWebElement>& webElement);

    std::optional<std::string> url;
    std::optional<std::string> urlcontent;
};

}  // namespace brindlecue
