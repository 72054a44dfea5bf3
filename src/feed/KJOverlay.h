#pragma once

#include <optional>
#include <string>

#include "feed/KJTipBaseElement.h"
#include "platform/uikit/Geometry.h"

namespace brindlecue {

// The cover drawn behind a tip. A type of "overlay" gives the step its cover colour; the
// presentation treats "coachmark" (any case) as a highlight around the target, widened by the
// padding, and records that highlight in `highlightFrame`, which is never stored.
class KJOverlay : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJOverlay)

    std::optional<std::string> type;
    std::optional<platform::Color> backgroundColor;
    std::optional<platform::Color> borderColor;
    double cornerRadius = 0;
    double borderWidth = 0;
    FourSide padding;
    platform::CGRect highlightFrame;
};

}  // namespace brindlecue
