#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feed/KJTipBaseElement.h"
#include "feed/KJTipCarouselItem.h"

namespace brindlecue {

// The pages of a carousel step with the carousel's margin and border. Two carousels with the same
// pages in another order are equal.
class KJTipCarouselElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipCarouselElement)

    FourSide margin;
    double boxShadow = 0;
    std::optional<platform::Color> borderColor;
    double borderWidth = 0;
    double cornerRadius = 0;
    // Absent (not empty) when the document gives no list.
    std::optional<std::vector<std::shared_ptr<KJTipCarouselItem>>> items;
    // Not set by the document.
    std::optional<std::string> buttonWidthUnit;
};

}  // namespace brindlecue
