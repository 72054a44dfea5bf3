#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "feed/KJTipBaseElement.h"

namespace brindlecue {

// The cut-out around the target of a coachmark step.
class KJTipCoachmarkElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipCoachmarkElement)

    // 1 circular, 2 rectangular, 3 custom.
    int32_t style = 0;
    double width = 0;
    double height = 0;
    // 0 none, 1 gradient, 2 blur.
    int32_t diffuse = 0;
    // Not read from the document.
    std::optional<std::string> type;
    std::optional<platform::Color> backgroundColor;
    std::optional<platform::Color> borderColor;
    double cornerRadius = 0;
    double borderWidth = 0;
    FourSide padding;
};

}  // namespace brindlecue
