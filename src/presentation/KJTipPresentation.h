#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/uikit/Geometry.h"

namespace brindlecue {

namespace platform {
class UIView;
}  // namespace platform

class BLQITipPresentationFacade;
class KJBaseTipViewController;
class KJTipBaseElement;
class KJTipElement;
class KJTipWebElement;

// Where the tip presentation meets the rest of the library: what it registers with the tip engine
// and the campaign model, the facade it reports through, and the seams it waits on for the parts
// of a tip that other layers draw (a web step's page and a step's images). Until a seam is filled
// its part of a tip is left out: a web view stays hidden, images are not placed. Any thread.
struct KJTipPresentation {
    // Makes a view for a web step's page (the web layer's view); none keeps a plain hidden view.
    using WebViewMaker = std::function<std::shared_ptr<platform::UIView>()>;
    // Loads the step's page into the web view inside the tip's content view and shows or hides it.
    using WebLayout = std::function<void(const std::shared_ptr<platform::UIView>& webView,
                                         const std::shared_ptr<platform::UIView>& contentView,
                                         const std::shared_ptr<KJBaseTipViewController>& controller,
                                         const std::shared_ptr<KJTipWebElement>& element)>;
    // Places a step's image elements in the content view of the given size.
    using ImageLayout =
        std::function<void(const std::vector<std::shared_ptr<KJTipBaseElement>>& images,
                           const std::shared_ptr<platform::UIView>& contentView, platform::CGSize size,
                           const std::vector<std::shared_ptr<KJTipElement>>& steps)>;

    // Registers with the tip engine the makers of the controllers built here (the modal tip, for
    // tip type 3 and carousels without a control; the pop tip, for tip type 2 and carousels that
    // name a control; the coachmark, for tip type 4; the survey tip, for tip type 5) and the
    // presenter of the close button's dialog (a KJAlertView); fills the image seam with the image
    // element's layout and the web support with a WKWebView laid out by the step's web element,
    // which gives the page the handlers of a web tip. The facade calls it when it starts.
    static void registerWithTipEngine();
    // Makes the campaign model build the records of this layer: a step's close button and images
    // and a campaign's launcher. The facade calls it when it starts.
    static void registerWithCampaignModel();

    // Held weakly.
    static void setFacade(const std::shared_ptr<BLQITipPresentationFacade>& facade);
    static std::shared_ptr<BLQITipPresentationFacade> facade();

    // Empty blocks empty the seam.
    static void setWebSupport(WebViewMaker maker, WebLayout layout);
    static WebViewMaker webViewMaker();
    static WebLayout webLayout();
    static void setImageLayout(ImageLayout layout);
    static ImageLayout imageLayout();

    KJTipPresentation() = delete;
};

}  // namespace brindlecue
