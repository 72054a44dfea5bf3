#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feed/KJTipBaseElement.h"

namespace brindlecue {

namespace platform {
class UIView;
class UIViewController;
}  // namespace platform

class BLQITipTargetElement;
class KJOverlay;
class KJTipAnimationElement;
class KJTipButtonElement;
class KJTipCarouselElement;
class KJTipCoachmarkElement;
class KJTipFeedbackElement;
class KJTipInteractions;
class KJTipSeriesElement;
class KJTipTextElement;
class KJTipWebElement;

// The pointer of a pop tip, in points.
struct PointerParams {
    double width = 0;
    double height = 0;
    double offset = 0;

    bool operator==(const PointerParams&) const = default;
};

// One step of a campaign: what its tip shows, where it points, how it looks and behaves.
//
// The stored form holds the convertible properties, the nested records under their property
// names, the overlay under "overlay" and the pointer under "pointerParams.width",
// "pointerParams.height" and "pointerParams.offset", so that a step read back equals the step
// written. Interaction rules and the extra object are not stored.
//
// A step's target, images and close button are records of the targeting and presentation layers,
// reached by their class names ("KJTipTargetElement", "KJTipImageElement", "KJTipDismissElement")
// through KJElementClass.
class KJTipElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipElement)

    static constexpr const char* kImageClassName = "KJTipImageElement";
    static constexpr const char* kDismissClassName = "KJTipDismissElement";
    static constexpr int32_t kCustomGuideTipType = 99;

    // The overlay of a document that still gives the older "dim" (a percentage of opacity) and
    // "color" in its display parameters: type "overlay" and the colour with that alpha
    // ("dim" 50 and "#112233" give "#80112233").
    static std::shared_ptr<KJOverlay> migrateDimToOverlay(const platform::Value& displayParams);
    // "#" + the alpha digits + the colour without its "#".
    static std::string getColorWithAlpha(const platform::Value& displayParams);
    // round(dim / 100 * 255), in single precision, held to 0..255.
    static int32_t calculateRoundedAlpha(const platform::Value& dim);
    // Two upper-case hexadecimal digits.
    static std::string converToHex(int32_t alpha);
    static std::string createColorString(const platform::Value& color, const std::string& hex);

    std::optional<std::string> suid;
    std::optional<std::string> feed_id;
    std::optional<std::string> campaignid;
    // 0 unknown, 1 tour, 2 tip, 3 modal, 4 coachmark, 5 feedback, 6 carousel, 7 floating-action
    // button, 99 shown by a host-registered custom guide block.
    int32_t tipType = 0;
    std::optional<std::string> view;
    std::shared_ptr<BLQITipTargetElement> target;
    // 1 left, 2 right, 3 top, 4 bottom.
    int32_t placement = 0;
    double delaySeconds = 0;
    FourSide padding;
    FourSide margin;
    double boxShadow = 0;
    std::optional<platform::Color> backgroundColor;
    std::optional<platform::Color> borderColor;
    double borderWidth = 0;
    double borderCornerRadius = 0;
    // Points, or a fraction of the screen when the unit is "PERCENTAGE".
    double width = 0;
    double height = 0;
    // "DP", "PERCENTAGE" or "EMPTY".
    std::optional<std::string> widthUnit;
    std::optional<std::string> heightUnit;
    std::optional<platform::Color> overlayColor;
    // Set by the presentation.
    double overlayAlpha = 0;
    std::shared_ptr<KJTipCoachmarkElement> coachmark;
    std::shared_ptr<KJTipCarouselElement> carousel;
    std::optional<std::vector<std::shared_ptr<KJTipInteractions>>> arrayInteractions;
    std::shared_ptr<KJOverlay> overlay;
    std::shared_ptr<KJTipFeedbackElement> feedback;
    std::optional<std::vector<std::shared_ptr<KJTipBaseElement>>> arrayImages;
    std::shared_ptr<KJTipTextElement> title;
    std::shared_ptr<KJTipTextElement> content;
    std::shared_ptr<KJTipWebElement> web;
    std::shared_ptr<KJTipButtonElement> prev;
    std::shared_ptr<KJTipButtonElement> next;
    std::optional<std::string> pair;
    bool isHorizontal = false;
    bool dismissWhenTouchInside = false;
    bool dismissWhenTouchOutside = false;
    std::shared_ptr<KJTipBaseElement> dismiss;
    std::shared_ptr<KJTipAnimationElement> animation;
    std::weak_ptr<KJTipSeriesElement> series;
    std::weak_ptr<platform::UIViewController> viewController;
    std::weak_ptr<platform::UIView> targetControl;
    std::optional<std::string> status;
    PointerParams pointerParams;
    std::optional<std::string> guideBlockKey;
    // The document's "extra_json" dictionary, as given; absent otherwise.
    platform::Value extraJson;
};

}  // namespace brindlecue
